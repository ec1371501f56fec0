// Three-frame button strips: normal, pressed and hover, each showing the command's word.
#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

#include "artwork.h"
#include "palette.h"

namespace artwork {

namespace {

struct Look {
    QColor top;
    QColor bottom;
    QColor border;
    bool gloss;
    int textShift;
};

Look lookOf(StripTone tone, int frame) {
    if (tone == StripTone::Red) {
        switch (frame) {
        case 1: return {QColor(150, 30, 24), QColor(206, 76, 62), QColor(96, 16, 12), false, 1};
        case 2: return {QColor(252, 150, 132), QColor(212, 60, 46), QColor(236, 160, 40), true, 0};
        default: return {QColor(236, 112, 98), QColor(176, 36, 30), QColor(110, 20, 16), true, 0};
        }
    }
    switch (frame) {
    case 1: return {QColor(34, 76, 154), QColor(78, 128, 206), QColor(18, 42, 96), false, 1};
    case 2: return {QColor(140, 192, 252), QColor(56, 116, 210), QColor(236, 160, 40), true, 0};
    default: return {QColor(106, 158, 230), QColor(40, 88, 174), QColor(24, 54, 116), true, 0};
    }
}

void drawFace(QPainter& p, const QRectF& r, const QString& word, const Look& look) {
    const qreal radius = qMin(8.0, r.height() / 4);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, look.top);
    fill.setColorAt(1, look.bottom);
    p.setPen(QPen(look.border, look.border.red() > 200 ? 2 : 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    if (look.gloss) {
        QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
        gloss.setColorAt(0, QColor(255, 255, 255, 120));
        gloss.setColorAt(1, QColor(255, 255, 255, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(gloss);
        p.drawRoundedRect(r.adjusted(2, 2, -2, -r.height() / 2), radius - 1, radius - 1);
    }

    QFont f(QStringLiteral("Liberation Sans"));
    f.setBold(true);
    int pixels = qRound(r.height() * 0.43);
    f.setPixelSize(pixels);
    while (pixels > 9 && QFontMetrics(f).horizontalAdvance(word) > r.width() - 12) f.setPixelSize(--pixels);
    p.setFont(f);
    const QRectF text = r.translated(look.textShift, look.textShift);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(text.translated(1, 1), Qt::AlignCenter, word);
    p.setPen(Qt::white);
    p.drawText(text, Qt::AlignCenter, word);
}

}  // namespace

QImage drawStrip(const QString& word, int width, int height, StripTone tone) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const int frameWidth = width / 3;
    for (int frame = 0; frame < 3; ++frame) {
        const QRectF face(frame * frameWidth + 1.5, 1.5, frameWidth - 3, height - 3);
        drawFace(p, face, word, lookOf(tone, frame));
    }
    p.end();
    return image;
}

}  // namespace artwork
