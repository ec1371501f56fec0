// The repair journal around the repair procedure: an entry holds the untouched block before
// its first zero write and goes only after the restored content is flushed and read back; no
// journal, no zeroing; and what start-up does with entries a crash left behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "platform/durable_folder.h"
#include "scan/journal_entry.h"
#include "scan/journal_recovery.h"
#include "scan/repair_journal.h"
#include "scan_rig.h"

namespace scantest {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using scan::ScanMode;

// Checks each Put and Remove against the drive and the call log at the moment it happens.
class WatchedFolder final : public platform::DurableFolder {
public:
    explicit WatchedFolder(ScanRig& rig) : rig_(rig) {}

    bool Put(const char* name, const void* data, std::size_t bytes, std::string& reason) override {
        ++puts;
        const auto* first = static_cast<const std::uint8_t*>(data);
        scan::DecodedEntry entry;
        std::int64_t lba = -1;
        std::string problem;
        EXPECT_TRUE(scan::DecodeEntry(std::vector<std::uint8_t>(first, first + bytes), entry, lba, problem)) << problem;
        putEntries.emplace_back(static_cast<std::uint64_t>(lba), entry.block.sectors);
        // Nothing of the block is zeroed yet, and the entry holds exactly what the drive holds.
        const std::vector<std::uint8_t> now = rig_.kernel->peekSectors(0, static_cast<std::uint64_t>(lba), entry.block.sectors);
        for (std::uint32_t s = 0; s < entry.block.sectors; ++s) {
            const std::uint64_t sector = static_cast<std::uint64_t>(lba) + s;
            EXPECT_TRUE(lost.count(sector) != 0 || rig_.Damaged(sector, 1).empty())
                << "sector " << sector << " changed before its entry";
            if (!entry.block.readable[s]) continue;
            EXPECT_TRUE(std::equal(now.begin() + s * 512, now.begin() + (s + 1) * 512, entry.content.begin() + s * 512))
                << "sector " << sector;
        }
        return inner.Put(name, data, bytes, reason);
    }
    bool Remove(const char* name, std::string& reason) override {
        ++removes;
        // The last write before the entry goes was flushed, and read back after the flush.
        const auto& calls = rig_.kernel->calls();
        std::size_t lastWrite = 0, lastFlush = 0, lastRead = 0;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].operation == "writeFile") lastWrite = i;
            if (calls[i].operation == "flushFileBuffers" && calls[i].result) lastFlush = i;
            if (calls[i].operation == "readFile" && calls[i].result) lastRead = i;
        }
        EXPECT_GT(lastFlush, lastWrite);
        EXPECT_GT(lastRead, lastFlush);
        return inner.Remove(name, reason);
    }
    std::vector<std::string> Pending() override { return inner.Pending(); }
    bool Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) override {
        return inner.Read(name, data, reason);
    }
    std::string Where() const override { return "watched"; }

    platform::MemoryDurableFolder inner;
    int puts = 0;
    int removes = 0;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> putEntries;  // first sector and count of each Put
    std::set<std::uint64_t> lost;  // sectors whose content is gone: zeros may be there before an entry

private:
    ScanRig& rig_;
};

std::size_t SingleSectorWrites(const ScanRig& rig) {
    const auto transfers = rig.Transfers();
    return static_cast<std::size_t>(
        std::count_if(transfers.begin(), transfers.end(), [](const Transfer& t) { return t.write && t.sectors == 1; }));
}

TEST(RepairJournal, EntryPrecedesTheFirstZeroAndGoesOnlyAfterAFlushedVerifiedRestore) {
    for (const ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
        SCOPED_TRACE(mode == ScanMode::Standard ? "standard" : "regenerate");
        ScanRig rig("Weak = 1000-1001\nPending = 1130\nBadRead = 1250\nBadWrite = 1370\n", 2000);
        rig.FillPattern(0, 2000);
        WatchedFolder folder(rig);
        scan::RepairJournal journal(folder);
        rig.engine->SetJournal(&journal);
        rig.Run("1000", "1300", mode);
        EXPECT_EQ(folder.puts, mode == ScanMode::Standard ? 4 : 5);
        EXPECT_EQ(folder.removes, folder.puts);
        EXPECT_THAT(folder.inner.entries(), IsEmpty());
        EXPECT_THAT(rig.Damaged(900, 700, {1130, 1250}), IsEmpty());
    }
}

