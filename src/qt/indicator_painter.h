#pragma once
// Draws the temperature, status and hours panels' texts over the background: the two Arial
// fonts (12 pixels high, 6 and 9 pixels average character width), opaque text background,
// each text's top-left corner at its client position.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>

#include "app/indicators.h"

namespace qtui {

// 0x00BBGGRR as the window system writes colours.
QColor FromColourRef(std::uint32_t ref);

class IndicatorPainter {
public:
    // Measures, once, the stretch that gives Arial the two average character widths.
    IndicatorPainter();

    // Fresh fonts, as each paint creates them.
    QFont labelFont() const;
    QFont valueFont() const;

    // Draws the texts of one evaluation in their order.
    void paint(QPainter& painter, const app::IndicatorPaint& paint) const;
    // The rectangle a text covers (its opaque background), in client pixels.
    QRect textRect(const app::IndicatorText& text) const;

private:
    QFont fontFor(bool valueFont) const;

    int labelStretch_ = 100;
    int valueStretch_ = 100;
};

}  // namespace qtui
