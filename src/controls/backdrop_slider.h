#pragma once
// CBackdropSlider: a slider that shows a copy of its parent's background through its own area,
// draws its channel as a sunken groove and its thumb as an ellipse in the owner's colours.
#include <QImage>
#include <QSlider>
#include <cstdint>
#include <functional>
#include <optional>

#include "pixel_image.h"

class CBackdropSlider : public QSlider {
    Q_OBJECT
public:
    // Answers what the parent shows under the given rectangle (parent coordinates).
    using BackgroundSource = std::function<QImage(const QRect& inParent)>;

    explicit CBackdropSlider(QWidget* parent = nullptr);
    explicit CBackdropSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Colour references (0x00BBGGRR); 0 stands for the system face colour (released) or the
    // button-highlight colour (pressed). Takes effect at the next paint.
    void SetThumbColours(std::uint32_t normal, std::uint32_t active);
    std::uint32_t thumbColour() const { return m_thumbColour; }
    std::uint32_t thumbActiveColour() const { return m_thumbActiveColour; }

    // Replaces the way the parent's background is taken (by default the parent renders its own
    // background, without its children).
    void setBackgroundSource(BackgroundSource source) { m_backgroundSource = std::move(source); }

    // The copy of the parent's background taken at the first paint, kept for the control's life.
    bool backgroundCached() const { return m_background.has_value(); }
    const controls::PixelImage* cachedBackground() const { return m_background ? &*m_background : nullptr; }

    // The channel the groove is drawn around (client coordinates).
    controls::Rect channelRect() const;
    // The whole control as the next paint shows it; takes the background copy if not yet taken.
    controls::PixelImage render();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void takeBackground();

    std::uint32_t m_thumbColour = 0;
    std::uint32_t m_thumbActiveColour = 0;
    std::optional<controls::PixelImage> m_background;
    BackgroundSource m_backgroundSource;
};
