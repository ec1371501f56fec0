#include "scan/journal_recovery.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/kernel.h"
#include "scan/block_io.h"
#include "scan/block_repair.h"
#include "scan/journal_entry.h"

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

// "sector 12", "sectors 12-14" or "sectors 12, 15-17" for the marked sectors of a block.
std::string SectorList(std::int64_t lba, const std::array<bool, kBlockSectors>& marked, std::uint32_t sectors) {
    std::string list;
    int count = 0;
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (!marked[i] || (i > 0 && marked[i - 1])) continue;
        std::uint32_t end = i;
        while (end + 1 < sectors && marked[end + 1]) ++end;
        if (!list.empty()) list += ", ";
        list += std::to_string(lba + i);
        if (end > i) list += "-" + std::to_string(lba + end);
        count += static_cast<int>(end - i + 1);
    }
    return (count == 1 ? "sector " : "sectors ") + list;
}

// Runs the interrupted repair of `sectors` sectors from `first` of the entry again from the
// saved content, with the scan's own steps; empty when every saved sector holds its content
// afterwards, else which do not and why.
std::string RepairPiece(BlockIo& io, const DecodedEntry& entry, std::uint32_t first, std::uint32_t sectors) {
    const std::int64_t lba = entry.block.lba + first;
    auto buffers = std::make_unique<ScanBuffers>();
    std::memcpy(buffers->block, entry.content.data() + std::size_t{first} * kSector, std::size_t{sectors} * kSector);
    std::memset(buffers->zeroSector, 0, sizeof buffers->zeroSector);
    buffers->readable.fill(false);
    std::copy_n(entry.block.readable.begin() + first, sectors, buffers->readable.begin());
    const bool neverStop = false;
    BlockRepair repair(io, *buffers, nullptr, neverStop);
    if (!repair.Rewrite(lba, sectors, true).durable)
        return "the drive did not confirm the write-back (flush failed)";
    std::array<bool, kBlockSectors> notRestored{};
    std::array<bool, kBlockSectors> unreadable{};
    if (repair.ReadEverySectorBack(lba, sectors, notRestored, unreadable)) return {};
    // One reason per kind of failure, each naming its sectors.
    std::array<bool, kBlockSectors> unwritable{};
    std::array<bool, kBlockSectors> lost{};
    std::array<bool, kBlockSectors> differing{};
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (!notRestored[i]) continue;
        if (repair.unwritten()[i])
            unwritable[i] = true;
        else if (unreadable[i])
            lost[i] = true;
        else
            differing[i] = true;
    }
    std::string reason;
    const auto add = [&](const std::array<bool, kBlockSectors>& marked, const char* why) {
        if (std::none_of(marked.begin(), marked.begin() + sectors, [](bool b) { return b; })) return;
        if (!reason.empty()) reason += "; ";
        reason += SectorList(lba, marked, sectors) + ": " + why;
    };
    add(unwritable, "writing failed, and the saved content is not there");
    add(lost, "they cannot be read back");
    add(differing, "they read back other content than was written");
    return reason;
}

// An entry wider than a block (a repair that covered whole physical sectors reaching into the
// neighbouring blocks) goes back a block's worth of sectors at a time.
std::string Repair(BlockIo& io, const DecodedEntry& entry) {
    std::string reason;
    for (std::uint32_t first = 0; first < entry.block.sectors; first += kBlockSectors) {
        const std::string piece = RepairPiece(io, entry, first, std::min(kBlockSectors, entry.block.sectors - first));
        if (piece.empty()) continue;
        if (!reason.empty()) reason += "; ";
        reason += piece;
    }
    return reason;
}

