#include "about.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>

#include "formtest.h"
#include "interaction.h"
#include "pictures.h"
#include "qtenvironment.h"

namespace {

using namespace std::chrono_literals;

class AboutBox : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }
};

TEST_F(AboutBox, ShowsThePictureTheVersionAndTheCopyright) {
    TAboutDlg box(nullptr, false);

    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(LabelText(box, "Version"), "Version 2.02");
    EXPECT_EQ(LabelText(box, "Copyright"), "Copyright (C) Orvanet");
    QPixmap picture = Child<QLabel>(box, "Image1")->pixmap();
    EXPECT_EQ(picture.size(), QSize(kSplashWidth, kSplashHeight));
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(Child<QPushButton>(box, "OkButton")->isHidden());
}

TEST_F(AboutBox, NormalModeWaitsForOk) {
    TAboutDlg box(nullptr, false);
    bool stillOpen = false;
    QTimer::singleShot(TAboutDlg::kSplashTime + 300ms, &box, [&] {
        stillOpen = box.isVisible();
        Child<QPushButton>(box, "OkButton")->click();
    });

    EXPECT_EQ(box.exec(), IDOK);
    EXPECT_TRUE(stillOpen) << "the About box closed by itself";
}

TEST_F(AboutBox, SplashModeHasNoOkAndClosesItselfAfterThreeSeconds) {
    TAboutDlg box(nullptr, true);
    EXPECT_TRUE(Child<QPushButton>(box, "OkButton")->isHidden());
    bool openAfterTwoSeconds = false;
    QTimer::singleShot(2500ms, &box, [&] { openAfterTwoSeconds = box.isVisible(); });
    auto before = std::chrono::steady_clock::now();

    EXPECT_EQ(box.exec(), IDOK);

    auto shownFor = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(openAfterTwoSeconds);
    EXPECT_GE(shownFor, TAboutDlg::kSplashTime - 50ms);
    EXPECT_LT(shownFor, TAboutDlg::kSplashTime + 2s);
}

}  // namespace
