#include <gtest/gtest.h>

#include "pixel_grid.h"
#include "pixel_image.h"

namespace controls {
namespace {

using testing::fromGrid;
using testing::samePixels;

constexpr Pixel kOff = rgb(255, 255, 255);
constexpr Pixel kOn = rgb(0, 0, 0);
const testing::Legend kLegend{{'.', kOff}, {'#', kOn}};

PixelImage lineOn5x4(Point a, Point b) {
    PixelImage image(5, 4, kOff);
    drawLine(image, a, b, kOn);
    return image;
}

TEST(PixelRaster, LineLeavesItsEndPixelOutInEitherDirection) {
    EXPECT_TRUE(samePixels(fromGrid({".###.", ".....", ".....", "....."}, kLegend), lineOn5x4({1, 0}, {4, 0})));
    EXPECT_TRUE(samePixels(fromGrid({"..###", ".....", ".....", "....."}, kLegend), lineOn5x4({4, 0}, {1, 0})));
    EXPECT_TRUE(samePixels(fromGrid({".....", "..#..", "..#..", "..#.."}, kLegend), lineOn5x4({2, 3}, {2, 0})));
    EXPECT_TRUE(samePixels(fromGrid({".....", ".....", ".....", "....."}, kLegend), lineOn5x4({2, 2}, {2, 2})));
}

TEST(PixelRaster, EverythingOutsideTheImageIsClipped) {
    EXPECT_TRUE(samePixels(fromGrid({".....", "##...", ".....", "....."}, kLegend), lineOn5x4({1, 1}, {-6, 1})));
    EXPECT_TRUE(samePixels(fromGrid({"....#", "....#", ".....", "....."}, kLegend), lineOn5x4({4, -3}, {4, 2})));
    PixelImage image(3, 3, kOff);
    fillRect(image, Rect{-5, 2, 9, 40}, kOn);
    EXPECT_TRUE(samePixels(fromGrid({"...", "...", "###"}, kLegend), image));
}

TEST(PixelRaster, OutlinedRectangleKeepsItsOutlineOnItsOwnEdgePixels) {
    PixelImage image(5, 4, rgb(1, 1, 1));
    drawOutlinedRect(image, Rect{0, 0, 5, 3}, kOn, kOff);
    const testing::Legend legend{{'.', kOff}, {'#', kOn}, {'-', rgb(1, 1, 1)}};
    EXPECT_TRUE(samePixels(fromGrid({"#####", "#...#", "#####", "-----"}, legend), image));
}

TEST(PixelRaster, ColourReferencesAreBlueGreenRed) {
    EXPECT_EQ(rgb(196, 196, 0), fromColourRef(0xC4C4));
    EXPECT_EQ(rgb(0, 0, 196), fromColourRef(0xC40000));
    EXPECT_EQ(rgb(100, 0, 255), fromColourRef(0xFF0064));
}

}  // namespace
}  // namespace controls
