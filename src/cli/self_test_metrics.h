#pragma once
// The self-test and drive-log families of the metrics: whether a self-test runs and how much of
// it remains, how the last logged test ended and when, and the drive's own error count.
#include <cstdint>
#include <vector>

#include "disk/drive_access.h"

namespace cli {

struct DriveMetrics;
class Exposition;

struct SelfTestMetrics {
    bool stateKnown = false;  // the drive runs self-tests and said whether one runs
    bool inProgress = false;
    int remainingPercent = 0;
    bool hasLast = false;  // the self-test log was read and holds an entry
    bool lastPassed = false;
    std::uint64_t lastPowerOnHours = 0;
    bool hasErrorCount = false;  // the error log was read
    std::uint64_t errorCount = 0;
};

// Asks drive n (which opens) about its self-tests and logs; nothing known when it cannot say.
SelfTestMetrics ReadSelfTestMetrics(disk::DriveAccess& access, int driveNumber);

// The families, over the drives that are awake.
void AppendSelfTestFamilies(const std::vector<DriveMetrics>& drives, Exposition& e);

}  // namespace cli
