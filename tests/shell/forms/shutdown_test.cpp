#include "shutdown.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <ctime>

#include "animate.h"
#include "formtest.h"
#include "qtenvironment.h"

namespace {

using namespace std::chrono_literals;

class ShutdownForm : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }
};

TEST_F(ShutdownForm, SaysWhatItWaitsForAndAnimatesTheCopying) {
    TShutdownForm form;
    form.ShowNow();

    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Vaultaire 2000");
    EXPECT_EQ(LabelText(form, "Label1"), "Please wait. Backing up outstanding files...");
    EXPECT_FALSE(Child<QLabel>(form, "Image1")->pixmap().isNull());
    auto* animation = Child<TAnimate>(form, "Animate1");
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->CommonAVI(), TAnimate::aviCopyFiles);
    EXPECT_TRUE(animation->Active());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
}

// The window stays up for two seconds even when there was nothing to wait for, and while
// it waits it goes on serving the program's events without keeping a core busy.
TEST_F(ShutdownForm, StaysUpTwoSecondsServingEventsWithoutSpinning) {
    TShutdownForm form;
    form.ShowNow();
    bool served = false;
    QTimer::singleShot(200ms, &form, [&] { served = true; });

    std::clock_t cpuBefore = std::clock();
    form.WaitMinimumShown();
    double cpuSeconds = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;

    EXPECT_GE(form.ShownFor(), TShutdownForm::kMinimumShown);
    EXPECT_LT(form.ShownFor(), TShutdownForm::kMinimumShown + 1500ms);
    EXPECT_TRUE(served) << "events were not served while the window waited";
    EXPECT_LT(cpuSeconds, 0.5) << "the wait kept the processor busy";
}

TEST_F(ShutdownForm, WaitsNoLongerOnceTheMinimumHasPassed) {
    TShutdownForm form;
    form.ShowNow();
    form.WaitMinimumShown(50ms);
    auto before = std::chrono::steady_clock::now();

    form.WaitMinimumShown(50ms);

    EXPECT_LT(std::chrono::steady_clock::now() - before, 20ms);
}

TEST_F(ShutdownForm, ANeverShownWindowDoesNotWait) {
    TShutdownForm form;
    auto before = std::chrono::steady_clock::now();

    form.WaitMinimumShown();

    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
}

}  // namespace
