#pragma once
// Template ids of the main window's controls that the scan commands drive. They mirror the
// dialog template; the scan cannot include the dialog's own table because it sits below it.
namespace scan::controls {

inline constexpr int kScan = 1009;
inline constexpr int kInfoList = 1011;
inline constexpr int kStartField = 1012;
inline constexpr int kEndField = 1013;
inline constexpr int kProgress = 1015;
inline constexpr int kDriveList = 1016;
inline constexpr int kStop = 1023;
inline constexpr int kOpenSession = 1024;

}  // namespace scan::controls
