#include "overwrite.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "datetime.h"
#include "interaction.h"
#include "platform/files.h"
#include "qtenvironment.h"
#include "qtinteraction.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

// 5 December 2026, 23:20:58, as a DOS date-time.
constexpr int32_t kCopyTime =
    ((2026 - 1980) << 25) | (12 << 21) | (5 << 16) | (23 << 11) | (20 << 5) | (58 / 2);
// 9 March 2024, 08:05:10.
constexpr int32_t kExistingTime =
    ((2024 - 1980) << 25) | (3 << 21) | (9 << 16) | (8 << 11) | (5 << 5) | (10 / 2);

template <typename T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The text of a label as the user reads it, without the zero-width spaces where it may wrap.
QString TextOf(QWidget& form, const char* name) {
    QLabel* label = Child<QLabel>(form, name);
    return label ? label->text().remove(QChar(0x200B)) : "<missing " + QString(name) + ">";
}

// Serves events until done() holds or ten seconds have passed.
bool ServeEventsUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// As soon as a modal dialog is open, hands it to answer.
void AnswerNextDialog(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer(&TQtEnvironment::App());
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
        // A dialog the answer did not close would keep the test waiting for ever.
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog was not answered";
            if (auto* unanswered = qobject_cast<QDialog*>(dialog))
                unanswered->reject();
        }
    });
    timer->start();
}

class OverwriteForm : public testing::Test {
  protected:
    void SetUp() override {
        TQtEnvironment::App();
        UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\n");
        WriteTextFile(Dir.Path() / "c/Work/Plan.doc", "old");
        ASSERT_TRUE(FileSetDate("C:\\Work\\Plan.doc", kExistingTime));
    }
    void TearDown() override { UseDefaultTestDriveMap(); }

    TTempDir Dir;
};

}  // namespace

TEST_F(OverwriteForm, ShowsTheFileAndBothDates) {
    TOverWriteForm form(nullptr, kCopyTime, "C:\\Work\\Plan.doc");
    EXPECT_EQ(form.windowTitle(), "Confirm File Replace");
    EXPECT_EQ(TextOf(form, "FileNameText"), "The file C:\\Work\\Plan.doc");
    EXPECT_EQ(TextOf(form, "Label4"), "already exists.");
    EXPECT_EQ(TextOf(form, "Label2"), "Would you like to replace the existing file");
    EXPECT_EQ(TextOf(form, "ModifiedDate1"), "modified on Saturday, March 9, 2024  at  08:05 AM");
    EXPECT_EQ(TextOf(form, "Label3"), "with this one?");
    EXPECT_EQ(TextOf(form, "ModifiedDate2"),
              "modified on Saturday, December 5, 2026  at  11:20 PM");
    for (const char* picture : {"Image1", "Image2", "Image3"}) {
        QLabel* image = Child<QLabel>(form, picture);
        ASSERT_NE(image, nullptr);
        EXPECT_FALSE(image->pixmap().isNull()) << picture;
    }
}

TEST_F(OverwriteForm, AFileThatIsGoneHasNoDate) {
    fs::remove(Dir.Path() / "c/Work/Plan.doc");
    TOverWriteForm form(nullptr, kCopyTime, "C:\\Work\\Plan.doc");
    EXPECT_EQ(TextOf(form, "ModifiedDate1"), "");
    EXPECT_EQ(TextOf(form, "ModifiedDate2"),
              "modified on Saturday, December 5, 2026  at  11:20 PM");
}

TEST_F(OverwriteForm, ALongPathWrapsWithinTheForm) {
    const std::string paths[] = {
        "C:\\Documents\\Very_long_folder_name_without_any_blanks\\And_another_one_going_on"
        "\\Quarterly_report_for_the_board_of_directors.doc",
        "C:\\" + std::string(200, 'x') + ".doc",
        "C:\\" + std::string(60, 'y') + "\xc3\xa9\xf0\x9f\x93\x84" + std::string(60, 'z'),
    };
    for (const std::string& path : paths) {
        TOverWriteForm form(nullptr, kCopyTime, path);
        form.show();
        QLabel* label = Child<QLabel>(form, "FileNameText");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(TextOf(form, "FileNameText"), QString::fromStdString("The file " + path));
        EXPECT_LE(label->geometry().right(), form.width()) << path;
        EXPECT_LE(label->minimumSizeHint().width(), label->width()) << "nothing cut off: " << path;
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << path;
    }
}

TEST_F(OverwriteForm, EachButtonGivesItsAnswer) {
    struct Case {
        const char* Button;
        const char* Text;
        int Result;
    };
    const Case cases[] = {
        {"YesButton", "&Yes", IDYES},
        {"Button1", "Yes to &All", IDYESTOALL},
        {"NoButton", "&No", IDNO},
        {"Button2", "N&o to All", IDNOTOALL},
    };
    for (const Case& c : cases) {
        TOverWriteForm form(nullptr, kCopyTime, "C:\\Work\\Plan.doc");
        form.open();
        QPushButton* button = Child<QPushButton>(form, c.Button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), c.Text);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(form.result(), c.Result) << c.Button;
        EXPECT_FALSE(form.isVisible()) << c.Button;
    }
}

