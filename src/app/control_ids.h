#pragma once
// Control ids of the main window's template, shared by the dialog logic, the scan commands,
// the window and the console tool.
namespace app::ids {

inline constexpr int kExit = 1;
inline constexpr int kCancel = 2;
inline constexpr int kSlider1 = 1000;
inline constexpr int kSlider2 = 1001;
inline constexpr int kChangeBackground = 1002;
inline constexpr int kUnusedEdit1 = 1007;
inline constexpr int kTestSpeed = 1008;
inline constexpr int kScan = 1009;
inline constexpr int kUnusedEdit2 = 1010;
inline constexpr int kInfoList = 1011;
inline constexpr int kStartField = 1012;
inline constexpr int kEndField = 1013;
inline constexpr int kCapacityField = 1014;
inline constexpr int kProgress = 1015;
inline constexpr int kDriveList = 1016;
inline constexpr int kAttributeView = 1021;
inline constexpr int kButton3 = 1022;
inline constexpr int kStop = 1023;
inline constexpr int kOpenSession = 1024;
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
