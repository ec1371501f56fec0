#include "indicator_painter.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QString>
#include <algorithm>
#include <cmath>

#include "qt_text.h"

namespace qtui {

namespace {

constexpr int kFontPixelHeight = 12;
constexpr int kLabelCharWidth = 6;
constexpr int kValueCharWidth = 9;
// The Windows weights 100 and 150 on the same 1..1000 scale Qt uses.
constexpr int kLabelWeight = 100;
constexpr int kValueWeight = 150;

QFont baseFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kFontPixelHeight);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// Width scale that gives the font this average character width, measured over the alphabet
// (the average character width the font reports is not what text output shows).
int stretchFor(int averageWidth) {
    const QFontMetricsF metrics(baseFont());
    const double measured =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    if (measured <= 0) return 100;
    const long stretch = std::lround(100.0 * averageWidth / measured);
    return static_cast<int>(std::clamp<long>(stretch, 1, 4000));
}

}  // namespace

QColor FromColourRef(std::uint32_t ref) {
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                  static_cast<int>((ref >> 16) & 0xFF));
}

IndicatorPainter::IndicatorPainter()
    : labelStretch_(stretchFor(kLabelCharWidth)), valueStretch_(stretchFor(kValueCharWidth)) {}

QFont IndicatorPainter::fontFor(bool valueFont) const {
    QFont font = baseFont();
    font.setStretch(valueFont ? valueStretch_ : labelStretch_);
    font.setWeight(static_cast<QFont::Weight>(valueFont ? kValueWeight : kLabelWeight));
    return font;
}

QFont IndicatorPainter::labelFont() const { return fontFor(false); }
QFont IndicatorPainter::valueFont() const { return fontFor(true); }

QRect IndicatorPainter::textRect(const app::IndicatorText& text) const {
    const QFontMetrics metrics(fontFor(text.valueFont));
    return QRect(text.x, text.y, metrics.horizontalAdvance(FromCp1252(text.text)), metrics.height());
}

void IndicatorPainter::paint(QPainter& painter, const app::IndicatorPaint& paint) const {
    app::IndicatorText texts[app::kMaxIndicatorTexts];
    const int count = app::IndicatorTexts(paint, texts, app::kMaxIndicatorTexts);
    const QFont label = labelFont();
    const QFont value = valueFont();
    painter.save();
    for (int i = 0; i < count; ++i) {
        const app::IndicatorText& text = texts[i];
        const QFont& font = text.valueFont ? value : label;
        const QFontMetrics metrics(font);
        const QString shown = FromCp1252(text.text);
        // Opaque text output: the cell behind the text takes the background colour first.
        painter.fillRect(QRect(text.x, text.y, metrics.horizontalAdvance(shown), metrics.height()),
                         FromColourRef(text.background));
        painter.setFont(font);
        painter.setPen(FromColourRef(text.colour));
        painter.drawText(QPoint(text.x, text.y + metrics.ascent()), shown);
    }
    painter.restore();
}

}  // namespace qtui
