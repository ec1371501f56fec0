#pragma once
// The shaded progress tube: its palette and its rendering into a pixel buffer.
#include "pixel_image.h"

namespace controls {

// Each channel + 51, except a channel that would pass 255 stays as it is (no clamping).
Pixel lighten(Pixel colour);
// Each channel - 51, except a channel below 51 stays as it is.
Pixel darken(Pixel colour);

struct ProgressPalette {
    Pixel base = 0;
    Pixel light1 = 0;
    Pixel light2 = 0;
    Pixel light3 = 0;
    Pixel dark1 = 0;
    Pixel dark2 = 0;
    Pixel deepShadow = 0;
    Pixel shadow = 0;
    Pixel midShadow = 0;  // per channel floor((deepShadow + shadow) / 2)
};

// Builds the tints and shades of the highlight colour and the two shadow colours.
ProgressPalette makeProgressPalette(Pixel highlight, Pixel deepShadow, Pixel shadow);

struct ProgressState {
    int lower = 0;
    int upper = 100;
    int position = 0;
    bool vertical = false;
};

// The part of the client area (width x height) the bar covers. An empty range gives an empty bar;
// a position outside the range is held at its nearer bound first.
Rect progressBarRect(int width, int height, const ProgressState& state);

// Renders the whole client area: the face colour, the light3 bar and its shading strokes.
PixelImage renderProgress(int width, int height, const ProgressState& state, const ProgressPalette& palette,
                          Pixel face);

}  // namespace controls
