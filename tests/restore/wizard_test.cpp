#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "crypt.h"
#include "pickers.h"
#include "platform/process.h"
#include "restorefixture.h"
#include "zstream.h"

namespace fs = std::filesystem;

namespace {

constexpr int StrNoSourceSelected = 706;
constexpr int StrNoBackupsFound = 707;
constexpr int StrNoFilesSelected = 708;
constexpr int StrConfirmCancel = 709;
constexpr int StrRestoreCancelled = 710;
constexpr int StrRestoreFailed = 711;
constexpr int StrDriveNotReady = 32005;

class Wizard_ : public TRestoreFixture {
  protected:
    QTreeWidget* Tree() const { return Child<QTreeWidget>("TreeView"); }
    QTreeWidget* List() const { return Child<QTreeWidget>("FileList"); }
    // Ticks the drive C: in the tree: every copy is restored.
    void CheckDriveC() {
        ClickState(Tree(), Find(Tree(), "(C)"));
        ASSERT_EQ(State(Find(Tree(), "(C)")), StateChecked);
    }
    void SetOverwrite(const char* option) { Child<QRadioButton>(option)->setChecked(true); }
    // From the options page: Finish, and the run ends on the summary page.
    void Finish() {
        ASSERT_EQ(Page(), 3);
        Click("NextButton");
        ASSERT_EQ(Page(), 5);
    }
    // The source list as Restart makes it, with the drives of the map now in use.
    void BuildDriveListAgain() { BuildDriveList(Child<QComboBox>("SourcePaths"), nullptr, true); }
    std::string LogText() const {
        Log->Flush();
        return ReadTextFile(Log->FileName);
    }
};

TEST_F(Wizard_, PagesMoveOnOnlyWithWhatTheyNeed) {
    EXPECT_EQ(Wizard->windowTitle(), "Vaultaire 2000 Restore Wizard");
    EXPECT_EQ(Page(), 0);
    EXPECT_FALSE(Child<QPushButton>("BackButton")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("NextButton")->text(), "&Next >");
    EXPECT_EQ(LabelText("NextLabel"), "Click \"Next\" to continue.");

    Click("NextButton");
    ASSERT_EQ(Page(), 1);
    EXPECT_TRUE(Child<QPushButton>("BackButton")->isEnabled());
    Child<QComboBox>("SourcePaths")->setCurrentIndex(-1);
    Script.Expect(StrNoSourceSelected, IDOK);
    Click("NextButton");
    EXPECT_EQ(Page(), 1);

    SelectSource('D');
    Script.Expect(StrNoBackupsFound, IDOK);
    Click("NextButton");
    EXPECT_EQ(Page(), 1) << "no Vaultaire folder on D:";

    Backup("C:\\Data\\a.txt", "one", 1);
    Click("NextButton");
    ASSERT_EQ(Page(), 2);
    EXPECT_EQ(Tree()->topLevelItem(0)->text(0), "My Computer");
    Script.Expect(StrNoFilesSelected, IDOK);
    Click("NextButton");
    EXPECT_EQ(Page(), 2) << "nothing is checked";

    CheckDriveC();
    Click("NextButton");
    ASSERT_EQ(Page(), 3);
    EXPECT_EQ(Child<QPushButton>("NextButton")->text(), "&Finish");
    EXPECT_EQ(LabelText("NextLabel"), "Click \"Finish\" to restore your files.");
    Click("BackButton");
    EXPECT_EQ(Child<QPushButton>("NextButton")->text(), "&Next >");
    Click("BackButton");
    ASSERT_EQ(Page(), 1);
}

TEST_F(Wizard_, ASourceDriveWithoutAMediumIsAskedForAndCancelStaysSilently) {
    UseDriveMap("detect off\nA: removable " + Dir / "floppy" + " simulated\nC: fixed " + Dir / "c" +
                "\nD: fixed " + Dir / "d" + "\n");
    Click("NextButton");
    BuildDriveListAgain();
    SelectSource('A');
    Script.Expect(StrDriveNotReady, IDRETRY);
    Script.Expect(StrDriveNotReady, IDCANCEL);
    Click("NextButton");
    EXPECT_EQ(Page(), 1) << "no message of its own after the drive's question";
}

TEST_F(Wizard_, TheSameSourceKeepsItsCheckMarksAnotherRebuildsTheTree) {
    Backup("C:\\Data\\a.txt", "one", 1);
    OpenFilesPage();
    CheckDriveC();
    Click("BackButton");
    Click("NextButton");
    EXPECT_EQ(State(Find(Tree(), "(C)")), StateChecked) << "the same drive again";

    // A browsed folder named Vaultaire in any case is the backup root itself; another
    // folder gets \Vaultaire.
    fs::create_directories(Dir.Path() / "d/Old/VAULTAIRE/C");
    fs::create_directories(Dir.Path() / "d/Other/Vaultaire/E");
    struct TCase {
        fs::path Folder;
        const char* Drive;
    };
    const TCase cases[] = {{Dir.Path() / "d/Old/VAULTAIRE", "(C)"},
                           {Dir.Path() / "d/Other", "(E)"}};
    for (const TCase& c : cases) {
        Click("BackButton");
        ASSERT_EQ(Page(), 1);
        TFolderDialog previous = SetFolderDialog(
            [&](QWidget*, const std::string&) { return std::optional(c.Folder.string()); });
        Click("SourceBrowseButton");
        SetFolderDialog(previous);
        Click("NextButton");
        ASSERT_EQ(Page(), 2) << c.Folder;
        ASSERT_NE(Find(Tree(), c.Drive), nullptr) << c.Folder;
        EXPECT_EQ(State(Find(Tree(), c.Drive)), StateUnchecked) << "a new tree";
    }
}

TEST_F(Wizard_, RestartResetsTheRulesAndTheDestinationButKeepsAllVersions) {
    Backup("C:\\Data\\a.txt", "one", 1);
    fs::remove(Host("C:\\Data\\a.txt"));
    fs::create_directories(Dir.Path() / "c/Elsewhere");
    OpenFilesPage();
    Child<QCheckBox>("AllVersions")->click();
    CheckDriveC();
    Click("NextButton");
    SetOverwrite("OverwriteAlways");
    TFolderDialog previous = SetFolderDialog([&](QWidget*, const std::string&) {
        return std::optional((Dir.Path() / "c/Elsewhere").string());
    });
    Click("TargetBrowseButton");
    SetFolderDialog(previous);
    EXPECT_EQ(Child<QComboBox>("TargetPath")->currentText(), "C:\\Elsewhere");
    Finish();
    EXPECT_EQ(ReadTextFile(Dir.Path() / "c/Elsewhere/Data/a.txt"), "one");
    EXPECT_FALSE(fs::exists(Host("C:\\Data\\a.txt"))) << "not restored to its original place";
    EXPECT_EQ(LabelText("RestoredTotalSummary"), "1");
    EXPECT_EQ(LabelText("SkippedTotalSummary"), "0");
    EXPECT_FALSE(Child<QPushButton>("BackButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("NextButton")->isEnabled());

    Click("RestartButton");
    ASSERT_EQ(Page(), 1);
    auto* target = Child<QComboBox>("TargetPath");
    ASSERT_EQ(target->count(), 1);
    EXPECT_EQ(target->currentText(), "Original locations");
    EXPECT_TRUE(Child<QRadioButton>("OverwriteNever")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("AllVersions")->isChecked());
    SelectSource('D');
    Click("NextButton");
    ASSERT_EQ(Page(), 2);
    EXPECT_EQ(State(Find(Tree(), "(C)")), StateUnchecked) << "Restart rebuilds the tree";
}

TEST_F(Wizard_, RestoresWithThePasswordAskedOncePerKey) {
    const int32_t first = MakeKey("first");
    const int32_t second = MakeKey("second");
    Backup("C:\\Data\\a.txt", "alpha", 1, first);
    Backup("C:\\Data\\b.txt", "beta", 1, first);
    Backup("C:\\Data\\c.txt", "gamma", 1, second);
    Backup("C:\\Data\\open.txt", "open", 1);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "open.txt"})
        fs::remove(Dir.Path() / "c/Data" / name);
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");

    std::vector<std::string> askedFor;
    bool wrongGiven = false;
    TDialogAnswerer answerer("TRPasswordDlg", [&](QWidget* dialog) {
        const std::string file = LabelText("CurrentFile").toStdString();
        askedFor.push_back(file);
        std::string password = file == "c.txt" ? "second" : "first";
        if (!wrongGiven && file != "c.txt") {
            wrongGiven = true;
            password = "wrong";
        }
        dialog->findChild<QLineEdit*>("Password")->setText(QString::fromStdString(password));
        dialog->findChild<QPushButton*>("OKBtn")->click();
        return true;
    });
    Finish();

    EXPECT_EQ(askedFor.size(), 3u) << "a wrong password, then once per key";
    EXPECT_EQ(std::count(askedFor.begin(), askedFor.end(), "c.txt"), 1);
    for (const auto& [name, content] :
         {std::pair{"a.txt", "alpha"}, {"b.txt", "beta"}, {"c.txt", "gamma"}, {"open.txt", "open"}})
        EXPECT_EQ(ReadTextFile(Dir.Path() / "c/Data" / name), content) << name;
    EXPECT_EQ(LabelText("RestoredTotalSummary"), "4");
    const std::string log = LogText();
    EXPECT_NE(log.find("Restore operation started."), std::string::npos) << log;
    EXPECT_NE(log.find("Restoring file: C:\\Data\\c.txt"), std::string::npos) << log;
    EXPECT_NE(log.find("Restore operation ended."), std::string::npos) << log;
}

TEST_F(Wizard_, CancellingThePasswordEndsTheRun) {
    Backup("C:\\Data\\a.txt", "alpha", 1, MakeKey("secret"));
    fs::remove(Host("C:\\Data\\a.txt"));
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");
    TDialogAnswerer answerer("TRPasswordDlg", [](QWidget* dialog) {
        dialog->findChild<QPushButton*>("CancelBtn")->click();
        return false;
    });
    Script.Expect(StrRestoreCancelled, IDOK);
    Finish();
    EXPECT_FALSE(fs::exists(Host("C:\\Data\\a.txt")));
    EXPECT_EQ(LabelText("RestoredTotalSummary"), "0");
    EXPECT_EQ(LabelText("SkippedTotalSummary"), "1");
    EXPECT_NE(LogText().find("Operation cancelled."), std::string::npos);
}

TEST_F(Wizard_, YesToAllSwitchesTheRuleToAlwaysOverwrite) {
    Backup("C:\\Data\\a.txt", "old a", 1);
    Backup("C:\\Data\\b.txt", "old b", 1);
    WriteTextFile(Host("C:\\Data\\a.txt"), "new a");
    WriteTextFile(Host("C:\\Data\\b.txt"), "new b");
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");
    SetOverwrite("OverwritePrompt");
    Script.ExpectOverwrite(IDYESTOALL);
    Finish();
    EXPECT_EQ(ReadTextFile(Host("C:\\Data\\a.txt")), "old a");
    EXPECT_EQ(ReadTextFile(Host("C:\\Data\\b.txt")), "old b");
    EXPECT_TRUE(Child<QRadioButton>("OverwriteAlways")->isChecked());
}

TEST_F(Wizard_, NeverOverwriteSkipsExistingFiles) {
    Backup("C:\\Data\\a.txt", "old a", 1);
    Backup("C:\\Data\\b.txt", "old b", 1);
    WriteTextFile(Host("C:\\Data\\a.txt"), "new a");
    fs::remove(Host("C:\\Data\\b.txt"));
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");
    Finish();
    EXPECT_EQ(ReadTextFile(Host("C:\\Data\\a.txt")), "new a");
    EXPECT_EQ(ReadTextFile(Host("C:\\Data\\b.txt")), "old b");
    EXPECT_EQ(LabelText("RestoredTotalSummary"), "1");
    EXPECT_EQ(LabelText("SkippedTotalSummary"), "1");
}

TEST_F(Wizard_, CancelDuringTheRunCountsTheRestAsSkipped) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        Backup(std::string("C:\\Data\\") + name, name, 1);
        fs::remove(Dir.Path() / "c/Data" / name);
    }
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");
    // The click reaches the run while it lets the window work after showing the first file.
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, &clicker, [&] {
        if (LabelText("CurrentFile").isEmpty())
            return;
        clicker.stop();
        Child<QPushButton>("CancelButton")->click();
    });
    clicker.start(0);
    Script.Expect(StrConfirmCancel, IDYES);
    Finish();
    EXPECT_EQ(LabelText("RestoredTotalSummary"), "1");
    EXPECT_EQ(LabelText("SkippedTotalSummary"), "2");
}

