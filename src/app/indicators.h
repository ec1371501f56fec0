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
    std::string hoursText;       // "%d" of attribute 9's raw value
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

// Evaluates the panels for the selected drive (drive == nullptr when the number has no record).
IndicatorPaint EvaluateIndicators(const disk::DriveTable& table, int driveNumber, const IndicatorState& previous);

// The texts of one paint, in drawing order: the three labels, then (when drawValues) "hours",
// Celsius, Fahrenheit, status and hours.
int IndicatorTexts(const IndicatorPaint& paint, IndicatorText* out, int capacity);

}  // namespace app
