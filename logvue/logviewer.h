#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "logmodel.h"
#include "logreader.h"

namespace Ui {
class TLogViewer;
}

// The log viewer's window: the entries of the log and of its predecessor, newest first,
// with a filter by kind and a search, following the log while it grows.
class TLogViewer : public QMainWindow {
    Q_OBJECT

  public:
    // How often the window looks whether the log changed.
    static constexpr int kRefreshMs = 1000;

    // Shows the program's log (logfile.h).
    explicit TLogViewer(QWidget* parent = nullptr);
    // Shows the log that reader reads.
    explicit TLogViewer(std::unique_ptr<TLogReader> reader, QWidget* parent = nullptr);
    ~TLogViewer() override;

    // Reads the log again if it changed; the timer calls it every kRefreshMs.
    void RefreshNow();

  private:
    void SetUpFilter();
    void SetUpList();
    void ApplyChange(TLogChange change);
    void ShowMessages();
    void ShowCounts();
    void CopySelection();

    std::unique_ptr<Ui::TLogViewer> Ui;
    std::unique_ptr<TLogReader> Reader;
    TLogModel Model;
    TLogFilter Filter;
    QTimer RefreshTimer;
    QLabel* CountLabel = nullptr;
    QLabel* FileLabel = nullptr;
};
