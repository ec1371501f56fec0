#include "pixel_image.h"

#include <algorithm>
#include <cstdlib>

namespace controls {

PixelImage::PixelImage(int w, int h, Pixel fill)
    : width(std::max(w, 0)), height(std::max(h, 0)),
      pixels(static_cast<std::size_t>(std::max(w, 0)) * static_cast<std::size_t>(std::max(h, 0)), fill) {}

void fillRect(PixelImage& image, Rect r, Pixel colour) {
    const int left = std::max(r.left, 0);
    const int top = std::max(r.top, 0);
    const int right = std::min(r.right, image.width);
    const int bottom = std::min(r.bottom, image.height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) image.pixels[static_cast<std::size_t>(y) * image.width + x] = colour;
}

void drawLine(PixelImage& image, Point a, Point b, Pixel colour) {
    // Bresenham from a to b with the end point left out.
    const int dx = std::abs(b.x - a.x);
    const int dy = -std::abs(b.y - a.y);
    const int sx = a.x < b.x ? 1 : -1;
    const int sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    int x = a.x;
    int y = a.y;
    while (x != b.x || y != b.y) {
        image.set(x, y, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void drawPolyline(PixelImage& image, const Point* points, int count, Pixel colour) {
    for (int i = 0; i + 1 < count; ++i) drawLine(image, points[i], points[i + 1], colour);
}

void drawOutlinedRect(PixelImage& image, Rect r, Pixel outline, Pixel fill) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    fillRect(image, r, outline);
    fillRect(image, Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, fill);
}

}  // namespace controls
