#pragma once
// The main window's template as data: its size, font and its nineteen controls in creation
// (and tab) order with text, rectangle in dialog units, styles and start visibility. The Qt
// window builds itself from this table.
#include <array>
#include <cstdint>
#include <string_view>

namespace app {

enum class ControlClass { HoverButton, PushButton, Slider, Edit, ListBox, ListView, ProgressBar };

// Style bits that matter to the window (our own flags, not Windows values).
enum ControlStyle : std::uint32_t {
    kStyleTabStop = 1u << 0,
    kStyleHidden = 1u << 1,     // created without the visible style
    kStyleDisabled = 1u << 2,
    kStyleBorder = 1u << 3,
    kStyleReadOnly = 1u << 4,
    kStyleAutoHScroll = 1u << 5,
    kStyleVScroll = 1u << 6,
    kStyleSorted = 1u << 7,     // list box keeps its entries in ListTextLess order
    kStyleNotify = 1u << 8,
    kStyleVertical = 1u << 9,   // slider
    kStyleAutoTicks = 1u << 10, // slider
    kStyleTicksTop = 1u << 11,  // slider
    kStyleTicksBoth = 1u << 12, // slider
    kStyleNoTicks = 1u << 13,   // slider
    kStyleOwnerDraw = 1u << 14,
    kStyleReportView = 1u << 15,
    kStyleSingleSelection = 1u << 16,
};

struct DialogRect {
    int x, y, width, height;  // dialog units
};

struct ControlTemplate {
    int id;
    ControlClass kind;
    std::string_view text;  // Windows-1252
    DialogRect rect;
    std::uint32_t styles;
    bool shownAtStart;  // after start-up (the Stop button is hidden by the button set-up)
};

inline constexpr int kDialogWidthDu = 415;
inline constexpr int kDialogHeightDu = 254;
inline constexpr int kClientWidthPx = 631;
inline constexpr int kClientHeightPx = 415;

// The nineteen controls in template order (defined in dialog_template.cpp).
extern const std::array<ControlTemplate, 19> kMainDialogTemplate;

// The template entry of a control id, or nullptr.
const ControlTemplate* FindControlTemplate(int id);

// A skinned button: its strip of three frames, its tooltip and its size in pixels once sized
// to one frame (the top-left corner stays where the template puts it).
struct HoverButtonSetup {
    int id;
    int stripResource;
    std::string_view tooltip;  // Windows-1252
    int widthPx, heightPx;
};

// The five skinned buttons in the order the window sets them up.
extern const std::array<HoverButtonSetup, 5> kHoverButtons;

}  // namespace app
