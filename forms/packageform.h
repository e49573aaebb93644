#pragma once

#include <QDialog>
#include <variant>

#include "vlforms_export.h"

class TProfileMgr;
class TLogFile;

// A dialog that a module offers by class name. The program hands it the object it works on
// through Tag before showing it (the profile manager, or the log for the restore wizard);
// the dialog takes it when it is shown and resets Tag to empty.
class VLFORMS_EXPORT TPackageForm : public QDialog {
    Q_OBJECT

  public:
    using TTag = std::variant<std::monostate, TProfileMgr*, TLogFile*>;

    explicit TPackageForm(QWidget* owner = nullptr);

    TTag Tag;

    // The object Tag holds when it is of type T, else none; either way Tag is empty after.
    template <typename T>
    T* TakeTag() {
        T** held = std::get_if<T*>(&Tag);
        T* taken = held ? *held : nullptr;
        Tag = std::monostate{};
        return taken;
    }
};