TEST_F(Wizard_, AFileOnAMissingDriveIsSkippedWithoutAQuestion) {
    fs::create_directories(Dir.Path() / "q");
    UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: fixed " + Dir / "d" + "\nQ: fixed " +
                Dir / "q" + "\n");
    WriteTextFile(Dir.Path() / "q/gone.txt", "gone");
    fs::create_directories(Dir.Path() / "d/Vaultaire/Q");
    {
        TVZipStream zip("Q:\\gone.txt");
        zip.SaveAs("D:\\Vaultaire\\Q\\gone.txt.VL001", TVZipStream::efReplace);
    }
    Backup("C:\\Data\\a.txt", "a", 1);
    fs::remove(Host("C:\\Data\\a.txt"));
    UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: fixed " + Dir / "d" + "\n");
    OpenFilesPage();
    ClickState(Tree(), Tree()->topLevelItem(0));
    Click("NextButton");
    Finish();
    EXPECT_EQ(LabelText("RestoredTotalSummary"), "1");
    EXPECT_EQ(LabelText("SkippedTotalSummary"), "1");
}

TEST_F(Wizard_, AnErrorEndsTheRunIsLoggedAndClosesTheWizard) {
    Backup("C:\\Data\\a.txt", "a", 1);
    fs::remove(Host("C:\\Data\\a.txt"));
    fs::create_directories(Dir.Path() / "c/Elsewhere");
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");
    TFolderDialog previous = SetFolderDialog([&](QWidget*, const std::string&) {
        return std::optional((Dir.Path() / "c/Elsewhere").string());
    });
    Click("TargetBrowseButton");
    SetFolderDialog(previous);
    // The chosen folder became a file meanwhile: the destination cannot be made.
    fs::remove(Dir.Path() / "c/Elsewhere");
    WriteTextFile(Dir.Path() / "c/Elsewhere", "in the way");
    Script.Expect(StrRestoreFailed, IDOK);
    Click("NextButton");
    EXPECT_TRUE(ServeEventsUntil([&] { return Wizard.isNull(); })) << "the wizard closes";
    EXPECT_FALSE(fs::exists(Host("C:\\Data\\a.txt")));
    const std::string log = ReadTextFile(Log->FileName);
    EXPECT_NE(log.find("Error restoring file: "), std::string::npos) << log;
    EXPECT_NE(log.find("Restore operation ended."), std::string::npos) << log;
}

