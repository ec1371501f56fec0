#pragma once
// Dialog units to client pixels. The window is laid out with fixed base units of 6 x 13 pixels
// (the template font's average character width and height), so one horizontal dialog unit is a
// quarter of 6 pixels and one vertical unit an eighth of 13, truncated, on every machine.
#include <QRect>

#include "app/dialog_template.h"

namespace qtui {

inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

constexpr int DuToPixelsX(int du) { return du * kBaseUnitX / 4; }
constexpr int DuToPixelsY(int du) { return du * kBaseUnitY / 8; }

// Position and size are converted separately, each truncated.
inline QRect DuToPixels(const app::DialogRect& r) {
    return QRect(DuToPixelsX(r.x), DuToPixelsY(r.y), DuToPixelsX(r.width), DuToPixelsY(r.height));
}

}  // namespace qtui
