#include "hover_frames.h"

#include <algorithm>

namespace controls {

ButtonFrame chooseFrame(bool pressed, bool hovering) {
    if (pressed) return ButtonFrame::Pressed;
    return hovering ? ButtonFrame::Hover : ButtonFrame::Normal;
}

int frameWidthOf(int stripWidth) { return std::max(stripWidth, 0) / 3; }

PixelImage cutFrame(const PixelImage& strip, ButtonFrame frame) {
    const int width = frameWidthOf(strip.width);
    PixelImage out(width, strip.height, rgb(0, 0, 0));
    const int sourceX = static_cast<int>(frame) * width;
    for (int y = 0; y < strip.height; ++y)
        std::copy_n(strip.pixels.begin() + static_cast<std::ptrdiff_t>(y) * strip.width + sourceX, width,
                    out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    return out;
}

HoverAction HoverTracker::pointerMoved() {
    HoverAction action;
    action.requestTracking = !m_mouseTracked;
    return action;
}

void HoverTracker::trackingRequested(bool accepted) { m_mouseTracked = accepted; }

HoverAction HoverTracker::hoverNotified() {
    m_hovering = true;
    return HoverAction{false, true};
}

HoverAction HoverTracker::leaveNotified() {
    m_mouseTracked = false;
    m_hovering = false;
    return HoverAction{false, true};
}

}  // namespace controls
