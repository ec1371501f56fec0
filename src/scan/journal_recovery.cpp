#include "scan/journal_recovery.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "scan/block_io.h"
#include "scan/journal_entry.h"
#include "scan/read_runs.h"

namespace scan {
namespace {

constexpr std::size_t kSector = 512;

bool AllZero(const unsigned char* data, std::size_t bytes) {
    return std::all_of(data, data + bytes, [](unsigned char b) { return b == 0; });
}

// The drive numbers whose drives open, by identity (opened once each, only when needed).
class DriveFinder {
public:
    explicit DriveFinder(disk::DriveAccess& drives) : drives_(drives) {}

    int Find(const std::string& identity) {
        if (!scanned_) {
            scanned_ = true;
            for (int n = 0; n < kRecoveryDriveNumbers; ++n) {
                const platform::Handle handle = drives_.OpenDrive(n, disk::OpenProfile::Probe);
                if (handle == platform::kInvalidHandle) continue;
                std::string found;
                if (drives_.DriveIdentity(handle, found) && !found.empty()) byIdentity_.emplace(found, n);
                drives_.CloseDrive(handle);
            }
        }
        const auto it = byIdentity_.find(identity);
        return it == byIdentity_.end() ? -1 : it->second;
    }

private:
    disk::DriveAccess& drives_;
    bool scanned_ = false;
    std::map<std::string, int> byIdentity_;
};

// Each read sector of the block holds the saved content, zeros, or cannot be read: what an
// interrupted repair leaves. Anything else means the block was written since.
bool OnlyRepairLeftovers(BlockIo& io, const DecodedEntry& entry, std::vector<unsigned char>& now) {
    const EntryBlock& block = entry.block;
    now.assign(entry.content.size(), 0);
    const bool whole = io.ReadAt(block.lba, now.data(), block.sectors);
    for (std::uint32_t i = 0; i < block.sectors; ++i) {
        if (!block.readable[i]) continue;
        unsigned char* sector = now.data() + i * kSector;
        if (!whole && !io.ReadAt(block.lba + i, sector, 1)) continue;
        if (std::memcmp(sector, entry.content.data() + i * kSector, kSector) != 0 && !AllZero(sector, kSector))
            return false;
    }
    return true;
}

// Writes the read sectors back run by run, flushes, and reads them back. Empty on success, else why not.
std::string WriteBack(BlockIo& io, const DecodedEntry& entry, std::vector<unsigned char>& now) {
    const EntryBlock& block = entry.block;
    const bool written = ForEachReadRun(block.readable, block.sectors, [&](std::uint32_t from, std::uint32_t to) {
        return io.WriteAt(block.lba + from, entry.content.data() + from * kSector, to - from);
    });
    if (!written) return "writing it back failed";
    if (!io.Flush()) return "the drive did not confirm the write-back (flush failed)";
    const bool readBack = ForEachReadRun(block.readable, block.sectors, [&](std::uint32_t from, std::uint32_t to) {
        const std::size_t offset = from * kSector;
        return io.ReadAt(block.lba + from, now.data() + offset, to - from) &&
               std::memcmp(now.data() + offset, entry.content.data() + offset, (to - from) * kSector) == 0;
    });
    return readBack ? std::string() : "the block does not read back as written";
}

// Restores one decoded entry on drive n; empty on success, else why not.
std::string Restore(disk::DriveAccess& drives, int n, const DecodedEntry& entry) {
    const platform::Handle handle = drives.OpenDrive(n, disk::OpenProfile::Sector);
    if (handle == platform::kInvalidHandle)
        return "Drive " + std::to_string(n) + " cannot be opened (error " + std::to_string(drives.LastError()) + ")";
    std::string reason;
    std::string problem;
    if (!drives.ClaimForWriting(handle, reason)) {
        problem = "Drive " + std::to_string(n) + " is in use" + (reason.empty() ? "" : ": " + reason);
    } else {
        const std::uint64_t driveSectors = disk::SectorCountOf(drives.GetGeometry(handle));
        const EntryBlock& block = entry.block;
        BlockIo io(drives, handle, driveSectors);
        std::vector<unsigned char> now;
        if (block.lba < 0 || io.SectorsOnDrive(block.lba, block.sectors) != block.sectors)
            problem = "the block lies beyond the end of Drive " + std::to_string(n);
        else if (!OnlyRepairLeftovers(io, entry, now))
            problem = "the block was written since the interrupted repair, so the saved content is out of date";
        else
            problem = WriteBack(io, entry, now);
    }
    drives.CloseDrive(handle);
    return problem;
}

}  // namespace

RecoveryReport RecoverPendingRepairs(disk::DriveAccess& drives, platform::DurableFolder& folder) {
    RecoveryReport report;
    report.folder = folder.Where();
    DriveFinder finder(drives);
    for (const std::string& name : folder.Pending()) {
        UnrestoredEntry unrestored;
        unrestored.name = name;
        std::vector<std::uint8_t> bytes;
        DecodedEntry entry;
        if (!folder.Read(name, bytes, unrestored.reason) || !DecodeEntry(bytes, entry, unrestored.lba, unrestored.reason)) {
            report.unrestored.push_back(std::move(unrestored));
            continue;
        }
        const int n = finder.Find(entry.identity);
        if (n < 0) {
            unrestored.reason = "its drive (" + entry.identity + ") is not attached";
            report.unrestored.push_back(std::move(unrestored));
            continue;
        }
        unrestored.reason = Restore(drives, n, entry);
        if (unrestored.reason.empty() && !folder.Remove(name.c_str(), unrestored.reason))
            unrestored.reason = "restored, but the entry cannot be removed: " + unrestored.reason;
        if (!unrestored.reason.empty()) {
            report.unrestored.push_back(std::move(unrestored));
            continue;
        }
        report.restored.push_back({n, entry.block.lba, entry.block.sectors});
    }
    return report;
}

std::vector<std::string> RecoveryLines(const RecoveryReport& report) {
    std::vector<std::string> lines;
    for (const RestoredBlock& block : report.restored) {
        lines.push_back("Drive " + std::to_string(block.drive) + ": the block at sector " + std::to_string(block.lba) +
                        " (" + std::to_string(block.sectors) +
                        " sectors) got its content back after an interrupted repair.");
    }
    for (const UnrestoredEntry& unrestored : report.unrestored) {
        lines.push_back("Not written back: " +
                        (unrestored.lba >= 0 ? "the block at sector " + std::to_string(unrestored.lba) : std::string("an entry")) +
                        ": " + unrestored.reason + ". It stays in " + report.folder + "/" + unrestored.name + ".");
    }
    return lines;
}

}  // namespace scan
