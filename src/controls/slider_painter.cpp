#include "slider_painter.h"

namespace controls {

void seeThrough(PixelImage& drawn, const PixelImage& background) {
    constexpr Pixel black = rgb(0, 0, 0);
    for (int y = 0; y < drawn.height; ++y)
        for (int x = 0; x < drawn.width; ++x)
            if (drawn.at(x, y) != black) drawn.set(x, y, background.contains(x, y) ? background.at(x, y) : black);
}

Rect grooveRect(Rect channel) {
    if (channel.height() > channel.width()) return Rect{channel.left - 1, channel.top, channel.right + 1, channel.bottom};
    return Rect{channel.left, channel.top - 2, channel.right, channel.bottom + 2};
}

namespace {

// One 1-pixel ring: top and left in `topLeft`, then bottom and right in `bottomRight` over the corners.
void ring(PixelImage& image, Rect r, Pixel topLeft, Pixel bottomRight) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    fillRect(image, Rect{r.left, r.top, r.right, r.top + 1}, topLeft);
    fillRect(image, Rect{r.left, r.top, r.left + 1, r.bottom}, topLeft);
    fillRect(image, Rect{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    fillRect(image, Rect{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

}  // namespace

Rect drawSunkenEdge(PixelImage& image, Rect r, const EdgeColours& colours) {
    ring(image, r, colours.shadow, colours.highlight);
    const Rect inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    ring(image, inner, colours.deepShadow, colours.light);
    return Rect{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
}

Pixel thumbFill(bool pressed, std::uint32_t normal, std::uint32_t active, Pixel systemFace, Pixel systemHighlight) {
    if (pressed) return active != 0 ? fromColourRef(active) : systemHighlight;
    return normal != 0 ? fromColourRef(normal) : systemFace;
}

void drawEllipse(PixelImage& image, Rect r, Pixel outline, Pixel fill) {
    const double rx = r.width() / 2.0;
    const double ry = r.height() / 2.0;
    if (rx <= 0 || ry <= 0) return;
    const double cx = r.left + rx;
    const double cy = r.top + ry;
    auto inside = [&](int x, int y) {
        if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
        const double nx = (x + 0.5 - cx) / rx;
        const double ny = (y + 0.5 - cy) / ry;
        return nx * nx + ny * ny <= 1.0;
    };
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            if (!inside(x, y)) continue;
            const bool rim = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            image.set(x, y, rim ? outline : fill);
        }
}

}  // namespace controls
