#include "restorefixture.h"

#include <QApplication>
#include <QTest>
#include <chrono>

#include "pickers.h"
#include "platform/files.h"
#include "qtenvironment.h"
#include "zstream.h"

namespace fs = std::filesystem;

void TRestoreFixture::SetUp() {
    TQtEnvironment::App();
    fs::create_directories(Dir.Path() / "c");
    fs::create_directories(Dir.Path() / "d");
    UseDriveMap("detect off\nC: fixed " + Dir / "c" + "\nD: fixed " + Dir / "d" + "\n");
    Previous = SetInteraction(&Script);
    Log = std::make_unique<TLogFile>(1000, ltBoth, true);
    Log->Start();
    TPackageForm* form = LoadForm(Module, "TRestoreWizard", "vlrstore");
    ASSERT_NE(form, nullptr) << LastLoadFormError();
    Wizard = form;
    Wizard->Tag = Log.get();
    Wizard->show();
    ASSERT_TRUE(ServeEventsUntil([&] { return Wizard->isVisible(); }));
}

void TRestoreFixture::TearDown() {
    UnloadForm(Module);
    SetInteraction(Previous);
    EXPECT_TRUE(Script.Unexpected().empty())
        << "unexpected question: " << Script.Unexpected().front();
    EXPECT_EQ(Script.Pending(), 0u) << "questions that were never asked";
    UseDefaultTestDriveMap();
}

fs::path TRestoreFixture::Host(const std::string& drivePath) const {
    std::string rest = drivePath.substr(3);
    for (char& c : rest) {
        if (c == '\\')
            c = '/';
    }
    const char* drive = std::toupper(static_cast<unsigned char>(drivePath[0])) == 'C' ? "c" : "d";
    return Dir.Path() / drive / rest;
}

fs::path TRestoreFixture::Backup(const std::string& drivePath, const std::string& content,
                                 int version, int32_t key, int32_t dosTime) {
    WriteTextFile(Host(drivePath), content);
    if (dosTime != 0) {
        EXPECT_TRUE(FileSetDate(drivePath, dosTime));
    }
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ".VL%03d", version);
    const std::string copy =
        "D:\\Vaultaire\\" + drivePath.substr(0, 1) + drivePath.substr(2) + suffix;
    fs::create_directories(Host(copy).parent_path());
    TVZipStream zip(drivePath);
    zip.SetCompLevel(-1);
    zip.SetMethodToUse(sm_BestMethod);
    zip.Header.Key = key;
    zip.SaveAs(copy, TVZipStream::efReplace);
    // The catalogue tells versions apart by the copies' own times.
    if (dosTime != 0) {
        EXPECT_TRUE(FileSetDate(copy, dosTime));
    }
    return Host(copy);
}

int TRestoreFixture::Page() const {
    auto* book = Child<QStackedWidget>("Book");
    return book ? book->currentIndex() : -1;
}

QString TRestoreFixture::LabelText(const char* name) const {
    auto* label = Child<QLabel>(name);
    return label ? label->text() : QString();
}

void TRestoreFixture::Click(const char* button) {
    auto* widget = Child<QAbstractButton>(button);
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isEnabled()) << button;
    widget->click();
}

void TRestoreFixture::SelectSource(char letter) {
    auto* box = Child<QComboBox>("SourcePaths");
    for (int i = 0; i < box->count(); ++i) {
        if (AttachedDriveLetter(box, i) == letter) {
            box->setCurrentIndex(i);
            return;
        }
    }
    ADD_FAILURE() << "no source entry for drive " << letter;
}

void TRestoreFixture::OpenFilesPage() {
    Click("NextButton");
    SelectSource('D');
    Click("NextButton");
    ASSERT_EQ(Page(), 2);
}

QTreeWidgetItem* TRestoreFixture::Find(QTreeWidget* view, const QString& text) {
    for (QTreeWidgetItemIterator it(view); *it; ++it) {
        if ((*it)->text(0) == text)
            return *it;
    }
    return nullptr;
}

int TRestoreFixture::State(QTreeWidgetItem* item) {
    return item ? item->data(0, StateImageRole).toInt() : -1;
}

void TRestoreFixture::ClickState(QTreeWidget* view, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    view->scrollToItem(item);
    const QRect cell = view->visualItemRect(item);
    // The check box is drawn at the left of the item's cell, before its picture.
    const QPoint box(cell.left() + 2 + 6, cell.center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box);
}

void TRestoreFixture::Expand(QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    item->setExpanded(true);
}

bool ServeEventsUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TDialogAnswerer::TDialogAnswerer(const char* objectName, std::function<bool(QWidget*)> answer)
    : Timer(new QTimer(&TQtEnvironment::App())) {
    Timer->setInterval(10);
    const QString name = QString::fromLatin1(objectName);
    QObject::connect(Timer, &QTimer::timeout, Timer, [this, name, answer] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != name || !dialog->isVisible())
            return;
        ++Count;
        if (!answer(dialog))
            Timer->stop();
    });
    Timer->start();
}

TDialogAnswerer::~TDialogAnswerer() {
    delete Timer;
}