// A drive with 4096-byte physical sectors behind 512-byte ones: a pending physical sector fails
// all eight of its sectors, and only a write covering it whole heals it. Inside a block, across a
// block boundary (where it belongs to two blocks), with the first boundary at sector 7, and
// reaching back before the scan's start.
TEST(RepairJournal, RepairsCoverWholePhysicalSectorsAndJournalEverySectorTheyWrite) {
    struct Case {
        const char* name;
        const char* keys;
        const char* start;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> units;  // the pending physical sectors
        int badBlocks;
    };
    const Case cases[] = {
        {"inside a block", "Pending = 1230", "1000", {{1224, 1231}}, 1},
        {"across a block boundary", "Pending = 1101", "1000", {{1096, 1103}}, 1},
        {"alignment offset 7", "AlignmentOffset = 7\nPending = 1099, 1300-1301", "1000", {{1095, 1102}, {1295, 1302}}, 2},
        {"before the scan's start", "AlignmentOffset = 7\nPending = 1097", "1100", {{1095, 1102}}, 1},
    };
    for (const Case& c : cases) {
        for (const ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
            for (const std::uint32_t mib : {0u, 1u}) {
                SCOPED_TRACE(std::string(c.name) + (mode == ScanMode::Standard ? ", standard" : ", regenerate") +
                             ", transfer " + std::to_string(mib) + " MiB");
                ScanRig rig(std::string("PhysicalSectorSize = 4096\n") + c.keys, 2000);
                rig.FillPattern(0, 2000);
                WatchedFolder folder(rig);
                scan::RepairJournal journal(folder);
                rig.engine->SetJournal(&journal);
                rig.engine->SetTransferMib(mib);
                for (const auto& [first, last] : c.units)
                    for (std::uint64_t s = first; s <= last; ++s) folder.lost.insert(s);
                rig.Run(c.start, "1500", mode);
                EXPECT_EQ(rig.state.badCount, c.badBlocks);
                EXPECT_EQ(rig.state.repairedCount, mode == ScanMode::Standard ? c.badBlocks : 0);
                EXPECT_EQ(folder.removes, folder.puts);
                // Every pending physical sector lies whole in an entry written before its first zero.
                for (const auto& [first, last] : c.units) {
                    bool journaled = false;
                    for (const auto& name : folder.putEntries)
                        journaled = journaled || (name.first <= first && last < name.first + name.second);
                    EXPECT_TRUE(journaled) << "physical sector " << first;
                }
                EXPECT_THAT(rig.Damaged(900, 700, folder.lost), IsEmpty());
                rig.engine->SetJournal(nullptr);
                rig.Run(c.start, "1500", ScanMode::Standard);
                EXPECT_EQ(rig.state.badCount, 0) << "a pending physical sector was not healed";
            }
        }
    }
}

TEST(RepairJournal, CleanStandardScanWritesNoEntryAndFlushesNothing) {
    ScanRig rig("", 2000);
    WatchedFolder folder(rig);
    scan::RepairJournal journal(folder);
    rig.engine->SetJournal(&journal);
    rig.Run("0", "2000");
    EXPECT_EQ(folder.puts, 0);
    for (const auto& call : rig.kernel->calls()) EXPECT_NE(call.operation, "flushFileBuffers");
}

TEST(RepairJournal, WithoutAJournalNothingIsZeroedNothingCountsRepairedAndTheReasonIsSaidOnce) {
    for (const ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
        SCOPED_TRACE(mode == ScanMode::Standard ? "standard" : "regenerate");
        ScanRig rig("Pending = 1130, 1230\n", 2000);
        rig.FillPattern(0, 2000);
        platform::MemoryDurableFolder folder;
        folder.FailPuts("No space left on device");
        scan::RepairJournal journal(folder);
        rig.engine->SetJournal(&journal);
        rig.Run("1000", "1300", mode);
        EXPECT_EQ(SingleSectorWrites(rig), 0u);
        EXPECT_EQ(rig.state.repairedCount, 0);
        const auto entries = rig.ListEntries();
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [](const std::string& e) { return e.find("No space left on device") != std::string::npos; }),
                  1);
        // Both blocks with pending sectors stay listed bad.
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [](const std::string& e) { return e.rfind("Bad sector LBA: ", 0) == 0; }),
                  2);
        EXPECT_THAT(rig.Damaged(900, 500, {1130, 1230}), IsEmpty());
    }
}

TEST(JournalEntry, AnyTruncationOrChangedByteIsRecognisedAsDamage) {
    scan::EntryBlock block;
    block.driveNumber = 2;
    block.lba = 123456789012LL;
    block.sectors = 3;
    block.readable = {true, false, true};
    std::vector<unsigned char> content(3 * 512);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 13 + 5);
    std::vector<unsigned char> out(scan::kMaxEntryBytes);
    EXPECT_EQ(scan::EncodeEntry("", block, content.data(), out.data()), 0u);  // a drive that cannot be named
    const std::size_t length = scan::EncodeEntry("serial X", block, content.data(), out.data());
    ASSERT_GT(length, 0u);
    const std::vector<std::uint8_t> good(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length));

    scan::DecodedEntry entry;
    std::int64_t lba = 0;
    std::string reason;
    ASSERT_TRUE(scan::DecodeEntry(good, entry, lba, reason)) << reason;
    EXPECT_EQ(entry.identity, "serial X");
    EXPECT_EQ(entry.block.lba, block.lba);
    EXPECT_EQ(entry.block.driveNumber, 2);
    EXPECT_EQ(entry.block.readable, block.readable);
    EXPECT_EQ(entry.content, content);

    for (std::size_t cut = 0; cut < length; ++cut) {
        const std::vector<std::uint8_t> shorter(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(scan::DecodeEntry(shorter, entry, lba, reason)) << "cut at " << cut;
    }
    for (std::size_t at = 0; at < length; ++at) {
        std::vector<std::uint8_t> changed = good;
        changed[at] ^= 0x10;
        EXPECT_FALSE(scan::DecodeEntry(changed, entry, lba, reason)) << "byte " << at;
    }
}

