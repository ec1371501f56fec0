// The window's background: title, an opened disk, the range field labels and the indicator panels.
#include <QFont>
#include <QLinearGradient>
#include <QPainter>

#include "artwork.h"
#include "palette.h"
#include "pictures.h"

namespace artwork {

namespace {

constexpr int kWidth = 631;
constexpr int kHeight = 415;

QFont font(int pixels, bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

// A framed panel whose inside is exactly the indicator texts' background colour.
void panel(QPainter& p, const QRect& r) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(176, 198, 230));
    p.drawRoundedRect(QRectF(r).translated(2, 2), 6, 6);
    p.setPen(QPen(kPanelFrame, 1));
    p.setBrush(kPanelFill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.setPen(QPen(QColor(236, 244, 253), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    p.restore();
}

void fieldLabel(QPainter& p, int x, int fieldTop, const QString& text) {
    p.setFont(font(12, true));
    p.setPen(kLabel);
    p.drawText(QRect(x, fieldTop - 19, 90, 16), Qt::AlignLeft | Qt::AlignBottom, text);
}

}  // namespace

QImage drawBackground() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Header band fading into the flat background the controls sit on.
    QLinearGradient header(0, 0, 0, 52);
    header.setColorAt(0, QColor(188, 212, 244));
    header.setColorAt(1, kBackground);
    p.fillRect(QRect(0, 0, kWidth, 52), header);
    // Faint platter tracks in the top right corner.
    p.save();
    p.setClipRect(QRect(418, 0, kWidth - 418, 48));
    p.setBrush(Qt::NoBrush);
    for (int r = 40; r <= 230; r += 12) {
        p.setPen(QPen(QColor(255, 255, 255, r % 36 == 4 ? 150 : 90), 1.2));
        p.drawEllipse(QPointF(650, -70), r, r);
    }
    p.restore();
    p.fillRect(QRect(10, 49, 308, 1), QColor(160, 188, 228));
    p.fillRect(QRect(10, 50, 308, 1), QColor(246, 250, 255));
    p.fillRect(QRect(418, 49, 203, 1), QColor(160, 188, 228));
    p.fillRect(QRect(418, 50, 203, 1), QColor(246, 250, 255));

    // Product title, embossed.
    const QRect titleBox(14, 8, 310, 36);
    p.setFont(font(25, true));
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(titleBox.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Varim Hard Disk Repair"));
    p.setPen(kTitle);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Varim Hard Disk Repair"));

    // The opened disk, right of the title and above the range fields.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 176, 214, 120));
    p.drawRoundedRect(QRectF(333, 8, 82, 114), 7, 7);
    drawOpenDisk(p, QRectF(330, 5, 82, 114), true);

    // Labels over the start, end and capacity fields (fields at x 327, y 145, 190, 240).
    fieldLabel(p, 328, 145, QStringLiteral("Start sector"));
    fieldLabel(p, 328, 190, QStringLiteral("End sector"));
    fieldLabel(p, 328, 240, QStringLiteral("Capacity (MB)"));

    // Indicator panels; the texts are painted over them at run time.
    panel(p, QRect(262, 297, 144, 75));
    panel(p, QRect(412, 297, 118, 75));
    panel(p, QRect(535, 297, 92, 75));
    drawThermometer(p, QRectF(372, 304, 26, 62));
    drawCheckedDisk(p, QRectF(472, 312, 52, 54));
    drawClock(p, QRectF(601, 330, 24, 24));
    p.end();
    return image;
}

}  // namespace artwork
