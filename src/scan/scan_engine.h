#pragma once
// The Scan command: range parsing, the pending health warnings, the mode question and the
// block loop (read, write back, re-read, compare, repair) over DriveAccess and Surface only.
#include <cstdint>
#include <functional>
#include <string>

#include "disk/drive_access.h"
#include "platform/surface.h"
#include "platform/system.h"

namespace scan {

enum class ScanMode { Standard, Regenerate };

// The scan's process-wide state: one instance, owned by whoever owns the engine.
struct ScanState {
    bool stopRequested = false;
    std::int64_t currentLba = 0;
    std::int32_t badCount = 0;
    std::int32_t repairedCount = 0;
    std::int32_t backupAlarm = 0;
};

// The dialog members the Scan command reads and leaves set.
struct ScanFields {
    int driveNumber = 0;
    std::int64_t scanStart = 0;
    std::int64_t scanEnd = 0;
    std::int32_t temperatureAlarm = 0;
    int warningDrive = 0;
};

struct ScanOutcome {
    bool started = false;    // false: refused before the drive was touched (see refusal)
    std::string refusal;     // the message shown when refused (Windows-1252)
    bool completed = false;  // the completed end text rather than the interrupted one
    ScanMode mode = ScanMode::Standard;
    std::string message;     // the end message shown
};

// Model text of drive n, for the warnings (empty when unknown).
using ModelTextFn = std::function<std::string(int driveNumber)>;

}  // namespace scan
