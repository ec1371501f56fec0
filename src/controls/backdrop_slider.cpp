#include "backdrop_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include "image_bridge.h"
#include "slider_painter.h"

namespace {

constexpr int kChannelThickness = 4;

QImage renderParentBackground(QWidget* self, const QRect& inParent) {
    QImage image(inParent.size(), QImage::Format_RGB32);
    QWidget* parent = self->parentWidget();
    if (parent == nullptr) {
        image.fill(self->palette().color(QPalette::Window));
        return image;
    }
    image.fill(parent->palette().color(QPalette::Window));
    parent->render(&image, QPoint(), QRegion(inParent), QWidget::DrawWindowBackground);
    return image;
}

}  // namespace

CBackdropSlider::CBackdropSlider(QWidget* parent) : CBackdropSlider(Qt::Horizontal, parent) {}

CBackdropSlider::CBackdropSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
    // The control paints every pixel itself; nothing is erased underneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    m_backgroundSource = [this](const QRect& inParent) { return renderParentBackground(this, inParent); };
}

void CBackdropSlider::SetThumbColours(std::uint32_t normal, std::uint32_t active) {
    m_thumbColour = normal;
    m_thumbActiveColour = active;
    update();
}

controls::Rect CBackdropSlider::channelRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // A thin channel along the path of the thumb's centre.
    if (orientation() == Qt::Horizontal) {
        const int top = handle.center().y() - kChannelThickness / 2;
        return controls::Rect{groove.left() + handle.width() / 2, top, groove.right() + 1 - handle.width() / 2,
                              top + kChannelThickness};
    }
    const int left = handle.center().x() - kChannelThickness / 2;
    return controls::Rect{left, groove.top() + handle.height() / 2, left + kChannelThickness,
                          groove.bottom() + 1 - handle.height() / 2};
}

void CBackdropSlider::takeBackground() {
    // Taken once and never refreshed: later moves or background changes do not reach the copy.
    const QImage under = m_backgroundSource(geometry());
    controls::PixelImage copy(width(), height(), controls::rgb(0, 0, 0));
    const controls::PixelImage taken = controls::fromQImage(under);
    for (int y = 0; y < copy.height; ++y)
        for (int x = 0; x < copy.width; ++x)
            if (taken.contains(x, y)) copy.set(x, y, taken.at(x, y));
    m_background = std::move(copy);
}

controls::PixelImage CBackdropSlider::render() {
    const QPalette& p = palette();
    // What the standard control lays down before its channel: its own background.
    controls::PixelImage image(width(), height(), controls::fromQColor(p.color(QPalette::Window)));

    if (!m_background) takeBackground();
    controls::seeThrough(image, *m_background);
    const controls::EdgeColours edge{controls::fromQColor(p.color(QPalette::Dark)),
                                     controls::fromQColor(p.color(QPalette::Light)),
                                     controls::fromQColor(p.color(QPalette::Shadow)),
                                     controls::fromQColor(p.color(QPalette::Midlight))};
    controls::drawSunkenEdge(image, controls::grooveRect(channelRect()), edge);

    QStyleOptionSlider option;
    initStyleOption(&option);
    if (tickPosition() != QSlider::NoTicks) {
        // Tick marks are drawn the standard way.
        QImage withTicks = controls::asQImage(image).copy();
        {
            QPainter painter(&withTicks);
            option.subControls = QStyle::SC_SliderTickmarks;
            style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
        }
        image = controls::fromQImage(withTicks);
    }

    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const controls::Pixel fill = controls::thumbFill(isSliderDown(), m_thumbColour, m_thumbActiveColour,
                                                     controls::fromQColor(p.color(QPalette::Button)),
                                                     controls::fromQColor(p.color(QPalette::Light)));
    controls::drawEllipse(image, controls::Rect{handle.left(), handle.top(), handle.right() + 1, handle.bottom() + 1},
                          controls::rgb(0, 0, 0), fill);
    return image;
}

void CBackdropSlider::paintEvent(QPaintEvent*) {
    const controls::PixelImage picture = render();
    QPainter painter(this);
    painter.drawImage(0, 0, controls::asQImage(picture));
}