// The disk size an identity records, in 512-byte sectors ("size=BYTES" from the system, "N sectors"
// from a simulated machine); 0 when it records none.
std::uint64_t RecordedSectors(const std::string& identity) {
    std::uint64_t value = 0;
    if (const std::size_t at = identity.rfind("size="); at != std::string::npos) {
        for (std::size_t i = at + 5; i < identity.size() && identity[i] >= '0' && identity[i] <= '9'; ++i)
            value = value * 10 + static_cast<std::uint64_t>(identity[i] - '0');
        return value / kSector;
    }
    const std::size_t at = identity.rfind(" sectors");
    if (at == std::string::npos) return 0;
    std::size_t begin = at;
    while (begin > 0 && identity[begin - 1] >= '0' && identity[begin - 1] <= '9') --begin;
    for (std::size_t i = begin; i < at; ++i) value = value * 10 + static_cast<std::uint64_t>(identity[i] - '0');
    return value;
}

// Restores one decoded entry on drive n; empty on success, else why not. A drive named by the
// user must still have the size of the disk the entry was saved from.
std::string Restore(disk::DriveAccess& drives, int n, const DecodedEntry& entry, bool named) {
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
        const std::uint64_t recorded = named ? RecordedSectors(entry.identity) : 0;
        if (recorded != 0 && recorded != driveSectors)
            problem = "Drive " + std::to_string(n) + " has " + std::to_string(driveSectors) +
                      " sectors, not the " + std::to_string(recorded) +
                      " of the disk this block was saved from, so it is another disk; nothing was written";
        else if (block.lba < 0 || io.SectorsOnDrive(block.lba, block.sectors) != block.sectors)
            problem = "the block lies beyond the end of Drive " + std::to_string(n);
        else if (!OnlyRepairLeftovers(io, entry, now))
            problem = "the block was written since the interrupted repair, so the saved content is out of date";
        else
            problem = Repair(io, entry);
    }
    drives.CloseDrive(handle);
    return problem;
}

}  // namespace

bool IdentityIsCertain(const std::string& identity) {
    // Entries saved before identities said how certain they are name such disks by device
    // number and size alone.
    return !identity.starts_with(platform::kUncertainIdentity) && !identity.starts_with("dev=");
}

RecoveryReport RecoverPendingRepairs(disk::DriveAccess& drives, platform::DurableFolder& folder,
                                     const RecoveryChoice& choice) {
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
        const bool certain = IdentityIsCertain(entry.identity);
        int n = finder.Find(entry.identity);
        if (choice.onlyDrive >= 0 && n != choice.onlyDrive) continue;
        const bool named = !certain && choice.toDrive >= 0;
        if (named) {
            n = choice.toDrive;
        } else if (!certain) {
            const int shown = n >= 0 ? n : entry.block.driveNumber;
            unrestored.reason = "Drive " + std::to_string(shown) +
                          " cannot be recognised for certain; nothing was written (varim recover --to-drive " +
                          std::to_string(shown) + " writes it there)";
            report.unrestored.push_back(std::move(unrestored));
            continue;
        } else if (n < 0) {
            unrestored.reason = "its drive (" + entry.identity + ") is not attached";
            report.unrestored.push_back(std::move(unrestored));
            continue;
        }
        unrestored.reason = Restore(drives, n, entry, named);
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

std::vector<PendingRepair> ListPendingRepairs(platform::DurableFolder& folder) {
    std::vector<PendingRepair> pending;
    for (const std::string& name : folder.Pending()) {
        PendingRepair repair;
        repair.name = name;
        std::vector<std::uint8_t> bytes;
        DecodedEntry entry;
        std::string reason;
        if (folder.Read(name, bytes, reason) && DecodeEntry(bytes, entry, repair.lba, reason)) {
            repair.drive = entry.block.driveNumber;
            repair.sectors = entry.block.sectors;
        }
        pending.push_back(std::move(repair));
    }
    return pending;
}

std::vector<std::string> PendingRepairLines(const std::vector<PendingRepair>& pending) {
    std::vector<std::string> lines;
    for (const PendingRepair& repair : pending) {
        if (repair.drive < 0 || repair.sectors == 0) {
            lines.push_back("a damaged entry (" + repair.name + "), which is never written");
            continue;
        }
        lines.push_back("Drive " + std::to_string(repair.drive) + ", sectors " + std::to_string(repair.lba) + "-" +
                        std::to_string(repair.lba + repair.sectors - 1));
    }
    return lines;
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
