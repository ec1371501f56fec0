#pragma once
// The temperature, status and power-on-hours panels: their evaluation as a pure function of the
// selected drive's record and the previous state, and what a paint draws.
#include <cstdint>
#include <string>

#include "disk/drive_table.h"

namespace app {

struct IndicatorState {
    std::string celsiusText;     // "40 \xB0 C"
    std::string fahrenheitText;  // "(104 \xB0 F)"
    std::string statusText;      // "OK" or "Bad"
    std::string hoursText;       // "%d" of attribute 9's raw value; empty when the drive has no attribute 9
    std::int32_t temperatureAlarm = 0;
    std::int32_t backupAlarm = 0;
    int warningDrive = 0;
};

struct IndicatorPaint {
    IndicatorState state;     // the state after this evaluation
    bool drawValues = false;  // false: only the three labels are drawn this time
};

// One text the window draws over the background (client pixels, 0x00BBGGRR colours).
struct IndicatorText {
    int x, y;
    std::string text;  // Windows-1252
    bool valueFont;    // false: label font (12 x 6, weight 100), true: value font (12 x 9, weight 150)
    std::uint32_t colour;
    std::uint32_t background;
};

inline constexpr std::uint8_t kTemperatureId = 194;
inline constexpr std::uint8_t kPowerOnHoursId = 9;
inline constexpr int kHotAboveCelsius = 55;
inline constexpr std::uint32_t kLabelColour = 0xFF0064;
inline constexpr std::uint32_t kValueColour = 0x000000;
inline constexpr std::uint32_t kTextBackground = 0xF2D8C2;
inline constexpr int kMaxIndicatorTexts = 8;

// The status panel's rule for an ATA drive: true when a watched attribute's raw value (as the
// panels read it) is beyond its limit. Needs no temperature reading.
bool AttributesBeyondLimits(const disk::DriveTable& table, int driveNumber);

// Evaluates the panels for the selected drive through the table's attribute index. A drive
// number without a record (outside 0..31), no temperature attribute or a reading outside
// 0..400 returns the previous state unchanged with drawValues false. An NVMe drive is
// evaluated from its health log instead (NvmeHealthFailing decides the status and the backup
// alarm; temperature texts are empty when the log has no usable temperature), and keeps the
// previous state only when no health log was read.
IndicatorPaint EvaluateIndicators(const disk::DriveTable& table, int driveNumber, const IndicatorState& previous);

// The texts of one paint, in drawing order: the three labels, then (when drawValues) "hours",
// Celsius, Fahrenheit, status and hours. Writes at most capacity entries; returns how many.
int IndicatorTexts(const IndicatorPaint& paint, IndicatorText* out, int capacity);

}  // namespace app
