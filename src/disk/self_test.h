#pragma once
// The drive's own self-tests and logs, through the same pass-through requests as the probe.
// ATA: S.M.A.R.T. READ DATA for the self-test bytes, EXECUTE OFF-LINE IMMEDIATE to start or
// abort a test, READ LOG of the self-test log (06h) and the summary error log (01h). NVMe:
// Identify Controller for OACS and the extended test's minutes, Device Self-test, and the
// self-test (06h), error information (01h) and health (02h) log pages.
#include <array>
#include <cstdint>

#include "disk/drive_access.h"
#include "disk/drive_table.h"

namespace disk {

// Test types as the drives number them: ATA subcommands, NVMe codes 1h and 2h.
enum class SelfTestKind : std::uint8_t { Short = 1, Extended = 2, Conveyance = 3 };

inline constexpr int kSelfTestLogEntries = 21;  // the most either log holds
inline constexpr int kErrorLogEntries = 16;     // the newest error entries read at most

struct SelfTestState {
    bool smart = false;      // the drive answers self-test requests at all (S.M.A.R.T. or NVMe)
    bool stateRead = false;  // the self-test status could be read
    Transport transport = Transport::Ata;
    std::array<bool, 3> supported{};  // short, extended, conveyance
    std::array<int, 3> minutes{};     // the drive's own estimate
    bool running = false;
    int remainingPercent = 0;  // of the running test
    int lastStatus = -1;       // ATA: the execution status of the last test; -1 when unknown
};

struct SelfTestEntry {
    int type = 0;               // ATA: the subcommand byte; NVMe: the test code
    int statusCode = 0;         // the drive's own result code, 0..15
    int remainingPercent = -1;  // ATA only; -1 when the drive does not log it
    std::uint64_t powerOnHours = 0;
    bool hasLba = false;  // the first failing LBA, logged for a failed test only
    std::uint64_t lba = 0;
};

struct DriveErrorEntry {
    bool hasHours = false;  // NVMe error entries carry no time
    std::uint64_t powerOnHours = 0;
    std::uint64_t lba = 0;
    std::uint32_t status = 0;  // ATA: error register; NVMe: status field
};

struct DriveLogs {
    bool selfTestLogRead = false;
    bool errorLogRead = false;
    int selfTestCount = 0;
    std::array<SelfTestEntry, kSelfTestLogEntries> selfTests{};  // newest first
    std::uint64_t errorCount = 0;                                // the drive's own count
    int errorEntries = 0;
    std::array<DriveErrorEntry, kErrorLogEntries> errors{};  // newest first
};

enum class StartResult { Started, Unsupported, Busy, Failed };

// What the drive on an open (Probe) handle says about self-tests now.
SelfTestState ReadSelfTestState(DriveAccess& access, platform::Handle handle, int driveNumber);
// Starts a test of a type the state says is supported (Unsupported otherwise, nothing sent;
// Busy when one already runs).
StartResult StartSelfTest(DriveAccess& access, platform::Handle handle, int driveNumber, const SelfTestState& state,
                          SelfTestKind kind);
// Asks the drive to abort its running test; true when it accepted.
bool AbortSelfTest(DriveAccess& access, platform::Handle handle, int driveNumber, const SelfTestState& state);
// Reads both logs; the flags in logs say which were read.
DriveLogs ReadDriveLogs(DriveAccess& access, platform::Handle handle, int driveNumber, const SelfTestState& state);

// Decoders of the raw pages (for the probes above and their tests).
void DecodeAtaSelfTestBytes(const std::uint8_t* smartData, SelfTestState& state);
void DecodeAtaSelfTestLog(const std::uint8_t* page, DriveLogs& logs);
void DecodeAtaErrorLog(const std::uint8_t* page, DriveLogs& logs);
void DecodeNvmeSelfTestLog(const std::uint8_t* page, SelfTestState* state, DriveLogs* logs);
void DecodeNvmeErrorLog(const std::uint8_t* page, int entries, DriveLogs& logs);

}  // namespace disk
