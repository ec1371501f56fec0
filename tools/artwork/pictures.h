#pragma once
// Small drawings shared by the background and the icon. Each fits the given rectangle.
#include <QPainter>
#include <QRectF>

namespace artwork {

// An opened hard disk seen from above: case, platter, spindle and head arm.
void drawOpenDisk(QPainter& p, const QRectF& box, bool detailed);
// A thermometer standing upright.
void drawThermometer(QPainter& p, const QRectF& box);
// A small closed disk with a green check mark badge.
void drawCheckedDisk(QPainter& p, const QRectF& box);
// A round wall clock showing ten past ten.
void drawClock(QPainter& p, const QRectF& box);
// A spanner lying from bottom-left to top-right.
void drawWrench(QPainter& p, const QRectF& box);

}  // namespace artwork