// Entries as an interrupted repair leaves them, then the start-up replay.
TEST(JournalRecovery, WritesBackOnlyIntactEntriesToTheirOwnUnchangedDrive) {
    struct Case {
        const char* name;
        std::string machineSerial;  // the drive present at the next start
        bool damage;                // a byte of the entry changed
        bool usedSince;             // the block was written after the crash
        bool restored;
        std::string faults = "";    // of the drive at the next start
        std::string keptReason = "";  // part of why the entry is kept
    };
    for (const Case& c :
         {Case{"interrupted", "SIM0001", false, false, true},
          Case{"another disk", "OTHER", false, false, false, "", "is not attached"},
          Case{"damaged entry", "SIM0001", true, false, false, "", "damaged"},
          Case{"used since", "SIM0001", false, true, false, "", "written since"},
          Case{"unwritable sector left zeroed", "SIM0001", false, false, false, "BadWrite = 520\n",
               "sector 520: writing failed, and the saved content is not there"},
          Case{"weak sectors", "SIM0001", false, false, true, "Weak = 500-599\n"},
          Case{"uncertain identity", "SIM0001", false, false, false, "UncertainIdentity = yes\n",
               "Drive 0 cannot be recognised for certain; nothing was written"}}) {
        SCOPED_TRACE(c.name);
        platform::MemoryDurableFolder folder;
        {
            // The disk the repair ran on, named for certain or not.
            const bool uncertain = c.faults.starts_with("UncertainIdentity");
            ScanRig crashed("Serial = SIM0001\nBadRead = 510\n" + (uncertain ? c.faults : std::string()), 1000);
            crashed.FillPattern(0, 1000);
            scan::RepairJournal journal(folder);
            disk::DriveAccess& drives = *crashed.drives;
            const platform::Handle handle = drives.OpenDrive(0, disk::OpenProfile::Sector);
            std::string identity;
            ASSERT_TRUE(drives.DriveIdentity(handle, identity));
            drives.CloseDrive(handle);
            journal.Attach(0, identity);
            std::vector<unsigned char> block(100 * 512);
            std::array<bool, scan::kBlockSectors> readable{};
            const std::vector<std::uint8_t> original = crashed.kernel->peekSectors(0, 500, 100);
            std::copy(original.begin(), original.end(), block.begin());
            readable.fill(true);
            readable[10] = false;
            ASSERT_TRUE(journal.Record(500, 100, block.data(), readable));
        }
        if (c.damage) folder.entries().begin()->second[300] ^= 1;

        // The next start: the same machine with the block half zeroed, or another disk.
        ScanRig next("Serial = " + c.machineSerial + "\nBadRead = 510\n" + c.faults, 1000);
        next.FillPattern(0, 1000);
        next.kernel->pokeSectors(0, 500, std::vector<std::uint8_t>(40 * 512, 0));
        if (c.usedSince) next.kernel->pokeSectors(0, 560, std::vector<std::uint8_t>(512, 0x77));
        next.kernel->clearCalls();
        const scan::RecoveryReport report = scan::RecoverPendingRepairs(*next.drives, folder);

        if (c.restored) {
            ASSERT_EQ(report.restored.size(), 1u);
            EXPECT_EQ(report.restored[0].lba, 500);
            EXPECT_EQ(report.restored[0].sectors, 100u);
            EXPECT_THAT(report.unrestored, IsEmpty());
            EXPECT_THAT(folder.entries(), IsEmpty());
            EXPECT_THAT(next.Damaged(0, 1000, {510}), IsEmpty());
            EXPECT_EQ(next.kernel->peekSectors(0, 510, 1), std::vector<std::uint8_t>(512, 0));  // never written
        } else {
            EXPECT_THAT(report.restored, IsEmpty());
            ASSERT_EQ(report.unrestored.size(), 1u);
            EXPECT_EQ(report.unrestored[0].lba, 500);
            EXPECT_NE(report.unrestored[0].reason.find(c.keptReason), std::string::npos) << report.unrestored[0].reason;
            EXPECT_EQ(folder.entries().size(), 1u);
            if (c.faults.starts_with("BadWrite")) {
                // Every other sector got its content back; only the unwritable one is named.
                EXPECT_THAT(next.Damaged(0, 1000, {510}), ::testing::ElementsAre(520));
                continue;
            }
            for (const auto& call : next.kernel->calls()) EXPECT_NE(call.operation, "writeFile");
        }
        EXPECT_EQ(scan::RecoveryLines(report).size(), 1u);
    }
}

}  // namespace
}  // namespace scantest
