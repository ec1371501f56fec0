#include "progress_painter.h"

#include <algorithm>
#include <cmath>

namespace controls {

namespace {

constexpr int kStep = 51;

Pixel shiftChannels(Pixel colour, int delta) {
    int channels[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
    for (int& c : channels) {
        const int moved = c + delta;
        if (moved >= 0 && moved <= 255) c = moved;
    }
    return rgb(channels[0], channels[1], channels[2]);
}

struct Pen {
    PixelImage& image;
    void line(Point a, Point b, Pixel colour) const { drawLine(image, a, b, colour); }
    void poly(std::initializer_list<Point> points, Pixel colour) const {
        drawPolyline(image, points.begin(), static_cast<int>(points.size()), colour);
    }
    void dot(Point p, Pixel colour) const { image.set(p.x, p.y, colour); }
};

void shadeHorizontal(PixelImage& image, Rect b, const ProgressPalette& c) {
    const int L = b.left, T = b.top, R = b.right, D = b.bottom;
    if (R == L) return;
    const Pen pen{image};
    pen.line({L + 2, D - 4}, {R - 2, D - 4}, c.light1);
    pen.line({L + 2, T + 2}, {R - 2, T + 2}, c.light1);
    pen.dot({L + 1, D - 3}, c.light1);
    pen.dot({L + 1, T + 1}, c.light1);
    pen.poly({{L + 2, D - 5}, {R - 3, D - 5}, {R - 3, T + 3}, {L + 1, T + 3}}, c.light2);
    pen.dot({L + 1, D - 4}, c.light2);
    pen.dot({L + 1, T + 2}, c.light2);
    pen.poly({{L, D - 1}, {L, T}, {L + 2, T}}, c.base);
    pen.dot({L + 1, D - 2}, c.base);
    pen.line({L + 2, D - 3}, {R - 2, D - 3}, c.base);
    pen.line({L + 2, T + 1}, {R - 1, T + 1}, c.base);
    pen.poly({{L + 2, D - 2}, {R - 2, D - 2}, {R - 2, T + 1}}, c.dark1);
    pen.line({L + 2, T}, {R, T}, c.dark1);
    pen.dot({L + 1, D - 1}, c.dark1);
    pen.poly({{L + 2, D - 1}, {R - 1, D - 1}, {R - 1, T}}, c.dark2);
    // The drop shadow falls on the background just right of the bar's end.
    pen.line({R, T}, {R, D}, c.midShadow);
    pen.line({R + 1, T}, {R + 1, D}, c.shadow);
}

void shadeVertical(PixelImage& image, Rect b, const ProgressPalette& c) {
    const int L = b.left, T = b.top, R = b.right, D = b.bottom;
    if (T == D) return;
    if (D - T <= 3) {
        drawOutlinedRect(image, b, c.dark1, c.base);
        return;
    }
    const Pen pen{image};
    pen.poly({{L, T + 1}, {L, T}, {R, T}}, c.base);
    pen.line({L + 1, D - 2}, {L + 1, T + 1}, c.base);
    pen.line({R - 3, D - 3}, {R - 3, T + 1}, c.base);
    pen.dot({R - 2, T + 1}, c.base);
    pen.line({L + 2, D - 3}, {L + 2, T + 1}, c.light1);
    pen.line({R - 4, D - 3}, {R - 4, T + 1}, c.light1);
    pen.dot({L + 1, T + 1}, c.light1);
    pen.dot({R - 3, T + 1}, c.light1);
    pen.line({L + 3, D - 3}, {L + 3, T + 1}, c.light2);
    pen.line({R - 5, D - 3}, {R - 5, T + 1}, c.light2);
    pen.dot({L + 2, T + 1}, c.light2);
    pen.dot({R - 4, T + 1}, c.light2);
    pen.line({L, D - 1}, {L, T + 1}, c.dark1);
    pen.poly({{L + 2, D - 2}, {R - 2, D - 2}, {R - 2, T + 1}}, c.dark1);
    pen.dot({R - 1, T + 1}, c.dark1);
    pen.poly({{L + 1, D - 1}, {R - 1, D - 1}, {R - 1, T + 1}}, c.dark2);
}

}  // namespace

Pixel lighten(Pixel colour) { return shiftChannels(colour, kStep); }
Pixel darken(Pixel colour) { return shiftChannels(colour, -kStep); }

ProgressPalette makeProgressPalette(Pixel highlight, Pixel deepShadow, Pixel shadow) {
    ProgressPalette p;
    p.base = highlight;
    p.light1 = lighten(p.base);
    p.light2 = lighten(p.light1);
    p.light3 = lighten(p.light2);
    p.dark1 = darken(p.base);
    p.dark2 = darken(p.dark1);
    p.deepShadow = deepShadow;
    p.shadow = shadow;
    p.midShadow = rgb((redOf(deepShadow) + redOf(shadow)) / 2, (greenOf(deepShadow) + greenOf(shadow)) / 2,
                      (blueOf(deepShadow) + blueOf(shadow)) / 2);
    return p;
}

Rect progressBarRect(int width, int height, const ProgressState& state) {
    Rect bar{0, 0, width, height};
    const int lo = std::min(state.lower, state.upper);
    const int hi = std::max(state.lower, state.upper);
    if (lo == hi) {
        // An empty range has no meaningful fraction: show an empty bar.
        if (state.vertical)
            bar.top = bar.bottom;
        else
            bar.right = bar.left;
        return bar;
    }
    const int position = std::clamp(state.position, lo, hi);
    const double span = static_cast<double>(state.vertical ? height : width);
    const double filled = std::trunc((static_cast<double>(position) - state.lower) * span /
                                     (static_cast<double>(state.upper) - state.lower));
    if (state.vertical)
        bar.top = height - static_cast<int>(filled);
    else
        bar.right = static_cast<int>(filled);
    return bar;
}

PixelImage renderProgress(int width, int height, const ProgressState& state, const ProgressPalette& palette,
                          Pixel face) {
    PixelImage image(width, height, face);
    const Rect bar = progressBarRect(width, height, state);
    fillRect(image, bar, palette.light3);
    if (state.vertical)
        shadeVertical(image, bar, palette);
    else
        shadeHorizontal(image, bar, palette);
    return image;
}

}  // namespace controls
