#include "app/indicators.h"

#include <cinttypes>
#include <cstdio>
#include <optional>

namespace app {

namespace {

struct WatchedAttribute {
    std::uint8_t id;
    std::int32_t limit;  // a raw value strictly above it is bad
};

constexpr WatchedAttribute kWatched[] = {
    {1, 1000},   // Read Error Rate
    {5, 30},     // Reallocated Sectors Count
    {10, 30},    // Spin Retry Count
    {196, 700},  // Reallocation Event Count
    {197, 1000}, // Current Pending Sector Count
    {198, 20},   // Uncorrectable Sector Count
};

constexpr char kDegreeSign = '\xB0';  // Windows-1252

std::string Format(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string FormatDegrees(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value, kDegreeSign);
    return text;
}

void SetTemperature(IndicatorState& state, int celsius) {
    const int f = static_cast<int>(celsius * 1.8 + 32.0);
    state.celsiusText = FormatDegrees("%d %c C", celsius);
    state.fahrenheitText = FormatDegrees("(%d %c F)", f);
    if (celsius > kHotAboveCelsius) state.temperatureAlarm = 1;
}

// An NVMe drive is judged by its health log whenever one was read, with or without a
// temperature: a failing drive must raise the backup alarm even when its sensor is broken.
IndicatorPaint EvaluateNvme(const disk::PhysicalDrive& drive, int driveNumber, const IndicatorState& previous) {
    IndicatorPaint paint{previous, false};
    if (!drive.nvmeHealthRead) return paint;
    IndicatorState& state = paint.state;
    const std::optional<int> celsius = disk::NvmeCelsius(drive.nvme);
    if (celsius) {
        SetTemperature(state, *celsius);
    } else {
        state.celsiusText.clear();
        state.fahrenheitText.clear();
    }
    const bool failing = disk::NvmeHealthFailing(drive.nvme);
    state.backupAlarm = failing ? 1 : 0;
    state.statusText = failing ? "Bad" : "OK";
    state.warningDrive = driveNumber;
    char hours[32];
    std::snprintf(hours, sizeof hours, "%" PRIu64, drive.nvme.powerOnHours);
    state.hoursText = hours;
    paint.drawValues = true;
    return paint;
}

}  // namespace

bool AttributesBeyondLimits(const disk::DriveTable& table, int driveNumber) {
    for (const WatchedAttribute& watched : kWatched) {
        const disk::SmartAttribute* attribute = table.FindAttribute(driveNumber, watched.id);
        if (attribute != nullptr && static_cast<std::int32_t>(attribute->raw) > watched.limit) return true;
    }
    return false;
}

IndicatorPaint EvaluateIndicators(const disk::DriveTable& table, int driveNumber, const IndicatorState& previous) {
    IndicatorPaint paint{previous, false};
    if (driveNumber < 0 || driveNumber >= disk::kDriveSlots) return paint;
    const disk::PhysicalDrive& drive = table.DriveAt(driveNumber);
    if (drive.transport == disk::Transport::Nvme) return EvaluateNvme(drive, driveNumber, previous);
    const disk::SmartAttribute* temperature = table.FindAttribute(driveNumber, kTemperatureId);
    if (temperature == nullptr) return paint;
    const auto t = static_cast<std::int32_t>(temperature->raw);
    if (t < 0 || t > 400) return paint;

    IndicatorState& state = paint.state;
    state.backupAlarm = 0;
    SetTemperature(state, t);
    state.statusText = "OK";
    state.warningDrive = driveNumber;
    if (AttributesBeyondLimits(table, driveNumber)) {
        state.backupAlarm = 1;
        state.statusText = "Bad";
    }
    // Without a power-on counter there is no figure to show.
    const disk::SmartAttribute* hours = table.FindAttribute(driveNumber, kPowerOnHoursId);
    state.hoursText = hours != nullptr ? Format("%d", static_cast<std::int32_t>(hours->raw)) : std::string();
    paint.drawValues = true;
    return paint;
}

int IndicatorTexts(const IndicatorPaint& paint, IndicatorText* out, int capacity) {
    const IndicatorText labels[] = {
        {270, 305, "Temperature", false, kLabelColour, kTextBackground},
        {420, 305, "Status", false, kLabelColour, kTextBackground},
        {540, 305, "Time counter", false, kLabelColour, kTextBackground},
    };
    int count = 0;
    auto add = [&](const IndicatorText& text) {
        if (count < capacity) out[count++] = text;
    };
    for (const IndicatorText& label : labels) add(label);
    if (!paint.drawValues) return count;
    const IndicatorState& state = paint.state;
    add({554, 351, "hours", true, kValueColour, kTextBackground});
    add({285, 327, state.celsiusText, true, kValueColour, kTextBackground});
    add({280, 345, state.fahrenheitText, true, kValueColour, kTextBackground});
    add({430, 335, state.statusText, true, kValueColour, kTextBackground});
    add({554, 335, state.hoursText, true, kValueColour, kTextBackground});
    return count;
}

}  // namespace app
