#pragma once
// The read speed test: two zones of 1000 reads of 512000 bytes, timed with the performance
// counter. Writes nothing to the drive.
#include <cstdint>
#include <string>

#include "disk/drive_access.h"
#include "platform/surface.h"
#include "platform/system.h"

namespace scan {

struct SpeedResult {
    bool opened = false;
    std::uint32_t openError = 0;  // the Windows error code when the drive did not open
    std::uint64_t zone2StartSector = 0;
    double zone1Seconds = 0;
    double zone2Seconds = 0;
    std::uint64_t zone1Bytes = 0;  // bytes the successful reads returned (failed reads add none)
    std::uint64_t zone2Bytes = 0;
    double zone1MBps = 0;  // megabytes (10^6 bytes) per second of successful reads; 0 when none
    double zone2MBps = 0;
};

// Where zone 2 starts: 1500000 sectors before the end sector, or the drive's start when the
// end sector is closer to it than that (no scan yet, or a small range).
std::uint64_t Zone2StartSector(std::int64_t scanEnd);

// The result as the window shows it in a message box (caption "Varim Hard Disk Repair"):
// both zones' rates, or why the drive could not be tested.
std::string FormatSpeedResult(const SpeedResult& result, int driveNumber);

class SpeedTest {
public:
    SpeedTest(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock);
    ~SpeedTest();
    SpeedTest(const SpeedTest&) = delete;
    SpeedTest& operator=(const SpeedTest&) = delete;

    // Runs both zones on the drive and returns the timings (the caller decides how to show them).
    // opened is false, with openError, when the drive could not be opened; nothing is read then.
    SpeedResult Run(int driveNumber, std::int64_t scanEnd);

private:
    disk::DriveAccess& drives_;
    platform::Surface& surface_;
    platform::Clock& clock_;
    unsigned char* buffer_;  // 512000 bytes, aligned, allocated once
};

}  // namespace scan
