#include "pictures.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace artwork {

namespace {

void screw(QPainter& p, QPointF centre, qreal radius) {
    p.setPen(QPen(QColor(90, 96, 106), radius * 0.35));
    p.setBrush(QColor(196, 200, 208));
    p.drawEllipse(centre, radius, radius);
    p.drawLine(centre + QPointF(-radius * 0.6, 0), centre + QPointF(radius * 0.6, 0));
}

QPointF on(const QRectF& box, qreal fx, qreal fy) { return {box.left() + box.width() * fx, box.top() + box.height() * fy}; }

}  // namespace

void drawOpenDisk(QPainter& p, const QRectF& box, bool detailed) {
    p.save();
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal unit = qMin(w, h / 1.4);

    // Case: brushed aluminium.
    QLinearGradient caseShade(box.topLeft(), box.bottomRight());
    const int darker = w < 20 ? 40 : 0;
    caseShade.setColorAt(0, QColor(214 - darker, 218 - darker, 226 - darker));
    caseShade.setColorAt(0.5, QColor(178 - darker, 184 - darker, 194 - darker));
    caseShade.setColorAt(1, QColor(150 - darker, 156 - darker, 168 - darker));
    p.setPen(QPen(QColor(72, 78, 90), qMax(1.0, unit * 0.02)));
    p.setBrush(caseShade);
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), unit * 0.08, unit * 0.08);

    // Recess around the platter.
    const QPointF centre = on(box, 0.5, 0.38);
    const qreal platter = w * 0.42;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 126, 138));
    p.drawEllipse(centre, platter * 1.06, platter * 1.06);

    // Platter: a mirror with a conical sheen.
    QConicalGradient sheen(centre, 35);
    sheen.setColorAt(0.00, QColor(250, 252, 255));
    sheen.setColorAt(0.15, QColor(150, 160, 178));
    sheen.setColorAt(0.35, QColor(228, 232, 240));
    sheen.setColorAt(0.50, QColor(250, 252, 255));
    sheen.setColorAt(0.65, QColor(140, 150, 170));
    sheen.setColorAt(0.85, QColor(220, 226, 236));
    sheen.setColorAt(1.00, QColor(250, 252, 255));
    // At a few pixels the sheen turns to grey mush: a plain bright mirror reads better there.
    const bool tiny = w < 20;
    if (tiny)
        p.setBrush(QColor(246, 248, 252));
    else
        p.setBrush(sheen);
    p.setPen(QPen(QColor(tiny ? 60 : 96, tiny ? 66 : 104, tiny ? 80 : 118), qMax(1.0, unit * 0.012)));
    p.drawEllipse(centre, platter, platter);
    if (detailed) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 70), 1));
        for (qreal r = platter * 0.45; r < platter * 0.95; r += platter * 0.14) p.drawEllipse(centre, r, r);
    }

    // Spindle hub.
    QRadialGradient hub(centre, platter * 0.22, centre - QPointF(platter * 0.06, platter * 0.06));
    hub.setColorAt(0, QColor(245, 246, 250));
    hub.setColorAt(1, QColor(130, 136, 150));
    p.setBrush(hub);
    p.setPen(QPen(QColor(80, 86, 98), qMax(1.0, unit * 0.012)));
    p.drawEllipse(centre, platter * 0.22, platter * 0.22);
    p.setBrush(QColor(70, 76, 88));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, platter * 0.06, platter * 0.06);
    if (detailed)
        for (int i = 0; i < 6; ++i) {
            const qreal a = qDegreesToRadians(60.0 * i + 15);
            p.setBrush(QColor(96, 102, 116));
            p.drawEllipse(centre + QPointF(qCos(a), qSin(a)) * platter * 0.14, platter * 0.025, platter * 0.025);
        }

    // Actuator with its voice coil, bottom right, and the head arm reaching across the platter.
    const QPointF pivot = on(box, 0.78, 0.80);
    QPainterPath coil;
    coil.moveTo(pivot + QPointF(-unit * 0.05, unit * 0.02));
    coil.lineTo(pivot + QPointF(-unit * 0.20, unit * 0.20));
    coil.quadTo(pivot + QPointF(0, unit * 0.30), pivot + QPointF(unit * 0.16, unit * 0.17));
    coil.closeSubpath();
    p.setBrush(QColor(176, 116, 54));
    p.setPen(QPen(QColor(92, 60, 30), qMax(1.0, unit * 0.012)));
    p.drawPath(coil);

    const QPointF head = centre + QPointF(-platter * 0.18, platter * 0.62);
    const QPointF along = head - pivot;
    const qreal length = qSqrt(along.x() * along.x() + along.y() * along.y());
    const QPointF normal(-along.y() / length, along.x() / length);
    QPainterPath arm;
    arm.moveTo(pivot + normal * unit * 0.07);
    arm.lineTo(head + normal * unit * 0.018);
    arm.lineTo(head - normal * unit * 0.018);
    arm.lineTo(pivot - normal * unit * 0.07);
    arm.closeSubpath();
    QLinearGradient armShade(pivot + normal * unit * 0.07, pivot - normal * unit * 0.07);
    armShade.setColorAt(0, QColor(236, 238, 242));
    armShade.setColorAt(1, QColor(140, 146, 158));
    p.setBrush(armShade);
    p.setPen(QPen(QColor(70, 76, 88), qMax(1.0, unit * 0.012)));
    p.drawPath(arm);
    p.setBrush(QColor(60, 64, 72));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(head - QPointF(unit * 0.025, unit * 0.025), QSizeF(unit * 0.05, unit * 0.05)));
    p.setBrush(QColor(200, 204, 212));
    p.setPen(QPen(QColor(70, 76, 88), qMax(1.0, unit * 0.012)));
    p.drawEllipse(pivot, unit * 0.075, unit * 0.075);
    p.setBrush(QColor(90, 96, 108));
    p.drawEllipse(pivot, unit * 0.03, unit * 0.03);

    if (detailed) {
        const qreal r = unit * 0.035;
        const qreal m = unit * 0.07;
        screw(p, box.topLeft() + QPointF(m, m), r);
        screw(p, box.topRight() + QPointF(-m, m), r);
        screw(p, box.bottomLeft() + QPointF(m, -m), r);
        screw(p, box.bottomRight() + QPointF(-m, -m), r);
        screw(p, on(box, 0.5, 0.97) - QPointF(0, m * 0.4), r);
    }
    p.restore();
}

