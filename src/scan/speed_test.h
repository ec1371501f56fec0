#pragma once
// The read speed test: two zones of 1000 reads of 512000 bytes, timed with the performance
// counter. Writes nothing to the drive.
#include <cstdint>

#include "disk/drive_access.h"
#include "platform/surface.h"
#include "platform/system.h"

namespace scan {

struct SpeedResult {
    bool opened = false;
    std::uint64_t zone2StartSector = 0;
    double zone1Seconds = 0;
    double zone2Seconds = 0;
    double zone1MBps = 0;  // megabytes (10^6 bytes) per second
    double zone2MBps = 0;
};

class SpeedTest {
public:
    SpeedTest(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock);
    ~SpeedTest();
    SpeedTest(const SpeedTest&) = delete;
    SpeedTest& operator=(const SpeedTest&) = delete;

    // Runs both zones on the drive and returns the timings (the caller decides how to show them).
    SpeedResult Run(int driveNumber, std::int64_t scanEnd);

private:
    disk::DriveAccess& drives_;
    platform::Surface& surface_;
    platform::Clock& clock_;
    unsigned char* buffer_;  // 512000 bytes, aligned, allocated once
};

}  // namespace scan
