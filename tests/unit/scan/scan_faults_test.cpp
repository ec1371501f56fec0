// What the scan does to faulty surfaces: what it lists, what it counts as repaired, and that
// every sector it could read keeps its content.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "scan_rig.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using scan::ScanMode;

bool Covers(const Transfer& t, std::uint64_t sector) { return t.sector <= sector && sector < t.sector + t.sectors; }

TEST(ScanFaults, WeakSectorsAreListedAndRepairedInStandardModeWithTheirDataUnchanged) {
    ScanRig rig("Weak = 8000-8099\n", 10000);
    rig.FillPattern(7800, 400);
    const scan::ScanOutcome outcome = rig.Run("7800", "8100");
    EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: 8000"));
    EXPECT_EQ(outcome.message, " Process completed 1 bads found and 1 repaired. ");
    EXPECT_THAT(rig.Damaged(7800, 400), IsEmpty());
    // Healed: the drive now reads back what was written.
    rig.surface.messageBoxes.clear();
    EXPECT_EQ(rig.Run("7800", "8100").message, " Process completed 0 bads found and 0 repaired. ");
    EXPECT_THAT(rig.Damaged(7800, 400), IsEmpty());
}

TEST(ScanFaults, RegenerateRepairsEveryBlockListsOnlyFailuresAndReportsNothingRepaired) {
    ScanRig rig("Weak = 8000-8099\nBadWrite = 8250\n", 10000);
    rig.FillPattern(7900, 500);
    const scan::ScanOutcome outcome = rig.Run("7900", "8200", ScanMode::Regenerate);
    // The weak block's re-read differs, but Regenerate does not compare: only the failed
    // write-back of 8200 makes a block bad.
    EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: 8200"));
    EXPECT_EQ(outcome.message, " Process completed 1 bads found and 0 repaired. ");
    EXPECT_THAT(rig.Damaged(7900, 500), IsEmpty());
}

TEST(ScanFaults, PendingSectorsAreListedRepairedAndReadableAfterwards) {
    ScanRig rig("Pending = 5000-5003\n", 10000);
    rig.FillPattern(4900, 300);
    const scan::ScanOutcome outcome = rig.Run("4900", "5000");
    EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: 5000"));
    // Their content could not be read: they hold zeros now, verified as such.
    EXPECT_EQ(outcome.message, " Process completed 1 bads found and 1 repaired. ");
    EXPECT_THAT(rig.Damaged(4900, 300, {5000, 5001, 5002, 5003}), IsEmpty());
    EXPECT_EQ(rig.kernel->peekSectors(0, 5000, 4), std::vector<std::uint8_t>(4 * 512, 0));

    rig.surface.control(kInfoList).items.clear();
    rig.kernel->clearCalls();
    EXPECT_EQ(rig.Run("4900", "5000").message, " Process completed 0 bads found and 0 repaired. ");
    for (const Transfer& t : rig.Transfers()) EXPECT_TRUE(t.ok);
}

TEST(ScanFaults, UnreadableSectorsAreReadAroundAndNeverWrittenFromStaleData) {
    ScanRig rig("BadRead = 1050\n", 2000);
    rig.FillPattern(0, 2000);
    const scan::ScanOutcome outcome = rig.Run("900", "1100");
    EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: 1000"));
    EXPECT_EQ(outcome.message, " Process completed 1 bads found and 0 repaired. ");
    // Only the unreadable sector lost its (unreadable) content; its 99 neighbours kept theirs.
    EXPECT_THAT(rig.Damaged(0, 2000, {1050}), IsEmpty());

    // Before the zero passes, no write touched the unreadable sector: the write-back covered
    // only the sectors that were read, in two runs around it.
    const std::vector<Transfer> transfers = rig.Transfers();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> writesBeforeZeroing;
    for (const Transfer& t : transfers) {
        if (t.write && t.sectors == 1 && t.sector == 1000) break;  // the first zero pass begins
        if (t.write && Covers(t, 1050)) ADD_FAILURE() << "write of " << t.sectors << " at " << t.sector;
        if (t.write && t.sector >= 1000 && t.sector < 1100) writesBeforeZeroing.emplace_back(t.sector, t.sectors);
    }
    EXPECT_THAT(writesBeforeZeroing, ElementsAre(std::pair<std::uint64_t, std::uint32_t>{1000, 50},
                                                 std::pair<std::uint64_t, std::uint32_t>{1051, 49}));
}

