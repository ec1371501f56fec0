// The application icon: an opened hard disk with a spanner across it.
#include <QPainter>

#include "artwork.h"
#include "pictures.h"

namespace artwork {

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    drawOpenDisk(p, QRectF(s * 0.12, s * 0.03, s * 0.64, s * 0.9), size >= 48);
    // Small icons get a relatively larger spanner so it stays recognisable.
    const qreal spanner = size < 32 ? 0.66 : 0.58;
    drawWrench(p, QRectF(s * (0.98 - spanner), s * (0.98 - spanner), s * spanner, s * spanner));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace artwork
