#pragma once
// What one finished or stopped scan leaves for the reports after it: its range, mode, counts,
// read times and cell map, with the drive it ran on.
#include <cstdint>
#include <string>

#include "scan/read_timing.h"
#include "scan/scan_engine.h"

namespace app {

struct ScanSummary {
    int drive = 0;
    std::string identity;  // DriveIdentity of the drive scanned; empty when it gave none
    std::string model;     // Windows-1252, as the drive reports it
    std::string serial;
    std::int64_t start = 0;
    std::int64_t end = 0;
    scan::ScanMode mode = scan::ScanMode::Standard;
    bool completed = false;  // reached the end rather than stopped
    std::int32_t badCount = 0;
    std::int32_t repairedCount = 0;
    std::int64_t endTime = 0;  // seconds since 1970 (UTC) when the scan ended
    scan::ScanLatency latency;
    scan::SurfaceMap map;
};

// "standard" or "regenerate".
const char* ModeName(scan::ScanMode mode);
// The class names used in metrics and files: lt5ms .. ge600ms.
const char* LatencyClassName(std::size_t c);

}  // namespace app
