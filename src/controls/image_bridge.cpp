#include "image_bridge.h"

namespace controls {

QImage asQImage(const PixelImage& image) {
    if (image.width == 0 || image.height == 0) return QImage();
    return QImage(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
                  image.width * static_cast<int>(sizeof(Pixel)), QImage::Format_RGB32);
}

PixelImage fromQImage(const QImage& source) {
    const QImage rgb32 = source.convertToFormat(QImage::Format_RGB32);
    PixelImage out(rgb32.width(), rgb32.height(), rgb(0, 0, 0));
    for (int y = 0; y < rgb32.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
        for (int x = 0; x < rgb32.width(); ++x) out.set(x, y, 0xFF000000u | (line[x] & 0x00FFFFFFu));
    }
    return out;
}

Pixel fromQColor(const QColor& colour) { return rgb(colour.red(), colour.green(), colour.blue()); }

}  // namespace controls