TEST_F(OverwriteForm, HasNoCloseBoxAndEscapeIsNeitherYes) {
    TOverWriteForm form(nullptr, kCopyTime, "C:\\Work\\Plan.doc");
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::CustomizeWindowHint);
    form.open();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_NE(form.result(), IDYES);
    EXPECT_NE(form.result(), IDYESTOALL);
}

TEST_F(OverwriteForm, ButtonsSitInOneRowAndTabInTheirOwnOrder) {
    TOverWriteForm form(nullptr, kCopyTime, "C:\\Work\\Plan.doc");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    QPushButton* yes = Child<QPushButton>(form, "YesButton");
    QPushButton* yesToAll = Child<QPushButton>(form, "Button1");
    QPushButton* no = Child<QPushButton>(form, "NoButton");
    QPushButton* noToAll = Child<QPushButton>(form, "Button2");
    ASSERT_TRUE(yes && yesToAll && no && noToAll);
    EXPECT_EQ(yes->y(), noToAll->y());
    EXPECT_LT(yes->geometry().right(), yesToAll->x());
    EXPECT_LT(yesToAll->geometry().right(), no->x());
    EXPECT_LT(no->geometry().right(), noToAll->x());
    EXPECT_LT(yesToAll->geometry().right(), form.width() / 2) << "Yes buttons on the left";
    EXPECT_GT(no->x(), form.width() / 2) << "No buttons on the right";

    EXPECT_EQ(QApplication::focusWidget(), yes);
    for (QPushButton* next : {no, yesToAll, noToAll, yes}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form.result(), IDYES) << "Yes is the default button";
}

TEST_F(OverwriteForm, QuestionsFromAWorkerThreadAreAskedInTheMainThread) {
    TQtInteraction interaction;
    QWidget mainWindow;
    interaction.SetMainWindow(&mainWindow);

    QWidget* owner = nullptr;
    AnswerNextDialog([&](QWidget* dialog) {
        owner = dialog->parentWidget();
        auto* form = qobject_cast<TOverWriteForm*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(TextOf(*form, "FileNameText"), "The file C:\\Work\\Plan.doc");
        Child<QPushButton>(*form, "Button1")->click();
    });
    std::atomic<int> answer = 0;
    std::thread worker([&] { answer = interaction.AskOverwrite("C:\\Work\\Plan.doc", kCopyTime); });
    EXPECT_TRUE(ServeEventsUntil([&] { return answer != 0; }));
    worker.join();
    EXPECT_EQ(answer, IDYESTOALL);
    EXPECT_EQ(owner, &mainWindow);

    AnswerNextDialog([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    answer = 0;
    std::thread escaping(
        [&] { answer = interaction.AskOverwrite("C:\\Work\\Plan.doc", kCopyTime); });
    EXPECT_TRUE(ServeEventsUntil([&] { return answer != 0; }));
    escaping.join();
    EXPECT_EQ(answer, IDNO) << "a dialog closed without an answer keeps the file";

    AnswerNextDialog([](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Insert the next diskette.");
        box->button(QMessageBox::Retry)->click();
    });
    answer = 0;
    std::thread asking([&] {
        answer = interaction.MessageBox(
            {0, "Insert the next diskette.", "Vaultaire 2000", MB_RETRYCANCEL});
    });
    EXPECT_TRUE(ServeEventsUntil([&] { return answer != 0; }));
    asking.join();
    EXPECT_EQ(answer, IDRETRY);
}

TEST_F(OverwriteForm, MessageBoxesShowTheStyleAndReturnTheButtonPressed) {
    struct Case {
        unsigned Flags;
        QMessageBox::Icon Icon;
        std::vector<QMessageBox::StandardButton> Buttons;
        QMessageBox::StandardButton Press;  // NoButton: Escape
        int Answer;
    };
    using B = QMessageBox;
    const Case cases[] = {
        {MB_OK, B::NoIcon, {B::Ok}, B::Ok, IDOK},
        {MB_OKCANCEL | MB_ICONINFORMATION, B::Information, {B::Ok, B::Cancel}, B::Cancel, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, B::Question, {B::Yes, B::No}, B::Yes, IDYES},
        {MB_YESNO | MB_ICONEXCLAMATION, B::Warning, {B::Yes, B::No}, B::NoButton, IDNO},
        {MB_YESNOCANCEL, B::NoIcon, {B::Yes, B::No, B::Cancel}, B::NoButton, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_ICONSTOP,
         B::Critical,
         {B::Abort, B::Retry, B::Ignore},
         B::Ignore,
         IDIGNORE},
        {MB_RETRYCANCEL | MB_ICONSTOP, B::Critical, {B::Retry, B::Cancel}, B::Retry, IDRETRY},
    };
    TQtInteraction interaction;
    for (const Case& c : cases) {
        AnswerNextDialog([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Vaultaire 2000");
            EXPECT_EQ(box->icon(), c.Icon) << c.Flags;
            EXPECT_EQ(static_cast<size_t>(box->buttons().size()), c.Buttons.size()) << c.Flags;
            for (QMessageBox::StandardButton button : c.Buttons)
                EXPECT_NE(box->button(button), nullptr) << c.Flags;
            EXPECT_EQ(box->defaultButton(), box->button(c.Buttons.front())) << c.Flags;
            if (c.Press == QMessageBox::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(c.Press)->click();
        });
        EXPECT_EQ(interaction.MessageBox({0, "Erase the diskette?", "Vaultaire 2000", c.Flags}),
                  c.Answer)
            << c.Flags;
    }
}
