#pragma once
// The see-through slider's pure parts: the black-keeping mask over a cached parent background,
// the sunken groove around the channel, and the elliptic thumb.
#include "pixel_image.h"

namespace controls {

// Every pixel of `drawn` that is pure black stays black; every other pixel becomes the pixel of
// `background` at the same place. Both images have the same size (background pixels outside it count
// as black).
void seeThrough(PixelImage& drawn, const PixelImage& background);

// The groove's rectangle: a channel taller than wide is widened by 1 pixel left and right; any other
// channel (a square one too) is extended by 2 pixels at the top and at the bottom.
Rect grooveRect(Rect channel);

struct EdgeColours {
    Pixel shadow;      // outer top and left
    Pixel highlight;   // outer bottom and right
    Pixel deepShadow;  // inner top and left
    Pixel light;       // inner bottom and right
};

// A 2-pixel sunken edge on the rectangle's own border pixels; answers the rectangle inside it.
Rect drawSunkenEdge(PixelImage& image, Rect r, const EdgeColours& colours);

// The thumb's fill: the owner's colour, or the system colour when the owner's colour is 0.
// `normal`/`active` are colour references (0x00BBGGRR); the system colours are pixels.
Pixel thumbFill(bool pressed, std::uint32_t normal, std::uint32_t active, Pixel systemFace,
                Pixel systemHighlight);

// An ellipse inscribed in r: filled with `fill`, its 1-pixel rim in `outline`.
void drawEllipse(PixelImage& image, Rect r, Pixel outline, Pixel fill);

}  // namespace controls