TEST(ScanFaults, UnreadableBlockIsNotCountedRepairedInEitherMode) {
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
        ScanRig rig("BadRead = 70000-70015\n", 80000);
        rig.FillPattern(69900, 300);
        const scan::ScanOutcome outcome = rig.Run("69900", "70000", mode);
        EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: 70000"));
        EXPECT_EQ(outcome.message, " Process completed 1 bads found and 0 repaired. ");
        std::set<std::uint64_t> unreadable;
        for (std::uint64_t s = 70000; s <= 70015; ++s) unreadable.insert(s);
        EXPECT_THAT(rig.Damaged(69900, 300, unreadable), IsEmpty());
    }
}

TEST(ScanFaults, UnwritableBlockIsListedNotRepairedAndRestoredSectorBySector) {
    ScanRig rig("BadWrite = 90050\n", 100000);
    rig.FillPattern(89900, 300);
    const scan::ScanOutcome outcome = rig.Run("89900", "90000");
    EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: 90000"));
    EXPECT_EQ(outcome.message, " Process completed 1 bads found and 0 repaired. ");
    // The restoring write of the whole block fails, so each sector gets its content back alone:
    // no neighbour of the unwritable sector is left holding zeros.
    EXPECT_THAT(rig.Damaged(89900, 300), IsEmpty());

    const std::vector<Transfer> transfers = rig.Transfers();
    std::size_t restore = 0;
    for (std::size_t i = 0; i < transfers.size(); ++i)
        if (transfers[i].write && transfers[i].sector == 90000 && transfers[i].sectors == 100) restore = i;
    ASSERT_GT(restore, 0u);
    EXPECT_FALSE(transfers[restore].ok);
    std::vector<std::uint64_t> sectorWrites;
    for (std::size_t i = restore + 1; i < transfers.size() && transfers[i].write; ++i)
        sectorWrites.push_back(transfers[i].sector);
    ASSERT_EQ(sectorWrites.size(), 100u);
    for (std::uint64_t k = 0; k < 100; ++k) EXPECT_EQ(sectorWrites[k], 90000 + k);
}

TEST(ScanFaults, ZeroPassesRepositionAfterAFailedWriteAndCoverEverySectorOnce) {
    ScanRig rig("BadWrite = 90050\n", 100000);
    rig.FillPattern(90000, 100);
    rig.Run("90000", "90000", ScanMode::Regenerate);
    // Pass one: the 100 single-sector writes of zeros land on 90000..90099 in order.
    std::vector<std::uint64_t> firstPass;
    for (const Transfer& t : rig.Transfers()) {
        if (t.write && t.sectors == 1 && t.sector >= 90000 && t.sector < 90100) firstPass.push_back(t.sector);
        if (firstPass.size() == 100) break;
    }
    ASSERT_EQ(firstPass.size(), 100u);
    for (std::uint64_t k = 0; k < 100; ++k) EXPECT_EQ(firstPass[k], 90000 + k);
}

// Weak sectors sharing a block with unreadable or unwritable ones, at the block's edges too.
// `stopIn` is the block whose zero passes a Stop interrupts in the stopped variant.
struct MixedFaults {
    const char* faults;
    std::set<std::uint64_t> unreadable;
    std::uint64_t stopIn;
};

const MixedFaults kMixedFaults[] = {
    {"Pending = 1050\nWeak = 1010\n", {1050}, 1000},
    {"BadRead = 1000\nWeak = 1099\n", {1000}, 1000},
    {"Pending = 1099\nWeak = 1000\n", {1099}, 1000},
    {"BadRead = 1050\nWeak = 1000-1049\nBadWrite = 1075\n", {1050}, 1000},
    {"BadRead = 1050\nBadWrite = 1460\nPending = 1720-1721\nWeak = 1300-1399\n", {1050, 1720, 1721}, 1300},
};

