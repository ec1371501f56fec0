#include <gtest/gtest.h>

#include "pixel_grid.h"
#include "slider_painter.h"

namespace controls {
namespace {

using testing::fromGrid;
using testing::samePixels;

TEST(SliderSeeThrough, OnlyPureBlackSurvives) {
    const testing::Legend legend{{'k', rgb(0, 0, 0)},   {'n', rgb(1, 0, 0)},   {'g', rgb(0, 0, 1)},
                                 {'w', rgb(255, 255, 255)}, {'a', rgb(10, 20, 30)}, {'b', rgb(40, 50, 60)}};
    PixelImage drawn = fromGrid({"kngw", "wkkn"}, legend);
    const PixelImage background = fromGrid({"abab", "baba"}, legend);
    seeThrough(drawn, background);
    EXPECT_TRUE(samePixels(fromGrid({"kbab", "bkka"}, legend), drawn));
}

TEST(SliderGroove, TallChannelIsWidenedOtherwiseExtended) {
    EXPECT_EQ((Rect{9, 10, 15, 90}), grooveRect(Rect{10, 10, 14, 90}));
    EXPECT_EQ((Rect{10, 8, 90, 16}), grooveRect(Rect{10, 10, 90, 14}));
    // A square channel counts as not taller than wide.
    EXPECT_EQ((Rect{5, 3, 9, 11}), grooveRect(Rect{5, 5, 9, 9}));
}

TEST(SliderGroove, SunkenEdgeIsTwoRingsDarkAtTopLeft) {
    PixelImage image(6, 5, rgb(9, 9, 9));
    const EdgeColours colours{rgb(128, 128, 128), rgb(255, 255, 255), rgb(64, 64, 64), rgb(224, 224, 224)};
    const Rect inside = drawSunkenEdge(image, Rect{0, 0, 6, 5}, colours);
    const testing::Legend legend{{'s', colours.shadow}, {'h', colours.highlight}, {'d', colours.deepShadow},
                                 {'l', colours.light},  {'.', rgb(9, 9, 9)}};
    EXPECT_TRUE(samePixels(fromGrid({"sssssh", "sdddlh", "sd..lh", "sllllh", "hhhhhh"}, legend), image));
    EXPECT_EQ((Rect{2, 2, 4, 3}), inside);
}

TEST(SliderThumb, ZeroColourFallsBackToSystemColours) {
    const Pixel face = rgb(212, 208, 200);
    const Pixel highlight = rgb(255, 255, 255);
    EXPECT_EQ(face, thumbFill(false, 0, 0xFF0000, face, highlight));
    EXPECT_EQ(highlight, thumbFill(true, 0xC40000, 0, face, highlight));
    EXPECT_EQ(rgb(0, 0, 196), thumbFill(false, 0xC40000, 0xFF0000, face, highlight));
    EXPECT_EQ(rgb(255, 255, 0), thumbFill(true, 0xC4C4, 0xFFFF, face, highlight));
}

TEST(SliderThumb, EllipseIsInscribedWithItsRimOutlined) {
    PixelImage image(9, 7, rgb(9, 9, 9));
    drawEllipse(image, Rect{1, 1, 8, 6}, rgb(0, 0, 0), rgb(200, 0, 0));
    // Centre filled, rim outlined, corners of the rectangle and everything outside it untouched.
    EXPECT_EQ(rgb(200, 0, 0), image.at(4, 3));
    EXPECT_EQ(rgb(0, 0, 0), image.at(1, 3));
    EXPECT_EQ(rgb(0, 0, 0), image.at(7, 3));
    EXPECT_EQ(rgb(0, 0, 0), image.at(4, 1));
    EXPECT_EQ(rgb(0, 0, 0), image.at(4, 5));
    for (Point corner : {Point{1, 1}, Point{7, 1}, Point{1, 5}, Point{7, 5}, Point{0, 3}, Point{8, 3}, Point{4, 0}, Point{4, 6}})
        EXPECT_EQ(rgb(9, 9, 9), image.at(corner.x, corner.y)) << corner.x << "," << corner.y;
}

}  // namespace
}  // namespace controls
