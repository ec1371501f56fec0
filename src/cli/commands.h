#pragma once
// The console tool's commands. Each returns the process exit status: 0 done, 1 could not do
// what was asked, 2 bad usage, 3 the scan was interrupted.
#include <string>

#include <cstdint>

#include "app/scan_records.h"
#include "cli/options.h"
#include "disk/drive_access.h"
#include "platform/durable_folder.h"
#include "platform/kernel.h"

namespace cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 3;
inline constexpr int kExitTestFailed = 4;  // the drive reports that its self-test failed

struct Context {
    const Options& options;
    platform::Kernel& kernel;
    bool realMachine;            // the machine's own drives (opening them needs root)
    std::string executablePath;  // the settings file lives beside it
    platform::DurableFolder* journal = nullptr;  // the repair journal of this machine
    app::ScanRecords* scanRecords = nullptr;     // the last scan of each drive; nullptr: not kept
};

int RunDrives(const Context& context);
int RunSmart(const Context& context);
int RunCatalogue(const Context& context);
int RunScan(const Context& context);
int RunSpeed(const Context& context);
int RunMetrics(const Context& context);
int RunRecover(const Context& context);
int RunSelfTest(const Context& context);
int RunLog(const Context& context);
// Writes back what interrupted repairs left in the journal for drive `drive` (about to be
// scanned) and says so on the human channel.
void RecoverAtStart(const Context& context, int drive);
// One line on stderr when repairs wait in the journal, saying how to write them back; writes nothing.
void NotePendingRepairs(const Context& context);

// What selecting a drive finds: whether it opens (GetLastError right after the open is 0)
// and its sector count from the geometry (0 when the request fails).
struct DriveSize {
    bool opened = false;
    unsigned error = 0;
    std::uint64_t sectors = 0;
};
DriveSize MeasureDrive(disk::DriveAccess& access, int driveNumber);

// The system's short name of drive n ("sda", "sim0"); empty when it does not open or has none.
std::string DeviceNameOf(disk::DriveAccess& access, int driveNumber);

// The message for a drive that does not open, with a hint about rights on the real machine.
std::string DriveOpenFailure(const Context& context, int driveNumber, unsigned error);
// Prints {"refused": text} (JSON) or the text (stderr) for a command that could not run.
int Refuse(const Context& context, const std::string& cp1252Text);

}  // namespace cli
