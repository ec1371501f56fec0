#include "graphic_progress_ctrl.h"

#include <QPainter>
#include <algorithm>

#include "image_bridge.h"

CGraphicProgressCtrl::CGraphicProgressCtrl(QWidget* parent) : QWidget(parent) {
    const QPalette& p = palette();
    m_palette = controls::makeProgressPalette(controls::fromQColor(p.color(QPalette::Highlight)),
                                              controls::fromQColor(p.color(QPalette::Shadow)),
                                              controls::fromQColor(p.color(QPalette::Dark)));
    // Every paint covers the whole client area, so nothing is erased first and nothing flickers.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void CGraphicProgressCtrl::setRange(int lower, int upper) {
    m_state.lower = lower;
    m_state.upper = upper;
    m_state.position = std::clamp(m_state.position, std::min(lower, upper), std::max(lower, upper));
    update();
}

void CGraphicProgressCtrl::setPosition(int position) {
    const int held = std::clamp(position, std::min(m_state.lower, m_state.upper), std::max(m_state.lower, m_state.upper));
    if (held == m_state.position) return;
    m_state.position = held;
    update();
}

void CGraphicProgressCtrl::setVertical(bool vertical) {
    m_state.vertical = vertical;
    update();
}

controls::PixelImage CGraphicProgressCtrl::render() const {
    // The face colour is read anew at each paint; the bar's palette stays as constructed.
    return controls::renderProgress(width(), height(), m_state, m_palette,
                                    controls::fromQColor(palette().color(QPalette::Button)));
}

void CGraphicProgressCtrl::paintEvent(QPaintEvent*) {
    const controls::PixelImage picture = render();
    QPainter painter(this);
    painter.drawImage(0, 0, controls::asQImage(picture));
    ++m_screenCopies;
}
