#include "hover_button.h"

#include <QEnterEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QThread>
#include <QToolTip>

#include "image_bridge.h"

namespace {

constexpr int kHoverTimeMs = 1;
constexpr int kHoverPauseMs = 40;
constexpr int kPressPauseMs = 80;

// Windows-1252 bytes to text; 0x80..0x9F hold the code page's own characters.
QString fromWindows1252(const char* text) {
    static constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        out.append(byte >= 0x80 && byte < 0xA0 ? QChar(kHigh[byte - 0x80]) : QChar(byte));
    }
    return out;
}

}  // namespace

CHoverButton::CHoverButton(QWidget* parent) : QPushButton(parent), m_wait([](int ms) { QThread::msleep(ms); }) {
    setMouseTracking(true);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(kHoverTimeMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CHoverButton::hoverNotified);
}

bool CHoverButton::SetFrameBitmap(const QImage& strip) {
    m_strip = strip.isNull() ? controls::PixelImage() : controls::fromQImage(strip);
    m_frameWidth = controls::frameWidthOf(m_strip.width);
    m_frameHeight = m_strip.height;
    if (m_frameWidth > 0 && m_frameHeight > 0) resize(m_frameWidth, m_frameHeight);
    update();
    return true;
}

bool CHoverButton::SetFrameBitmap(const QString& path) { return SetFrameBitmap(QImage(path)); }

void CHoverButton::SetTipText(const char* text, bool activate) {
    if (text == nullptr) return;
    ensureTip();
    if (m_toolCount == 0) {
        m_toolCount = 1;
        m_toolRect = rect();
    }
    m_tipText = fromWindows1252(text);
    m_tipActive = activate;
    if (!activate) QToolTip::hideText();
}

void CHoverButton::ensureTip() {
    if (m_tipCreated) return;
    m_tipCreated = true;
    m_tipActive = false;
}

controls::ButtonFrame CHoverButton::currentFrame() const { return controls::chooseFrame(isDown(), hovering()); }

bool CHoverButton::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        ensureTip();
        const auto* help = static_cast<QHelpEvent*>(event);
        if (m_tipActive && m_toolCount > 0 && m_toolRect.contains(help->pos()))
            QToolTip::showText(help->globalPos(), m_tipText, this, m_toolRect);
        else
            QToolTip::hideText();
        return true;
    }
    return QPushButton::event(event);
}

void CHoverButton::enterEvent(QEnterEvent* event) {
    pointerMoved();
    QPushButton::enterEvent(event);
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event) {
    pointerMoved();
    QPushButton::mouseMoveEvent(event);
}

void CHoverButton::pointerMoved() {
    if (!m_tracker.pointerMoved().requestTracking) return;
    m_hoverTimer.start();
    m_tracker.trackingRequested(true);
}

void CHoverButton::hoverNotified() {
    if (!m_tracker.tracked()) return;
    if (!m_tracker.hoverNotified().waitAndRepaint) return;
    m_wait(kHoverPauseMs);
    update();
}

void CHoverButton::leaveEvent(QEvent* event) {
    // The leave notification only comes while tracking was requested.
    if (m_tracker.tracked()) {
        m_hoverTimer.stop();
        if (m_tracker.leaveNotified().waitAndRepaint) {
            m_wait(kHoverPauseMs);
            update();
        }
    }
    QPushButton::leaveEvent(event);
}

void CHoverButton::paintEvent(QPaintEvent* event) {
    if (m_frameWidth <= 0 || m_frameHeight <= 0) {
        QPushButton::paintEvent(event);
        return;
    }
    const bool pressed = isDown();
    if (pressed) m_wait(kPressPauseMs);
    const controls::PixelImage frame = controls::cutFrame(m_strip, controls::chooseFrame(pressed, hovering()));
    QPainter painter(this);
    painter.drawImage(0, 0, controls::asQImage(frame));
}
