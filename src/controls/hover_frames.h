#pragma once
// The hover button's pure parts: which frame of its three-frame strip to show, cutting that frame
// out of the strip, and the hover tracking state machine.
#include "pixel_image.h"

namespace controls {

enum class ButtonFrame { Normal = 0, Pressed = 1, Hover = 2 };

// A held-down button shows the pressed frame even while hovering; disabled and focus play no part.
ButtonFrame chooseFrame(bool pressed, bool hovering);

// One frame is a third of the strip's width, rounded down; leftover columns are never shown.
int frameWidthOf(int stripWidth);

// Copies frame `frame` (frameWidthOf(strip.width) x strip.height) out of the strip.
PixelImage cutFrame(const PixelImage& strip, ButtonFrame frame);

// What the button asks of its surroundings after a pointer event.
struct HoverAction {
    bool requestTracking = false;  // ask for a hover notification (after 1 ms) and a leave notification
    bool waitAndRepaint = false;   // wait 40 ms, then repaint the whole button
};

// Idle -> (move) -> Tracking -> (hover) -> Hovering; a leave from Tracking or Hovering returns to Idle.
class HoverTracker {
public:
    // The pointer moved over the button. While tracked, nothing new is requested.
    HoverAction pointerMoved();
    // Records whether the window system accepted the request; a refused one is asked again on the next move.
    void trackingRequested(bool accepted);
    // The pointer has rested on the button.
    HoverAction hoverNotified();
    // The pointer left the button.
    HoverAction leaveNotified();

    bool tracked() const { return m_mouseTracked; }
    bool hovering() const { return m_hovering; }

private:
    bool m_mouseTracked = false;
    bool m_hovering = false;
};

}  // namespace controls
