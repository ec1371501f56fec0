#include "app/dialog_template.h"

#include "app/control_ids.h"

namespace app {

namespace {
constexpr std::uint32_t kHiddenDisabled = kStyleHidden | kStyleDisabled;
}  // namespace

const std::array<ControlTemplate, 19> kMainDialogTemplate = {{
    {ids::kExit, ControlClass::HoverButton, "Exit", {373, 232, 19, 14}, kStyleOwnerDraw | kStyleTabStop, true},
    {ids::kChangeBackground, ControlClass::PushButton, "Change Background", {7, 7, 6, 8}, kHiddenDisabled, false},
    {ids::kSlider1, ControlClass::Slider, "Slider1", {7, 7, 6, 6},
     kHiddenDisabled | kStyleAutoTicks | kStyleTicksTop, false},
    {ids::kSlider2, ControlClass::Slider, "Slider2", {7, 7, 6, 6},
     kHiddenDisabled | kStyleVertical | kStyleTicksBoth | kStyleNoTicks, false},
    {ids::kUnusedEdit1, ControlClass::Edit, "", {7, 198, 6, 12}, kHiddenDisabled | kStyleBorder | kStyleAutoHScroll,
     false},
    {ids::kTestSpeed, ControlClass::HoverButton, "Test Speed", {7, 202, 15, 6}, kStyleOwnerDraw | kHiddenDisabled,
     false},
    {ids::kScan, ControlClass::HoverButton, "Scan", {36, 215, 65, 18}, kStyleOwnerDraw | kStyleTabStop, true},
    {ids::kUnusedEdit2, ControlClass::Edit, "", {16, 198, 6, 12}, kHiddenDisabled | kStyleBorder | kStyleAutoHScroll,
     false},
    {ids::kInfoList, ControlClass::ListBox, "", {7, 134, 203, 47},
     kStyleVScroll | kStyleBorder | kStyleTabStop | kStyleNotify, true},
    {ids::kStartField, ControlClass::Edit, "", {218, 89, 50, 14}, kStyleBorder | kStyleTabStop | kStyleAutoHScroll,
     true},
    {ids::kEndField, ControlClass::Edit, "", {218, 117, 50, 14}, kStyleBorder | kStyleTabStop, true},
    {ids::kCapacityField, ControlClass::Edit, "", {218, 148, 50, 14},
     kStyleBorder | kStyleTabStop | kStyleReadOnly | kStyleAutoHScroll, true},
    // Created visible; the start-up hides it until a scan runs.
    {ids::kProgress, ControlClass::ProgressBar, "Progress1", {7, 239, 342, 10}, kStyleBorder, false},
    {ids::kDriveList, ControlClass::ListBox, "", {279, 34, 129, 142},
     kStyleVScroll | kStyleBorder | kStyleTabStop | kStyleNotify | kStyleSorted, true},
    {ids::kAttributeView, ControlClass::ListView, "List4", {7, 34, 202, 100},
     kStyleBorder | kStyleTabStop | kStyleReportView | kStyleSingleSelection, true},
    {ids::kButton3, ControlClass::PushButton, "Button3", {7, 7, 6, 6}, kHiddenDisabled, false},
    // Created visible; the button set-up hides it until a scan runs.
    {ids::kStop, ControlClass::HoverButton, "Button4", {36, 210, 50, 14}, kStyleOwnerDraw | kStyleTabStop, false},
    {ids::kOpenSession, ControlClass::HoverButton, "Open session", {36, 185, 50, 14},
     kStyleOwnerDraw | kStyleTabStop, true},
    {ids::kButton6, ControlClass::PushButton, "Button6", {251, 189, 50, 14}, kHiddenDisabled, false},
}};

const std::array<HoverButtonSetup, 5> kHoverButtons = {{
    {ids::kScan, ids::kStripScan,
     "Scan and repair all hard disk surface. You will be asked to choose a all-surface-repair or standard scan "
     "and repair.",
     149, 37},
    {ids::kTestSpeed, ids::kStripTestSpeed, "Performs hdd speed testing", 150, 39},
    {ids::kExit, ids::kStripExit, "Exit", 54, 33},
    {ids::kStop, ids::kStripStop, "Stop", 163, 43},
    {ids::kOpenSession, ids::kStripOpenSession,
     "Open a session previously saved. The scanning process will start from previously state.", 151, 39},
}};

const ControlTemplate* FindControlTemplate(int id) {
    for (const ControlTemplate& control : kMainDialogTemplate)
        if (control.id == id) return &control;
    return nullptr;
}

}  // namespace app