// Every sector the scan could read ends with its content, whatever else fails in its block, in
// both modes, also when a Stop during the zero passes is followed by a resume from the saved
// position in the same process; sectors that could not be read end as zeros.
TEST(ScanFaults, EverySectorKeepsItsContentAfterMixedFaultsInOneBlock) {
    for (const MixedFaults& mix : kMixedFaults) {
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
            for (bool stopped : {false, true}) {
                SCOPED_TRACE(std::string(mix.faults) + (mode == ScanMode::Standard ? "standard" : "regenerate") +
                             (stopped ? ", stopped and resumed" : ""));
                ScanRig rig(mix.faults, 2000);
                rig.FillPattern(0, 2000);
                if (stopped) {
                    // Stop right after the first zero pass wrote the block's sixth sector.
                    rig.surface.onPump = [&](int) {
                        const auto& calls = rig.kernel->calls();
                        if (!calls.empty() && calls.back().operation == "writeFile" && calls.back().bytes == 512 &&
                            calls.back().offset == (mix.stopIn + 5) * 512)
                            rig.state.stopRequested = true;
                    };
                    ASSERT_EQ(rig.Run("0", "2000", mode).completed, false);
                    ASSERT_EQ(rig.state.currentLba, static_cast<std::int64_t>(mix.stopIn));
                    rig.surface.onPump = nullptr;
                    rig.Run(std::to_string(rig.state.currentLba), "2000", mode);
                } else {
                    rig.Run("0", "2000", mode);
                }
                EXPECT_THAT(rig.Damaged(0, 2000, mix.unreadable), IsEmpty());
                for (std::uint64_t s : mix.unreadable)
                    EXPECT_EQ(rig.kernel->peekSectors(0, s, 1), std::vector<std::uint8_t>(512, 0)) << s;
            }
        }
    }
}

TEST(ScanDriveEnd, WholeDriveScanOfAHealthyDriveStopsAtItsLastSector) {
    ScanRig rig("", 1050);
    rig.FillPattern(0, 1050);
    const scan::ScanOutcome outcome = rig.Run("0", "1050");
    EXPECT_EQ(outcome.message, " Process completed 0 bads found and 0 repaired. ");
    EXPECT_THAT(rig.ListEntries(), IsEmpty());
    for (const Transfer& t : rig.Transfers()) {
        EXPECT_LE(t.sector + t.sectors, 1050u) << t.sectors << " at " << t.sector;
        EXPECT_TRUE(t.ok);
    }
    // The block that crosses the end is transferred up to the end.
    const std::vector<Transfer> transfers = rig.Transfers();
    ASSERT_GE(transfers.size(), 3u);
    EXPECT_EQ(transfers.back().sector, 1000u);
    EXPECT_EQ(transfers.back().sectors, 50u);
    EXPECT_THAT(rig.Damaged(0, 1050), IsEmpty());
    // The loop and its margin are unchanged: blocks past the end still show their status line.
    EXPECT_EQ(rig.state.currentLba, 1100);
}

TEST(ScanDriveEnd, RegeneratePastTheEndWritesNothingThere) {
    ScanRig rig("", 1050);
    rig.FillPattern(0, 1050);
    const scan::ScanOutcome outcome = rig.Run("900", "1050", ScanMode::Regenerate);
    EXPECT_EQ(outcome.message, " Process completed 0 bads found and 0 repaired. ");
    for (const Transfer& t : rig.Transfers()) EXPECT_LE(t.sector + t.sectors, 1050u);
    EXPECT_THAT(rig.Damaged(0, 1050), IsEmpty());
}

TEST(ScanDriveEnd, DriveBeyondTwoToTheThirtyTwoSectorsIsScannedAtTheRightOffsets) {
    const std::uint64_t base = std::uint64_t{1} << 32;
    ScanRig rig("BadRead = " + std::to_string(base + 620) + "\n", base + 1000);
    rig.FillPattern(base + 400, 600);
    const scan::ScanOutcome outcome = rig.Run(std::to_string(base + 450), std::to_string(base + 1000));
    EXPECT_THAT(rig.ListEntries(), ElementsAre("Bad sector LBA: " + std::to_string(base + 550)));
    EXPECT_EQ(outcome.message, " Process completed 1 bads found and 0 repaired. ");
    EXPECT_EQ(rig.state.currentLba, static_cast<std::int64_t>(base + 1050));

    std::vector<std::uint64_t> blockReads;
    for (const Transfer& t : rig.Transfers()) {
        EXPECT_LE(t.sector + t.sectors, base + 1000);
        if (!t.write && t.sectors > 1 && (blockReads.empty() || blockReads.back() != t.sector))
            blockReads.push_back(t.sector);
    }
    EXPECT_THAT(blockReads, ElementsAre(base + 450, base + 550, base + 650, base + 750, base + 850, base + 950));
    // The byte offsets reached the drive with their high part.
    bool sawHighSeek = false;
    for (const auto& call : rig.kernel->calls())
        if (call.operation == "setFilePointer" && call.offset == (base + 950) * 512) sawHighSeek = call.hadHighPointer;
    EXPECT_TRUE(sawHighSeek);
    EXPECT_THAT(rig.Damaged(base + 400, 600, {base + 620}), IsEmpty());
    EXPECT_NE(rig.surface.titles.front().find("Sector: " + std::to_string(base + 450)), std::string::npos);
}

}  // namespace
}  // namespace scantest
