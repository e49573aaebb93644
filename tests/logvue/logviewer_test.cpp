#include "logviewer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTreeView>

#include "logfile.h"
#include "logfolder.h"
#include "qtenvironment.h"

namespace {

class LogViewer : public TLogFolderTest {
  protected:
    void SetUp() override {
        TLogFolderTest::SetUp();
        TQtEnvironment::App();
    }

    template <typename T>
    static T* Child(QWidget& window, const char* name) {
        T* child = window.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // The texts of a column of the list, top to bottom.
    static QStringList Column(QWidget& window, int column) {
        QAbstractItemModel* model = Child<QTreeView>(window, "EntryList")->model();
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString();
        return texts;
    }
    static void ShowKind(QWidget& window, const QString& caption) {
        auto* filter = Child<QComboBox>(window, "KindFilter");
        int index = filter->findText(caption);
        ASSERT_GE(index, 0) << caption.toStdString();
        filter->setCurrentIndex(index);
    }
    static QString Count(QWidget& window) { return Child<QLabel>(window, "CountLabel")->text(); }
    static void WriteSaved(TLogFile& log, int from, int count) {
        for (int i = from; i < from + count; ++i)
            log.WriteEntry(lcSaveFile, "C:\\f" + std::to_string(i), 0, false);
        log.Flush();
    }
};

TEST_F(LogViewer, ShowsTheNewestEntriesFirstWithTheirKinds) {
    WriteTextFile(BackupPath(), Joined({Line("Starting Vaultaire 2000", "08:00:00 am"),
                                        Line("Saving file: C:\\a", "08:00:01 am")}));
    WriteTextFile(LogPath(),
                  Joined({Line("Restoring file: C:\\a", "09:00:00 am"),
                          Line("Error saving file: C:\\b. Access is denied", "09:00:01 am"),
                          Line("Vaultaire 2000 closing", "09:00:02 am")}));
    TLogViewer viewer;
    EXPECT_EQ(
        Column(viewer, colTime),
        (QStringList{"05/12/2026 09:00:02 am", "05/12/2026 09:00:01 am", "05/12/2026 09:00:00 am",
                     "05/12/2026 08:00:01 am", "05/12/2026 08:00:00 am"}));
    EXPECT_EQ(Column(viewer, colKind),
              (QStringList{"Start/stop", "Error", "Restored", "Saved", "Start/stop"}));
    EXPECT_EQ(Column(viewer, colText).first(), "Vaultaire 2000 closing");
    EXPECT_EQ(Count(viewer), "5 entries");
    EXPECT_TRUE(Child<QLabel>(viewer, "MessageLabel")->isHidden());
    EXPECT_EQ(Child<QLabel>(viewer, "FileLabel")->text().toStdString(),
              "Log file: " + LogFileName());
    EXPECT_EQ(viewer.windowTitle(), "Vaultaire 2000 Log");
}

TEST_F(LogViewer, FiltersByKindAndSearchesTheText) {
    WriteTextFile(LogPath(), Joined({
                                 Line("Starting Vaultaire 2000"),
                                 Line("Saving file: C:\\Work\\Plan.doc"),
                                 Line("Saving file: C:\\Work\\notes.txt"),
                                 Line("Restoring file: C:\\Work\\plan.DOC"),
                                 Line("Error saving file: C:\\Work\\Plan.doc. Access is denied"),
                                 Line("Operation cancelled."),
                                 Line("Changes came faster than the system could report them."),
                                 "a line of no entry",
                                 Line("Vaultaire 2000 closing", "11:59:59 pm"),
                             }));
    struct TFilterCase {
        QString Kind;
        QString Search;
        QStringList Texts;
    };
    const TFilterCase cases[] = {
        {"Saved files",
         "",
         {"Saving file: C:\\Work\\notes.txt", "Saving file: C:\\Work\\Plan.doc"}},
        {"Restored files", "", {"Restoring file: C:\\Work\\plan.DOC"}},
        {"Errors",
         "",
         {"Operation cancelled.", "Error saving file: C:\\Work\\Plan.doc. Access is denied"}},
        {"Start and stop", "", {"Vaultaire 2000 closing", "Starting Vaultaire 2000"}},
        {"Other entries",
         "",
         {"a line of no entry", "Changes came faster than the system could report them."}},
        {"All entries",
         "plan.doc",
         {"Error saving file: C:\\Work\\Plan.doc. Access is denied",
          "Restoring file: C:\\Work\\plan.DOC", "Saving file: C:\\Work\\Plan.doc"}},
        {"Errors", "  PLAN.DOC ", {"Error saving file: C:\\Work\\Plan.doc. Access is denied"}},
        {"All entries", "11:59:59", {"Vaultaire 2000 closing"}},
        {"Saved files", "nothing like it", {}},
    };
    TLogViewer viewer;
    for (const TFilterCase& c : cases) {
        ShowKind(viewer, c.Kind);
        Child<QLineEdit>(viewer, "SearchEdit")->setText(c.Search);
        std::string described = (c.Kind + " / " + c.Search).toStdString();
        EXPECT_EQ(Column(viewer, colText), c.Texts) << described;
        EXPECT_EQ(Count(viewer), QStringLiteral("%1 of 9 entries shown").arg(c.Texts.size()))
            << described;
    }
    ShowKind(viewer, "All entries");
    Child<QLineEdit>(viewer, "SearchEdit")->clear();
    EXPECT_EQ(Count(viewer), "9 entries");
}

TEST_F(LogViewer, FollowsTheLogAsItGrowsAndMovesToTheBackupFile) {
    TLogFile log(6, ltBoth, true);
    WriteSaved(log, 0, 2);
    TLogViewer viewer;
    ShowKind(viewer, "Saved files");
    EXPECT_EQ(Column(viewer, colText), (QStringList{"Saving file: C:\\f1", "Saving file: C:\\f0"}));

    WriteSaved(log, 2, 2);
    viewer.RefreshNow();
    EXPECT_EQ(Column(viewer, colText), (QStringList{"Saving file: C:\\f3", "Saving file: C:\\f2",
                                                    "Saving file: C:\\f1", "Saving file: C:\\f0"}));

    // The sixth entry fills the log, which moves to the backup file whole.
    log.WriteEntry(lcBackupEnd, 0, false);
    WriteSaved(log, 4, 1);
    ASSERT_FALSE(std::filesystem::exists(LogPath()));
    viewer.RefreshNow();
    EXPECT_EQ(Column(viewer, colText),
              (QStringList{"Saving file: C:\\f4", "Saving file: C:\\f3", "Saving file: C:\\f2",
                           "Saving file: C:\\f1", "Saving file: C:\\f0"}));
    EXPECT_EQ(Count(viewer), "5 of 6 entries shown");

    // The window looks by itself.
    WriteSaved(log, 5, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Count(viewer) == "6 of 7 entries shown"; },
                                TLogViewer::kRefreshMs * 5))
        << Count(viewer).toStdString();
    EXPECT_EQ(Column(viewer, colText).first(), "Saving file: C:\\f5");
}

