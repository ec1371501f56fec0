#pragma once
// A simulated machine, the fake window and a scan engine wired together, with helpers to run
// the Scan command and read back what reached the drive.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "disk/drive_access.h"
#include "fake_surface.h"
#include "platform/sim/simulated_kernel.h"
#include "scan/scan_engine.h"
#include "scan/scan_session.h"

namespace scantest {

inline constexpr int kStartField = 1012;
inline constexpr int kEndField = 1013;
inline constexpr int kInfoList = 1011;
inline constexpr int kProgress = 1015;
inline constexpr int kDriveList = 1016;
inline constexpr int kScan = 1009;
inline constexpr int kStop = 1023;
inline constexpr int kOpenSession = 1024;

// A clock the test sets; the performance counter advances by `step` each time it is read.
class FakeClock : public platform::Clock {
public:
    std::uint32_t tick = 1000;
    std::int64_t counter = 0;
    std::int64_t step = 0;
    std::int64_t frequency = 1'000'000;
    std::uint32_t tickCount() override { return tick; }
    std::int64_t performanceCounter() override { return counter += step; }
    std::int64_t performanceFrequency() override { return frequency; }
};

// One sector transfer as the drive saw it.
struct Transfer {
    bool write = false;
    std::uint64_t sector = 0;
    std::uint32_t sectors = 0;
    bool ok = false;
};

// The byte the test pattern puts at offset i of sector s: never a whole zero sector.
inline std::uint8_t PatternByte(std::uint64_t s, std::uint32_t i) {
    return static_cast<std::uint8_t>((s * 31 + i * 7 + 1) | 1);
}

class ScanRig {
public:
    // driveKeys are the lines of [Drive0] besides Sectors (faults, model, InUse...).
    explicit ScanRig(const std::string& driveKeys, std::uint64_t sectors = 1000);

    // Sets the range fields and answers the mode question; runs the Scan command.
    scan::ScanOutcome Run(const std::string& start, const std::string& end,
                          scan::ScanMode mode = scan::ScanMode::Standard);

    // Fills sectors [first, first + count) with the test pattern, straight into the image.
    void FillPattern(std::uint64_t first, std::uint64_t count);
    // Sectors in [first, first + count) that no longer hold the pattern, skipping `except`.
    std::vector<std::uint64_t> Damaged(std::uint64_t first, std::uint64_t count,
                                       const std::set<std::uint64_t>& except = {}) const;
    // Reads and writes the scan made, oldest first.
    std::vector<Transfer> Transfers() const;
    // The information list's entries.
    std::vector<std::string> ListEntries() { return surface.control(kInfoList).items; }

    std::unique_ptr<platform::sim::SimulatedKernel> kernel;
    std::unique_ptr<disk::DriveAccess> drives;
    testsupport::FakeSurface surface;
    FakeClock clock;
    scan::ScanState state;
    scan::ScanFields fields;
    std::unique_ptr<scan::ScanEngine> engine;
    std::unique_ptr<scan::ScanSession> session;
    std::string model = "SIMDISK 2000";
};

// Every message box text that was shown, joined for failure output.
std::string Messages(const testsupport::FakeSurface& surface);

}  // namespace scantest
