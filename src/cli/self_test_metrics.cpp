#include "cli/self_test_metrics.h"

#include <cstdio>
#include <string>

#include "cli/metrics_format.h"
#include "disk/self_test.h"
#include "health/self_test_texts.h"

namespace cli {

SelfTestMetrics ReadSelfTestMetrics(disk::DriveAccess& access, int driveNumber) {
    SelfTestMetrics metrics;
    const platform::Handle handle = access.OpenDrive(driveNumber, disk::OpenProfile::Probe);
    if (handle == platform::kInvalidHandle) return metrics;
    const disk::SelfTestState state = disk::ReadSelfTestState(access, handle, driveNumber);
    if (state.smart) {
        const bool supported = state.supported[0] || state.supported[1] || state.supported[2];
        metrics.stateKnown = supported && state.stateRead;
        metrics.inProgress = state.running;
        metrics.remainingPercent = state.remainingPercent;
        const disk::DriveLogs logs = disk::ReadDriveLogs(access, handle, driveNumber, state);
        const health::LogTransport transport =
            state.transport == disk::Transport::Nvme ? health::LogTransport::Nvme : health::LogTransport::Ata;
        if (logs.selfTestLogRead && logs.selfTestCount > 0) {
            metrics.hasLast = true;
            metrics.lastPassed = health::SelfTestPassed(transport, logs.selfTests[0].statusCode);
            metrics.lastPowerOnHours = logs.selfTests[0].powerOnHours;
        }
        metrics.hasErrorCount = logs.errorLogRead;
        metrics.errorCount = logs.errorCount;
    }
    access.CloseDrive(handle);
    return metrics;
}

void AppendSelfTestFamilies(const std::vector<DriveMetrics>& drives, Exposition& e) {
    e.family("varim_selftest_in_progress", "gauge", "1 while the drive runs its own self-test, else 0.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.selfTest.stateKnown) x.flag(d, d.selfTest.inProgress);
             });
    e.family("varim_selftest_remaining_ratio", "gauge", "The part of the running self-test that remains (0..1).",
             drives, [](const DriveMetrics& d, Exposition& x) {
                 if (!d.selfTest.stateKnown || !d.selfTest.inProgress) return;
                 char value[16];
                 std::snprintf(value, sizeof value, "%g", d.selfTest.remainingPercent / 100.0);
                 x.sample(d, {}, value);
             });
    e.family("varim_selftest_last_passed", "gauge",
             "1 when the newest self-test in the drive's log completed without error, else 0.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.selfTest.hasLast) x.flag(d, d.selfTest.lastPassed);
             });
    e.family("varim_selftest_last_power_on_seconds", "gauge",
             "The drive's power-on time when its newest logged self-test ended.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.selfTest.hasLast) x.sample(d, d.selfTest.lastPowerOnHours * std::uint64_t{3600});
             });
    e.family("varim_error_log_entries_total", "counter", "The errors the drive has counted in its own error log.",
             drives, [](const DriveMetrics& d, Exposition& x) {
                 if (d.selfTest.hasErrorCount) x.sample(d, d.selfTest.errorCount);
             });
}

}  // namespace cli
