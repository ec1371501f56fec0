#include "scan/speed_test.h"

#include <new>

#include "scan/drive_refusal.h"
#include "scan/format_text.h"
#include "scan/pump.h"
#include "scan/scan_texts.h"

namespace scan {
namespace {

constexpr std::uint32_t kReadBytes = 512000;
constexpr std::uint64_t kReadSectors = kReadBytes / disk::kSectorSize;
constexpr int kReadsPerZone = 1000;
constexpr std::int64_t kZone2Distance = 1500000;
constexpr std::align_val_t kAlignment{4096};

double Rate(std::uint64_t bytes, double seconds) {
    return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0;
}

}  // namespace

std::uint64_t Zone2StartSector(std::int64_t scanEnd) {
    return scanEnd > kZone2Distance ? static_cast<std::uint64_t>(scanEnd - kZone2Distance) : 0;
}

std::string FormatSpeedResult(const SpeedResult& result, int driveNumber) {
    if (!result.opened) {
        return FormatText("Cannot test the speed of Drive %d: %s", driveNumber,
                          OpenFailureReason(result.openError).c_str());
    }
    return FormatText(texts::kSpeedResult, result.zone1MBps,
                      static_cast<unsigned long long>(result.zone2StartSector), result.zone2MBps);
}

SpeedTest::SpeedTest(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock)
    : drives_(drives), surface_(surface), clock_(clock),
      buffer_(static_cast<unsigned char*>(::operator new(kReadBytes, kAlignment))) {}

SpeedTest::~SpeedTest() { ::operator delete(buffer_, kAlignment); }

SpeedResult SpeedTest::Run(int driveNumber, std::int64_t scanEnd) {
    SpeedResult result;
    const platform::Handle handle = drives_.OpenDrive(driveNumber, disk::OpenProfile::Sector);
    if (handle == platform::kInvalidHandle) {
        result.openError = drives_.LastError();
        return result;
    }
    result.opened = true;
    result.zone2StartSector = Zone2StartSector(scanEnd);

    // Each read starts where the previous one ended; a failed read still counts as one.
    auto timeZone = [&](std::uint64_t startSector, double& seconds, std::uint64_t& bytes) {
        drives_.SeekDrive(handle, startSector * disk::kSectorSize);
        const std::int64_t begin = clock_.performanceCounter();
        const std::int64_t frequency = clock_.performanceFrequency();
        for (int i = 0; i < kReadsPerZone; ++i) {
            if (drives_.ReadSectors(handle, buffer_, kReadBytes)) {
                bytes += kReadBytes;
            } else {
                // A failed read leaves the position where it was (or part way): go on after the
                // failed transfer, so one unreadable sector costs one read and not the whole zone.
                const std::uint64_t next = startSector + static_cast<std::uint64_t>(i + 1) * kReadSectors;
                drives_.SeekDrive(handle, next * disk::kSectorSize);
            }
            pumpOneMessage(surface_);
        }
        const std::int64_t end = clock_.performanceCounter();
        seconds = frequency > 0 ? static_cast<double>(end - begin) / static_cast<double>(frequency) : 0.0;
    };
    timeZone(0, result.zone1Seconds, result.zone1Bytes);
    timeZone(result.zone2StartSector, result.zone2Seconds, result.zone2Bytes);
    drives_.CloseDrive(handle);

    result.zone1MBps = Rate(result.zone1Bytes, result.zone1Seconds);
    result.zone2MBps = Rate(result.zone2Bytes, result.zone2Seconds);
    return result;
}

}  // namespace scan
