#pragma once
// A plain RGB pixel buffer and the few raster operations the skinned controls need. The widgets
// render into one of these and copy it to the screen in one step; tests read it pixel by pixel.
#include <cstdint>
#include <vector>

namespace controls {

// Packed 0xFFRRGGBB; the top byte is always 0xFF so the buffer can be shown as an opaque image.
using Pixel = std::uint32_t;

constexpr Pixel rgb(int red, int green, int blue) {
    return 0xFF000000u | (static_cast<Pixel>(red & 0xFF) << 16) | (static_cast<Pixel>(green & 0xFF) << 8) |
           static_cast<Pixel>(blue & 0xFF);
}
constexpr int redOf(Pixel p) { return static_cast<int>((p >> 16) & 0xFF); }
constexpr int greenOf(Pixel p) { return static_cast<int>((p >> 8) & 0xFF); }
constexpr int blueOf(Pixel p) { return static_cast<int>(p & 0xFF); }

// A colour reference as the window system writes it: 0x00BBGGRR.
constexpr Pixel fromColourRef(std::uint32_t ref) {
    return rgb(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF), static_cast<int>((ref >> 16) & 0xFF));
}

struct Point {
    int x = 0;
    int y = 0;
};

// Covers left <= x < right, top <= y < bottom.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;  // row-major, width * height

    PixelImage() = default;
    PixelImage(int w, int h, Pixel fill);

    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Reading outside the image answers 0 (never a valid opaque pixel).
    Pixel at(int x, int y) const { return contains(x, y) ? pixels[static_cast<std::size_t>(y) * width + x] : 0; }
    // Writes outside the image are clipped away.
    void set(int x, int y, Pixel p) {
        if (contains(x, y)) pixels[static_cast<std::size_t>(y) * width + x] = p;
    }
};

// Fills the part of r inside the image.
void fillRect(PixelImage& image, Rect r, Pixel colour);

// Sets the pixels of the segment from a towards b, b itself excluded (a pen moved to a, then a line
// drawn to b). A segment whose end lies before its start runs backwards; a == b sets nothing.
void drawLine(PixelImage& image, Point a, Point b, Pixel colour);

// A line through each consecutive pair of points.
void drawPolyline(PixelImage& image, const Point* points, int count, Pixel colour);

// A rectangle with a 1-pixel outline on its own edge pixels and the inside filled.
void drawOutlinedRect(PixelImage& image, Rect r, Pixel outline, Pixel fill);

}  // namespace controls
