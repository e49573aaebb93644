#include "animate.h"

#include <gtest/gtest.h>

#include <QImage>

#include "formtest.h"
#include "qtenvironment.h"

namespace {

using namespace std::chrono_literals;

class Animation : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }

    static QImage Picture(TAnimate& animation) { return animation.grab().toImage(); }
};

TEST_F(Animation, RunsThroughItsFramesOnlyWhileActiveAndShown) {
    TAnimate animation;
    animation.SetCommonAVI(TAnimate::aviCopyFiles);
    animation.show();
    EXPECT_FALSE(ServeEventsUntil([&] { return animation.Frame() > 0; }, 300ms))
        << "an animation that was not started moved";

    animation.SetActive(true);
    EXPECT_TRUE(ServeEventsUntil([&] { return animation.Frame() > 2; }));

    animation.hide();
    int frame = animation.Frame();
    ServeEventsUntil([] { return false; }, 300ms);
    EXPECT_EQ(animation.Frame(), frame) << "a hidden animation kept running";
}

TEST_F(Animation, WrapsAfterItsLastFrame) {
    TAnimate animation;
    animation.SetCommonAVI(TAnimate::aviFindFile);
    animation.SetActive(true);
    animation.show();
    int highest = 0;
    ASSERT_TRUE(ServeEventsUntil([&] {
        highest = std::max(highest, animation.Frame());
        return highest == TAnimate::kStopFrame && animation.Frame() < highest;
    }));
}

// The frames differ from one another and the two animations differ: something moves.
TEST_F(Animation, PaintsMovingPictures) {
    TAnimate copy;
    copy.resize(copy.sizeHint());
    copy.SetCommonAVI(TAnimate::aviCopyFiles);
    QImage firstCopy = Picture(copy);
    copy.SetActive(true);
    copy.show();
    ASSERT_TRUE(ServeEventsUntil([&] { return copy.Frame() >= 10; }));
    copy.SetActive(false);
    QImage laterCopy = Picture(copy);

    TAnimate find;
    find.resize(find.sizeHint());
    find.SetCommonAVI(TAnimate::aviFindFile);
    QImage firstFind = Picture(find);

    EXPECT_NE(firstCopy, laterCopy);
    EXPECT_NE(firstCopy, firstFind);
    TAnimate none;
    none.resize(none.sizeHint());
    EXPECT_NE(Picture(none), firstFind);
}

}  // namespace
