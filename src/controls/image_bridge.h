#pragma once
// Moving pixels between the plain buffers and Qt images.
#include <QColor>
#include <QImage>

#include "pixel_image.h"

namespace controls {

// A view of the buffer as an opaque image; valid only while `image` lives and is not resized.
QImage asQImage(const PixelImage& image);

// A copy of any image as opaque pixels (alpha is dropped).
PixelImage fromQImage(const QImage& image);

Pixel fromQColor(const QColor& colour);

}  // namespace controls