TEST_F(Wizard_, DetailsFlushesTheLogAndStartsTheViewerWithItsToken) {
    Backup("C:\\Data\\a.txt", "a", 1);
    OpenFilesPage();
    CheckDriveC();
    Click("NextButton");
    Finish();
    std::vector<std::pair<std::string, std::vector<std::string>>> started;
    TProgramStarter previous = SetProgramStarter(
        [&](const THostPath& program, const std::vector<std::string>& arguments, std::string&) {
            started.emplace_back(program.Text(), arguments);
            return true;
        });
    Click("ReportButton");
    SetProgramStarter(previous);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(fs::path(started[0].first).filename(), "logvue");
    EXPECT_EQ(started[0].second, std::vector<std::string>{"583104927"});
    EXPECT_NE(ReadTextFile(Log->FileName).find("Restore operation ended."), std::string::npos)
        << "flushed before the viewer reads it";

    Click("QuitButton");
    EXPECT_TRUE(ServeEventsUntil([&] { return Wizard.isNull(); })) << "the wizard frees itself";
}

TEST_F(Wizard_, HelpIsAskedForByPageAndByControl) {
    // The signal by which the wizard asks for a help topic.
    const QMetaObject* meta = Wizard->metaObject();
    const int signal = meta->indexOfSignal("HelpRequested(int)");
    ASSERT_GE(signal, 0);
    QSignalSpy asked(Wizard.data(), meta->method(signal));
    auto lastContext = [&] { return asked.isEmpty() ? -1 : asked.takeLast().at(0).toInt(); };

    Click("HelpButton");
    EXPECT_EQ(lastContext(), 520) << "the first page's topic";
    Click("NextButton");
    Child<QComboBox>("SourcePaths")->setFocus();
    QTest::keyClick(Child<QComboBox>("SourcePaths"), Qt::Key_F1);
    EXPECT_EQ(lastContext(), 5690) << "F1 on the source list";

    auto* browse = Child<QWidget>("SourceBrowseButton");
    const QPoint at = browse->rect().center();
    QHelpEvent whatsThis(QEvent::WhatsThis, at, browse->mapToGlobal(at));
    QApplication::sendEvent(browse, &whatsThis);
    EXPECT_EQ(lastContext(), 5240) << "the title bar's help button, then the control";
}

TEST_F(Wizard_, ControlsCarryTheirHelpContexts) {
    const std::pair<const char*, int> contexts[] = {
        {"SourcePaths", 5690},  {"SourceBrowseButton", 5240}, {"TargetBrowseButton", 5240},
        {"TreeView", 5730},     {"FileList", 5740},           {"AllVersions", 5750},
        {"TargetPath", 5760},   {"OverwriteOptions", 5770},   {"ProgressPanel", 5780},
        {"CancelButton", 5790}, {"ReportButton", 5800},       {"RestartButton", 5810},
        {"QuitButton", 5820},   {"BackButton", 5700},         {"HelpButton", 5720},
        {"NextButton", 5710},
    };
    for (const auto& [name, context] : contexts)
        EXPECT_EQ(Child<QWidget>(name)->property("HelpContext").toInt(), context) << name;
}

}  // namespace
