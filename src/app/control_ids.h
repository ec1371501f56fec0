#pragma once
// Control ids of the main window's template, shared by the dialog logic, the window and the
// console tool. The ids the scan commands drive are defined once, below the dialog, in scan/.
#include "scan/scan_controls.h"

namespace app::ids {

inline constexpr int kExit = 1;
inline constexpr int kCancel = 2;
inline constexpr int kSlider1 = 1000;
inline constexpr int kSlider2 = 1001;
inline constexpr int kChangeBackground = 1002;
inline constexpr int kUnusedEdit1 = 1007;
inline constexpr int kTestSpeed = 1008;
inline constexpr int kScan = scan::controls::kScan;
inline constexpr int kUnusedEdit2 = 1010;
inline constexpr int kInfoList = scan::controls::kInfoList;
inline constexpr int kStartField = scan::controls::kStartField;
inline constexpr int kEndField = scan::controls::kEndField;
inline constexpr int kCapacityField = 1014;
inline constexpr int kProgress = scan::controls::kProgress;
inline constexpr int kDriveList = scan::controls::kDriveList;
inline constexpr int kAttributeView = 1021;
inline constexpr int kButton3 = 1022;
inline constexpr int kStop = scan::controls::kStop;
inline constexpr int kOpenSession = scan::controls::kOpenSession;
inline constexpr int kButton6 = 1025;

// Resources.
inline constexpr int kAppIcon = 128;
inline constexpr int kStripScan = 152;
inline constexpr int kStripTestSpeed = 153;
inline constexpr int kStripExit = 155;
inline constexpr int kStripStop = 156;
inline constexpr int kStripOpenSession = 157;
inline constexpr int kBackground = 158;

}  // namespace app::ids
