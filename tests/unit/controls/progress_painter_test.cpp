#include <gtest/gtest.h>

#include "pixel_grid.h"
#include "progress_painter.h"

namespace controls {
namespace {

using testing::fromGrid;
using testing::samePixels;

constexpr Pixel kFace = rgb(212, 208, 200);
const ProgressPalette kColours = makeProgressPalette(rgb(51, 153, 255), rgb(65, 64, 64), rgb(128, 129, 128));
const testing::Legend kLegend{{'F', kFace},           {'B', kColours.base},   {'1', kColours.light1},
                              {'2', kColours.light2}, {'3', kColours.light3}, {'d', kColours.dark1},
                              {'e', kColours.dark2},  {'m', kColours.midShadow}, {'s', kColours.shadow}};

PixelImage horizontal(int width, int height, int lower, int upper, int position) {
    return renderProgress(width, height, ProgressState{lower, upper, position, false}, kColours, kFace);
}

PixelImage vertical(int width, int height, int lower, int upper, int position) {
    return renderProgress(width, height, ProgressState{lower, upper, position, true}, kColours, kFace);
}

// The finished look of a horizontal bar of width R >= 5 and height D >= 10 at the left of the client
// area, column by column, as the shading is meant to read (not a replay of the strokes).
Pixel wideBarPixel(int x, int y, int R, int D) {
    const auto rows = [&](Pixel top0, Pixel top1, Pixel top2, Pixel top3, Pixel middle, Pixel b5, Pixel b4,
                          Pixel b3, Pixel b2, Pixel b1) {
        if (y == 0) return top0;
        if (y == 1) return top1;
        if (y == 2) return top2;
        if (y == 3) return top3;
        if (y == D - 5) return b5;
        if (y == D - 4) return b4;
        if (y == D - 3) return b3;
        if (y == D - 2) return b2;
        if (y == D - 1) return b1;
        return middle;
    };
    const ProgressPalette& c = kColours;
    if (x == 0) return c.base;  // left end cap
    if (x == 1) return rows(c.base, c.light1, c.light2, c.light3, c.light3, c.light3, c.light2, c.light1, c.base, c.dark1);
    if (x <= R - 4) return rows(c.dark1, c.base, c.light1, c.light2, c.light3, c.light2, c.light1, c.base, c.dark1, c.dark2);
    if (x == R - 3) return rows(c.dark1, c.base, c.light1, c.light2, c.light2, c.light2, c.light1, c.base, c.dark1, c.dark2);
    if (x == R - 2) return y == 0 ? c.dark1 : y == 1 ? c.base : y == D - 1 ? c.dark2 : c.dark1;
    if (x == R - 1) return y == 0 ? c.dark1 : c.dark2;
    if (x == R) return c.midShadow;
    if (x == R + 1) return c.shadow;
    return kFace;
}

PixelImage wideBar(int width, int height, int R) {
    PixelImage image(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.set(x, y, wideBarPixel(x, y, R, height));
    return image;
}

TEST(ProgressPalette, LightenAndDarkenLeaveAChannelAloneRatherThanClamp) {
    EXPECT_EQ(rgb(230, 255, 51), lighten(rgb(230, 204, 0)));
    EXPECT_EQ(rgb(81, 205, 255), lighten(rgb(30, 154, 255)));
    EXPECT_EQ(rgb(0, 50, 204), darken(rgb(51, 50, 255)));
    EXPECT_EQ(rgb(40, 0, 1), darken(rgb(40, 51, 52)));
}

TEST(ProgressPalette, WorkedExamples) {
    const ProgressPalette a = makeProgressPalette(rgb(51, 153, 255), 0, 0);
    EXPECT_EQ(rgb(51, 153, 255), a.base);
    EXPECT_EQ(rgb(102, 204, 255), a.light1);
    EXPECT_EQ(rgb(153, 255, 255), a.light2);
    EXPECT_EQ(rgb(204, 255, 255), a.light3);
    EXPECT_EQ(rgb(0, 102, 204), a.dark1);
    EXPECT_EQ(rgb(0, 51, 153), a.dark2);

    const ProgressPalette b = makeProgressPalette(rgb(10, 36, 106), 0, 0);
    EXPECT_EQ(rgb(61, 87, 157), b.light1);
    EXPECT_EQ(rgb(112, 138, 208), b.light2);
    EXPECT_EQ(rgb(163, 189, 208), b.light3);
    EXPECT_EQ(rgb(10, 36, 55), b.dark1);
    EXPECT_EQ(rgb(10, 36, 4), b.dark2);
}

TEST(ProgressPalette, MidShadowIsTheFlooredMeanOfTheTwoShadows) {
    EXPECT_EQ(rgb(96, 96, 96), kColours.midShadow);
    EXPECT_EQ(rgb(127, 0, 255), makeProgressPalette(0, rgb(255, 0, 255), rgb(0, 1, 255)).midShadow);
}

TEST(ProgressBarRect, BarEndIsTruncatedNotRounded) {
    EXPECT_EQ(5, progressBarRect(513, 16, {0, 100, 1, false}).right);
    EXPECT_EQ(189, progressBarRect(513, 16, {0, 100, 37, false}).right);
    EXPECT_EQ(507, progressBarRect(513, 16, {0, 100, 99, false}).right);
    EXPECT_EQ((Rect{0, 0, 513, 16}), progressBarRect(513, 16, {0, 100, 100, false}));
    // Vertical bars grow from the bottom: 2/3 of 10 is 6.67, so 6 rows.
    EXPECT_EQ((Rect{0, 4, 7, 10}), progressBarRect(7, 10, {0, 3, 2, true}));
    // An offset range counts from its lower bound.
    EXPECT_EQ(50, progressBarRect(100, 16, {100, 200, 150, false}).right);
}

TEST(ProgressBarRect, EmptyRangeAndOutOfRangePositionsAreSafe) {
    EXPECT_EQ(0, progressBarRect(513, 16, {50, 50, 50, false}).width());
    EXPECT_EQ(0, progressBarRect(20, 30, {7, 7, 9, true}).height());
    EXPECT_EQ(513, progressBarRect(513, 16, {0, 100, 250, false}).right);
    EXPECT_EQ(0, progressBarRect(513, 16, {0, 100, -5, false}).right);
}

TEST(HorizontalProgress, AtTheLowerBoundOnlyTheFaceShows) {
    EXPECT_TRUE(samePixels(PixelImage(30, 12, kFace), horizontal(30, 12, 0, 100, 0)));
    EXPECT_TRUE(samePixels(PixelImage(30, 12, kFace), horizontal(30, 12, 20, 40, 20)));
}

TEST(HorizontalProgress, EmptyRangeDrawsAnEmptyBar) {
    EXPECT_TRUE(samePixels(PixelImage(30, 12, kFace), horizontal(30, 12, 100, 100, 100)));
    EXPECT_TRUE(samePixels(PixelImage(30, 12, kFace), vertical(30, 12, 0, 0, 0)));
}

TEST(HorizontalProgress, VeryShortBarsStillGetEveryStrokeAndTheDropShadow) {
    EXPECT_TRUE(samePixels(fromGrid({"BmsFFFFF", "emsFFFFF", "emsFFFFF", "emsFFFFF", "emsFFFFF",
                                     "emsFFFFF", "emsFFFFF", "emsFFFFF", "emsFFFFF", "emsFFFFF"},
                                    kLegend),
                           horizontal(8, 10, 0, 8, 1)));
    EXPECT_TRUE(samePixels(fromGrid({"BBmsFFFF", "BemsFFFF", "demsFFFF", "demsFFFF", "demsFFFF",
                                     "demsFFFF", "demsFFFF", "demsFFFF", "demsFFFF", "BemsFFFF"},
                                    kLegend),
                           horizontal(8, 10, 0, 8, 2)));
    EXPECT_TRUE(samePixels(fromGrid({"BBdmsFFF", "B1emsFFF", "BdemsFFF", "BdemsFFF", "BdemsFFF",
                                     "BdemsFFF", "BdemsFFF", "BdemsFFF", "BdemsFFF", "BdemsFFF"},
                                    kLegend),
                           horizontal(8, 10, 0, 8, 3)));
    EXPECT_TRUE(samePixels(fromGrid({"BBddmsFF", "B1BemsFF", "B2demsFF", "B3demsFF", "B2demsFF",
                                     "B2demsFF", "B2demsFF", "B1demsFF", "BBdemsFF", "BdeemsFF"},
                                    kLegend),
                           horizontal(8, 10, 0, 8, 4)));
}

TEST(HorizontalProgress, ShadesFromTopToBottomWithEndCapAndDropShadow) {
    const std::vector<std::string> expected{
        "BBddddddddmsFF", "B1BBBBBBBemsFF", "B2111111demsFF", "B3222222demsFF",
        "B3333332demsFF", "B3333332demsFF", "B3333332demsFF", "B3222222demsFF",
        "B2111111demsFF", "B1BBBBBBdemsFF", "BBdddddddemsFF", "BdeeeeeeeemsFF"};
    EXPECT_TRUE(samePixels(fromGrid(expected, kLegend), horizontal(14, 12, 0, 14, 10)));
    // The column rules used for the wide bars below agree with this drawing.
    EXPECT_TRUE(samePixels(fromGrid(expected, kLegend), wideBar(14, 12, 10)));
}

TEST(HorizontalProgress, ClientWidth513AtOneThirtySevenAndNinetyNine) {
    EXPECT_TRUE(samePixels(wideBar(513, 16, 5), horizontal(513, 16, 0, 100, 1)));
    EXPECT_TRUE(samePixels(wideBar(513, 16, 189), horizontal(513, 16, 0, 100, 37)));
    EXPECT_TRUE(samePixels(wideBar(513, 16, 507), horizontal(513, 16, 0, 100, 99)));
}

TEST(HorizontalProgress, AtTheUpperBoundTheDropShadowFallsOutsideTheClientArea) {
    const PixelImage full = horizontal(513, 16, 0, 100, 100);
    EXPECT_TRUE(samePixels(wideBar(513, 16, 513), full));
    for (int y = 1; y < 16; ++y) EXPECT_EQ(kColours.dark2, full.at(512, y)) << y;
}

TEST(VerticalProgress, ShortBarsAreAnOutlinedRectangle) {
    EXPECT_TRUE(samePixels(fromGrid({"FFFFFF", "FFFFFF", "FFFFFF", "FFFFFF", "FFFFFF", "dddddd"}, kLegend),
                           vertical(6, 6, 0, 6, 1)));
    EXPECT_TRUE(samePixels(fromGrid({"FFFFFF", "FFFFFF", "FFFFFF", "FFFFFF", "dddddd", "dddddd"}, kLegend),
                           vertical(6, 6, 0, 6, 2)));
    EXPECT_TRUE(samePixels(fromGrid({"FFFFFF", "FFFFFF", "FFFFFF", "dddddd", "dBBBBd", "dddddd"}, kLegend),
                           vertical(6, 6, 0, 6, 3)));
}

TEST(VerticalProgress, FourRowsAndMoreUseTheStrokes) {
    EXPECT_TRUE(samePixels(fromGrid({"FFFFFFFFFF", "FFFFFFFFFF", "BBBBBBBBBB", "B1233321Bd", "dBddddddde",
                                     "deeeeeeeee"},
                                    kLegend),
                           vertical(10, 6, 0, 6, 4)));
    EXPECT_TRUE(samePixels(fromGrid({"BBBBBBBBBB", "B1233321Bd", "dB12321Bde", "dB12321Bde", "dB12321Bde",
                                     "dB12321Bde", "dBddddddde", "deeeeeeeee"},
                                    kLegend),
                           vertical(10, 8, 0, 8, 8)));
}

TEST(VerticalProgress, DrawsNoDropShadow) {
    const PixelImage image = vertical(10, 8, 0, 8, 5);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 3; ++y) EXPECT_EQ(kFace, image.at(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace controls