TEST_F(LogViewer, SaysWhenThereIsNoLogAndShowsItWhenItComes) {
    TLogViewer viewer;
    auto* message = Child<QLabel>(viewer, "MessageLabel");
    EXPECT_FALSE(message->isHidden());
    EXPECT_TRUE(message->text().contains("Nothing has been logged yet"))
        << message->text().toStdString();
    EXPECT_EQ(Count(viewer), "0 entries");

    WriteTextFile(LogPath(), Joined({Line("Starting Vaultaire 2000"), "\x01 damaged"}));
    viewer.RefreshNow();
    EXPECT_EQ(Count(viewer), "2 entries");
    EXPECT_EQ(message->text(), "1 line is not an entry of the log; it is shown without a time.");

    WriteTextFile(LogPath(), Joined({Line("Starting Vaultaire 2000")}));
    viewer.RefreshNow();
    EXPECT_TRUE(message->isHidden());
}

TEST_F(LogViewer, ShowsNamesThatLookLikeMarkupAsTheyAreWritten) {
    const QString name = "C:\\<b>bold</b> <img src=\"x.png\">.doc";
    WriteTextFile(LogPath(), Joined({Line("Saving file: " + name.toStdString())}));
    TLogViewer viewer;
    QModelIndex text = Child<QTreeView>(viewer, "EntryList")->model()->index(0, colText);
    EXPECT_EQ(text.data().toString(), "Saving file: " + name);
    QString tip = text.data(Qt::ToolTipRole).toString();
    EXPECT_EQ(QTextDocumentFragment::fromHtml(tip).toPlainText(), "Saving file: " + name)
        << tip.toStdString();
}

TEST_F(LogViewer, CopiesTheSelectedEntriesAsTheLogWritesThem) {
    const std::vector<std::string> lines = {Line("Starting Vaultaire 2000"), "no entry",
                                            Line("Saving file: C:\\a")};
    WriteTextFile(LogPath(), Joined(lines));
    TLogViewer viewer;
    auto* list = Child<QTreeView>(viewer, "EntryList");
    for (int row : {2, 0}) {
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    Child<QAction>(viewer, "CopyAction")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              lines[2] + "\n" + lines[0] + "\n");
}

TEST_F(LogViewer, KeepsTheEntriesInViewWhileNewOnesComeIn) {
    TLogFile log(1000, ltBoth, true);
    WriteSaved(log, 0, 200);
    TLogViewer viewer;
    viewer.resize(800, 400);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    auto* list = Child<QTreeView>(viewer, "EntryList");

    auto topText = [list] {
        QModelIndex top = list->indexAt(QPoint(1, 1));
        return top.sibling(top.row(), colText).data().toString();
    };

    // At the top, the newest entries come into view.
    WriteSaved(log, 200, 1);
    viewer.RefreshNow();
    EXPECT_EQ(topText(), "Saving file: C:\\f200");

    // Further down, the entries being read stay where they are.
    list->scrollTo(list->model()->index(100, 0), QAbstractItemView::PositionAtTop);
    QString reading = topText();
    ASSERT_EQ(reading, "Saving file: C:\\f100");
    WriteSaved(log, 201, 3);
    viewer.RefreshNow();
    EXPECT_EQ(topText(), reading);
    EXPECT_EQ(Count(viewer), "204 entries");
}

}  // namespace
