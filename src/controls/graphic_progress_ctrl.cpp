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

void CGraphicProgressCtrl::setBordered(bool bordered) {
    m_bordered = bordered;
    update();
}

controls::PixelImage CGraphicProgressCtrl::render() const {
    // The face colour is read anew at each paint; the bar's palette stays as constructed.
    const controls::Pixel face = controls::fromQColor(palette().color(QPalette::Button));
    if (!m_bordered) return controls::renderProgress(width(), height(), m_state, m_palette, face);

    const controls::PixelImage client =
        controls::renderProgress(std::max(width() - 2, 0), std::max(height() - 2, 0), m_state, m_palette, face);
    controls::PixelImage whole(width(), height(), controls::fromQColor(palette().color(QPalette::WindowText)));
    for (int y = 0; y < client.height; ++y)
        for (int x = 0; x < client.width; ++x) whole.set(x + 1, y + 1, client.at(x, y));
    return whole;
}

void CGraphicProgressCtrl::paintEvent(QPaintEvent*) {
    const controls::PixelImage picture = render();
    QPainter painter(this);
    painter.drawImage(0, 0, controls::asQImage(picture));
    ++m_screenCopies;
}
