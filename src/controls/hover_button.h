#pragma once
// CHoverButton: a push button whose whole face is one frame of a three-frame strip (normal, pressed,
// hover). It draws no caption, focus mark or disabled look of its own, and carries one tooltip.
#include <QImage>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QTimer>
#include <functional>

#include "hover_frames.h"

class CHoverButton : public QPushButton {
    Q_OBJECT
public:
    // Blocks the window's thread for the given milliseconds (the short pauses after hover, leave, press).
    using Wait = std::function<void(int milliseconds)>;

    explicit CHoverButton(QWidget* parent = nullptr);

    // Takes the strip, sizes the button to one frame keeping its top-left corner. Always answers true;
    // a strip that cannot be used leaves the button drawn as a plain push button.
    bool SetFrameBitmap(const QImage& strip);
    bool SetFrameBitmap(const QString& path);

    // Windows-1252 text. Null does nothing at all. The first call adds the one tool over the button's
    // current rectangle; later calls only change its text. `activate` switches the tooltip on or off.
    void SetTipText(const char* text, bool activate);

    // Replaces the pauses (tests pass a recorder so they run fast).
    void setWait(Wait wait) { m_wait = std::move(wait); }

    int frameWidth() const { return m_frameWidth; }
    int frameHeight() const { return m_frameHeight; }
    bool hovering() const { return m_tracker.hovering(); }
    bool mouseTracked() const { return m_tracker.tracked(); }
    // The frame the next paint shows.
    controls::ButtonFrame currentFrame() const;

    bool tipCreated() const { return m_tipCreated; }
    int toolCount() const { return m_toolCount; }
    QString tipText() const { return m_tipText; }
    bool tipActive() const { return m_tipActive; }
    QRect toolRect() const { return m_toolRect; }

protected:
    bool event(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void pointerMoved();
    void hoverNotified();
    void ensureTip();

    controls::HoverTracker m_tracker;
    controls::PixelImage m_strip;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    QTimer m_hoverTimer;  // the hover notification, 1 ms after tracking was requested
    Wait m_wait;

    bool m_tipCreated = false;
    int m_toolCount = 0;
    QString m_tipText;
    bool m_tipActive = false;
    QRect m_toolRect;
};
