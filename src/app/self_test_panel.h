#pragma once
// What the window's drive menu does with the drives' own self-tests: starts and aborts them,
// follows the ones it started, and turns both drive logs into table rows. Every line it returns
// is one entry of the information list.
#include <array>
#include <string>
#include <vector>

#include "disk/drive_access.h"
#include "disk/self_test.h"
#include "platform/kernel.h"

namespace app {

inline constexpr int kSelfTestDrives = 50;

struct DriveLogTables {
    bool read = false;
    std::string note;                                     // why the logs could not be read
    std::vector<std::array<std::string, 5>> selfTests;   // type, status, remaining, hours, first error LBA
    std::string errorSummary;                             // "3 errors counted, 1 entry kept"
    std::vector<std::array<std::string, 3>> errors;      // hours, LBA, status
};

class SelfTestPanel {
public:
    explicit SelfTestPanel(platform::Kernel& kernel) : access_(kernel) {}

    // Starts a test on drive n and follows it; the line saying so or why not.
    std::string Start(int drive, disk::SelfTestKind kind);
    // Aborts the test running on drive n; the line saying so.
    std::string Abort(int drive);
    // "Drive n: short self-test, 40% remaining" while a test started here runs; empty otherwise.
    std::string ProgressLine(int drive);
    // Asks every followed drive how its test goes; a line for each test that has ended.
    std::vector<std::string> Poll();
    // Whether any test started here is still followed.
    bool Following() const;
    // Both logs of drive n.
    DriveLogTables Logs(int drive);

private:
    std::string ResultLine(int drive, platform::Handle handle, const disk::SelfTestState& state);

    disk::DriveAccess access_;
    std::array<bool, kSelfTestDrives> following_{};
};

}  // namespace app
