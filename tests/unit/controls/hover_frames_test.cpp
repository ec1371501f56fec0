#include <gtest/gtest.h>

#include "hover_frames.h"

namespace controls {
namespace {

TEST(HoverFrames, PressedWinsOverHoverAndNothingElseCounts) {
    EXPECT_EQ(ButtonFrame::Normal, chooseFrame(false, false));
    EXPECT_EQ(ButtonFrame::Hover, chooseFrame(false, true));
    EXPECT_EQ(ButtonFrame::Pressed, chooseFrame(true, false));
    EXPECT_EQ(ButtonFrame::Pressed, chooseFrame(true, true));
}

TEST(HoverFrames, FrameIsAThirdOfTheStripRoundedDown) {
    EXPECT_EQ(149, frameWidthOf(448));
    EXPECT_EQ(150, frameWidthOf(450));
    EXPECT_EQ(54, frameWidthOf(164));
    EXPECT_EQ(163, frameWidthOf(489));
    EXPECT_EQ(151, frameWidthOf(453));
    EXPECT_EQ(0, frameWidthOf(2));
}

TEST(HoverFrames, CutFrameTakesTheFrameColumnsAndNeverTheLeftovers) {
    // A 3 x 2 frame strip with two leftover columns; every pixel names its own column and row.
    PixelImage strip(11, 2, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 11; ++x) strip.set(x, y, rgb(x, y, 7));
    for (ButtonFrame frame : {ButtonFrame::Normal, ButtonFrame::Pressed, ButtonFrame::Hover}) {
        const PixelImage cut = cutFrame(strip, frame);
        ASSERT_EQ(3, cut.width);
        ASSERT_EQ(2, cut.height);
        const int first = 3 * static_cast<int>(frame);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) EXPECT_EQ(rgb(first + x, y, 7), cut.at(x, y));
    }
}

TEST(HoverTracker, MoveHoverLeaveCycle) {
    HoverTracker t;
    EXPECT_TRUE(t.pointerMoved().requestTracking);
    t.trackingRequested(true);
    EXPECT_TRUE(t.tracked());
    EXPECT_FALSE(t.hovering());

    // While tracked, moving asks for nothing new.
    const HoverAction again = t.pointerMoved();
    EXPECT_FALSE(again.requestTracking);
    EXPECT_FALSE(again.waitAndRepaint);

    EXPECT_TRUE(t.hoverNotified().waitAndRepaint);
    EXPECT_TRUE(t.hovering());
    EXPECT_FALSE(t.pointerMoved().requestTracking);

    EXPECT_TRUE(t.leaveNotified().waitAndRepaint);
    EXPECT_FALSE(t.tracked());
    EXPECT_FALSE(t.hovering());
    EXPECT_TRUE(t.pointerMoved().requestTracking);
}

TEST(HoverTracker, LeaveBeforeHoverReturnsToIdle) {
    HoverTracker t;
    t.pointerMoved();
    t.trackingRequested(true);
    EXPECT_TRUE(t.leaveNotified().waitAndRepaint);
    EXPECT_FALSE(t.tracked());
    EXPECT_FALSE(t.hovering());
}

TEST(HoverTracker, RefusedRequestIsAskedAgainOnTheNextMove) {
    HoverTracker t;
    EXPECT_TRUE(t.pointerMoved().requestTracking);
    t.trackingRequested(false);
    EXPECT_FALSE(t.tracked());
    EXPECT_TRUE(t.pointerMoved().requestTracking);
}

}  // namespace
}  // namespace controls
