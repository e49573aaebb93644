#pragma once

#include <QPointer>
#include <QWidget>

#include "interaction.h"
#include "vlforms_export.h"

// Asks the user with the desktop's dialogs. The dialogs always run in the application's
// main thread: a worker thread that asks waits until the user has answered.
class VLFORMS_EXPORT TQtInteraction : public TInteraction {
  public:
    int MessageBox(const TMessageRequest& request) override;
    int AskOverwrite(const std::string& fileName, int32_t copyFileTime) override;
    int AskDiskette(int labelNumber, int& choice) override;
    int AskPassword(std::string& password) override;

    // The window that owns the dialogs; without one, the active window does.
    void SetMainWindow(QWidget* window);

  private:
    QWidget* Owner() const;
    int ShowMessageBox(const TMessageRequest& request);
    int ShowOverwriteForm(const std::string& fileName, int32_t copyFileTime);
    int ShowDisketteRequest(int labelNumber, int& choice);

    QPointer<QWidget> MainWindow;
};
