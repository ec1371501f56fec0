#pragma once
// Replay of the repair journal at start-up: every entry a crash, kill or power cut left behind
// is written back to the drive it was taken from, and only to that drive.
#include <cstdint>
#include <string>
#include <vector>

#include "disk/drive_access.h"
#include "platform/durable_folder.h"

namespace scan {

struct RestoredBlock {
    int drive = 0;
    std::int64_t lba = 0;
    std::uint32_t sectors = 0;
};

struct UnrestoredEntry {
    std::string name;    // the entry in the journal folder
    std::int64_t lba = -1;  // -1 when the entry is too damaged to say
    std::string reason;  // why it was not written back
};

struct RecoveryReport {
    std::string folder;
    std::vector<RestoredBlock> restored;
    std::vector<UnrestoredEntry> unrestored;
    bool empty() const { return restored.empty() && unrestored.empty(); }
};

// Drive numbers looked at for an entry's drive.
inline constexpr int kRecoveryDriveNumbers = 50;

// Writes every pending entry back to the drive whose identity it carries, once that drive is
// claimed for writing, flushed and read back; the entry is then removed. An entry whose drive is
// absent or in use, whose write-back fails, or whose block holds something other than its
// content or the zeros of the interrupted repair (the drive was used since) stays unrestored. A damaged
// entry stays unrestored and is never written. Opens no drive when nothing is pending.
RecoveryReport RecoverPendingRepairs(disk::DriveAccess& drives, platform::DurableFolder& folder);

// One line per restored block and per unrestored entry, for the window and the console (Windows-1252).
std::vector<std::string> RecoveryLines(const RecoveryReport& report);

}  // namespace scan
