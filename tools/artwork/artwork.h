#pragma once
// The three kinds of artwork the window uses, each drawn from scratch.
#include <QImage>
#include <QString>

namespace artwork {

// The window's 631 x 415 background picture.
QImage drawBackground();

// A strip of three frames (normal, pressed, hover) showing `word`; `width` is the whole strip's.
enum class StripTone { Blue, Red };
QImage drawStrip(const QString& word, int width, int height, StripTone tone);

// The application icon at size x size pixels, with transparency.
QImage drawIcon(int size);

}  // namespace artwork
