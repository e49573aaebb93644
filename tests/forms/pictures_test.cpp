#include "pictures.h"

#include <gtest/gtest.h>

#include <QImage>

#include "qtenvironment.h"
#include "testenv.h"

namespace {

class Pictures : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }
};

// Opaque pixels of a picture: a picture that draws nothing has none.
int OpaquePixels(const QPixmap& picture) {
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) > 200;
    return opaque;
}

TEST_F(Pictures, TheIconsAreDrawnAtEveryTraySize) {
    for (int size : {16, 22, 24, 32, 48}) {
        for (const QIcon& icon : {ProgramIcon(), TrayIcon(true), TrayIcon(false)}) {
            QPixmap picture = icon.pixmap(size, size);
            EXPECT_EQ(picture.size(), QSize(size, size));
            EXPECT_GT(OpaquePixels(picture), size * size / 2) << size;
        }
    }
    EXPECT_NE(TrayIcon(true).pixmap(16, 16).toImage(), TrayIcon(false).pixmap(16, 16).toImage());
}

TEST_F(Pictures, EachIconIsDrawnOnceForEveryWindowThatShowsIt) {
    // A new icon per window would leave its scaled pictures in Qt's cache each time: the
    // tray program grew with every enable/disable cycle.
    EXPECT_EQ(ProgramIcon().cacheKey(), ProgramIcon().cacheKey());
    EXPECT_EQ(TrayIcon(true).cacheKey(), TrayIcon(true).cacheKey());
    EXPECT_NE(TrayIcon(true).cacheKey(), TrayIcon(false).cacheKey());
}

TEST_F(Pictures, TheProgramsOwnSplashPictureServesWithoutAFile) {
    TTempDir folder;
    QPixmap picture = SplashPicture(folder / "SPLASH.BMP");

    EXPECT_EQ(picture.size(), QSize(kSplashWidth, kSplashHeight));
    EXPECT_EQ(OpaquePixels(picture), kSplashWidth * kSplashHeight);
}

TEST_F(Pictures, APictureFileBesideTheProgramIsShownInstead) {
    TTempDir folder;
    QImage own(40, 30, QImage::Format_RGB32);
    own.fill(Qt::darkGreen);
    ASSERT_TRUE(own.save(QString::fromStdString(folder / "SPLASH.BMP"), "BMP"));

    QPixmap picture = SplashPicture(folder / "SPLASH.BMP");

    EXPECT_EQ(picture.size(), QSize(40, 30));
}

TEST_F(Pictures, AFileThatIsNoPictureLeavesTheProgramsOwn) {
    TTempDir folder;
    WriteTextFile(folder.Path() / "SPLASH.BMP", "BM not really a picture");
    std::filesystem::create_directory(folder.Path() / "folder.bmp");

    EXPECT_EQ(SplashPicture(folder / "SPLASH.BMP").size(), QSize(kSplashWidth, kSplashHeight));
    EXPECT_EQ(SplashPicture(folder / "folder.bmp").size(), QSize(kSplashWidth, kSplashHeight));
}

}  // namespace