void drawThermometer(QPainter& p, const QRectF& box) {
    p.save();
    const qreal cx = box.center().x();
    const qreal bulb = box.width() * 0.34;
    const qreal tube = box.width() * 0.16;
    const QPointF bulbCentre(cx, box.bottom() - bulb - 1);

    // Glass.
    QPainterPath glass;
    glass.addRoundedRect(QRectF(cx - tube - 2, box.top() + 1, 2 * tube + 4, bulbCentre.y() - box.top()), tube + 2, tube + 2);
    glass.addEllipse(bulbCentre, bulb + 2, bulb + 2);
    p.setPen(QPen(QColor(70, 90, 130), 1.2));
    p.setBrush(QColor(246, 249, 255));
    p.drawPath(glass.simplified());

    // Mercury.
    QLinearGradient red(QPointF(cx - bulb, 0), QPointF(cx + bulb, 0));
    red.setColorAt(0, QColor(240, 90, 70));
    red.setColorAt(0.4, QColor(214, 30, 30));
    red.setColorAt(1, QColor(150, 16, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawEllipse(bulbCentre, bulb, bulb);
    const qreal level = box.top() + box.height() * 0.32;
    p.drawRoundedRect(QRectF(cx - tube * 0.55, level, tube * 1.1, bulbCentre.y() - level), tube * 0.5, tube * 0.5);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(bulbCentre + QPointF(-bulb * 0.35, -bulb * 0.35), bulb * 0.25, bulb * 0.25);

    // Scale.
    p.setPen(QPen(QColor(60, 80, 120), 1));
    const qreal scaleTop = box.top() + tube + 4;
    const qreal scaleBottom = bulbCentre.y() - bulb - 3;
    for (int i = 0; i <= 6; ++i) {
        const qreal y = qRound(scaleTop + (scaleBottom - scaleTop) * i / 6.0) + 0.5;
        const qreal len = i % 2 == 0 ? tube * 1.6 : tube;
        p.drawLine(QPointF(cx + tube + 3, y), QPointF(cx + tube + 3 + len, y));
    }
    p.restore();
}

void drawCheckedDisk(QPainter& p, const QRectF& box) {
    p.save();
    const QRectF body(box.left() + 1, box.top() + 1, box.width() * 0.72, box.height() * 0.86);
    QLinearGradient shade(body.topLeft(), body.bottomRight());
    shade.setColorAt(0, QColor(226, 230, 236));
    shade.setColorAt(1, QColor(150, 158, 172));
    p.setPen(QPen(QColor(70, 78, 92), 1.2));
    p.setBrush(shade);
    p.drawRoundedRect(body, 4, 4);
    const QPointF centre(body.center().x(), body.top() + body.height() * 0.42);
    const qreal r = body.width() * 0.36;
    QRadialGradient platter(centre, r, centre - QPointF(r * 0.4, r * 0.4));
    platter.setColorAt(0, QColor(252, 253, 255));
    platter.setColorAt(1, QColor(160, 170, 188));
    p.setBrush(platter);
    p.drawEllipse(centre, r, r);
    p.setBrush(QColor(110, 118, 132));
    p.drawEllipse(centre, r * 0.22, r * 0.22);
    p.setPen(QPen(QColor(70, 78, 92), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(body.bottomRight() - QPointF(body.width() * 0.16, body.height() * 0.14), centre + QPointF(r * 0.3, r * 0.55));

    // The badge.
    const qreal br = box.width() * 0.22;
    const QPointF badge(box.right() - br - 1, box.bottom() - br - 1);
    QRadialGradient green(badge, br, badge - QPointF(br * 0.4, br * 0.4));
    green.setColorAt(0, QColor(120, 214, 110));
    green.setColorAt(1, QColor(24, 140, 40));
    p.setPen(QPen(QColor(255, 255, 255), 1.5));
    p.setBrush(green);
    p.drawEllipse(badge, br, br);
    QPainterPath tick;
    tick.moveTo(badge + QPointF(-br * 0.5, 0));
    tick.lineTo(badge + QPointF(-br * 0.12, br * 0.4));
    tick.lineTo(badge + QPointF(br * 0.55, -br * 0.42));
    p.setPen(QPen(Qt::white, qMax(2.0, br * 0.26), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
    p.restore();
}

void drawClock(QPainter& p, const QRectF& box) {
    p.save();
    const QPointF c = box.center();
    const qreal r = qMin(box.width(), box.height()) / 2 - 1;
    QRadialGradient rim(c, r, c - QPointF(r * 0.3, r * 0.3));
    rim.setColorAt(0, QColor(120, 160, 220));
    rim.setColorAt(1, QColor(36, 70, 140));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(252, 252, 250));
    p.drawEllipse(c, r * 0.8, r * 0.8);
    p.setPen(QPen(QColor(40, 50, 70), qMax(1.0, r * 0.08)));
    for (int i = 0; i < 12; ++i) {
        const qreal a = qDegreesToRadians(30.0 * i);
        const QPointF d(qSin(a), -qCos(a));
        p.drawLine(c + d * r * (i % 3 == 0 ? 0.56 : 0.64), c + d * r * 0.72);
    }
    auto hand = [&](qreal degrees, qreal length, qreal width) {
        const qreal a = qDegreesToRadians(degrees);
        p.setPen(QPen(QColor(30, 36, 50), width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(qSin(a), -qCos(a)) * length);
    };
    hand(305, r * 0.42, qMax(1.5, r * 0.13));
    hand(60, r * 0.62, qMax(1.0, r * 0.09));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(c, r * 0.09, r * 0.09);
    p.restore();
}

void drawWrench(QPainter& p, const QRectF& box) {
    p.save();
    const qreal s = box.width();
    p.translate(box.center());
    p.rotate(-45);
    // Built lying along x, then turned so the jaw points to the top right.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(-s * 0.42, -s * 0.075, s * 0.62, s * 0.15), s * 0.07, s * 0.07);
    shape.addEllipse(QPointF(s * 0.3, 0), s * 0.19, s * 0.19);
    QPainterPath jaw;
    jaw.addRect(QRectF(s * 0.28, -s * 0.075, s * 0.3, s * 0.15));
    shape = shape.subtracted(jaw);
    shape.addEllipse(QPointF(-s * 0.42, 0), s * 0.12, s * 0.12);
    QPainterPath ring;
    ring.addEllipse(QPointF(-s * 0.42, 0), s * 0.055, s * 0.055);
    shape = shape.simplified().subtracted(ring);
    QLinearGradient steel(QPointF(0, -s * 0.2), QPointF(0, s * 0.2));
    steel.setColorAt(0, QColor(255, 196, 90));
    steel.setColorAt(0.5, QColor(236, 140, 30));
    steel.setColorAt(1, QColor(176, 90, 10));
    p.setPen(QPen(QColor(110, 56, 6), qMax(1.0, s * 0.025), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(steel);
    p.drawPath(shape);
    p.restore();
}

}  // namespace artwork
