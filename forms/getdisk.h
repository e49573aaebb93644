#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "vlforms_export.h"

class QButtonGroup;

namespace Ui {
class TGetDiskForm;
}

// The diskette request: the series expects diskette labelNumber but another one is in the
// drive. The user picks what to do; after OK, Choice() is a TGetDiskChoice (interaction.h):
// insert the expected diskette, or erase this one and restart the numbering, make it the
// expected number or skip to the next. The restart item is offered only after the first
// diskette of a series.
class VLFORMS_EXPORT TGetDiskForm : public QDialog {
    Q_OBJECT

  public:
    TGetDiskForm(QWidget* owner, int labelNumber);
    ~TGetDiskForm() override;

    int Choice() const { return Chosen; }
    // The items as the user reads them, in their order.
    QStringList Items() const;
    // Selects item index as a click on it does.
    void SelectItem(int index);

  private:
    void AddItem(const QString& text);
    void OptionsClick(int index);

    std::unique_ptr<Ui::TGetDiskForm> Form;
    QButtonGroup* Group;
    int Chosen;
};
