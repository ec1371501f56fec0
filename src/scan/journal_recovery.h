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

// Which entries a replay writes back, and where.
struct RecoveryChoice {
    // >= 0: only entries whose identity is this drive's (a scan about to start on it).
    int onlyDrive = -1;
    // >= 0: entries whose drive cannot be recognised for certain are written to this drive,
    // which the user named.
    int toDrive = -1;
};

// True when an identity names its disk for certain: by serial, WWN or a backing file's inode,
// not only by where it is attached and its size.
bool IdentityIsCertain(const std::string& identity);

// Finishes every chosen pending entry's interrupted repair on the drive whose identity it
// carries, claimed for writing, with the scan's own repair steps from the saved content; the
// entry is removed once every saved sector reads back equal. An entry whose drive is absent,
// in use or cannot be recognised for certain (unless named by choice.toDrive), whose block
// holds something other than its content or the zeros of the interrupted repair (the drive was
// used since), or some of whose sectors do not hold their content afterwards is kept and says
// why. A damaged entry is kept and never written. Opens no drive when nothing is pending.
RecoveryReport RecoverPendingRepairs(disk::DriveAccess& drives, platform::DurableFolder& folder,
                                     const RecoveryChoice& choice = {});

// A pending entry as its header says: the drive number it was saved with and its block.
struct PendingRepair {
    std::string name;
    int drive = -1;      // -1 when the entry is too damaged to say
    std::int64_t lba = -1;
    std::uint32_t sectors = 0;
};

// The pending entries, read and checked but never written anywhere; opens no drive.
std::vector<PendingRepair> ListPendingRepairs(platform::DurableFolder& folder);
// "Drive 0, sectors 500-599" lines naming each pending block (Windows-1252).
std::vector<std::string> PendingRepairLines(const std::vector<PendingRepair>& pending);

// One line per restored block and per unrestored entry, for the window and the console (Windows-1252).
std::vector<std::string> RecoveryLines(const RecoveryReport& report);

}  // namespace scan
