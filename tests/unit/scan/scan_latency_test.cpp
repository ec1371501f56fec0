// Read times: on a drive with slow ranges in every class and unreadable blocks, the class counts,
// the errors, the slowest list and the unreadable cells are exact in both modes, block by block
// and in batches (where each block of a successful batch read gets the batch's time divided by
// its blocks, and a failed batch's blocks are timed by their own reads). The simulated delays
// advance the test's clock instead of sleeping.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "scan_rig.h"

namespace scantest {
namespace {

using scan::ScanMode;

constexpr const char* kFaults =
    "SlowRead = 500-599:10, 800:30, 1000-1099:100, 1200:300, 1500:700, 1600:400, 1650:300, "
    "2500-2599:120, 4100:3000\n"
    "BadRead = 4050, 4210\n";

struct Expected {
    std::uint32_t transferMib;
    std::array<std::uint64_t, 6> blocks;
    std::uint64_t errors;
    std::vector<std::pair<std::int64_t, double>> slowestFirst;  // the head of the slowest list
};

TEST(ScanLatency, ClassCountsSlowestBlocksAndUnreadableCellsAreExact) {
    const std::vector<Expected> cases = {
        // Block by block: each block in the class of its own delays (1600 and 1650 add up).
        {0, {50, 1, 1, 2, 1, 3}, 2,
         {{4100, 3000}, {1500, 700}, {1600, 700}, {1200, 300}, {2500, 120}, {1000, 100}, {800, 30}, {500, 10}}},
        // Batches of 16 blocks: 1140 ms over blocks 0-15, 820 ms over 16-31; the batch of 32-47
        // fails at 4050 and its blocks are read one by one; 48-59 is the short last batch.
        {1, {25, 0, 0, 32, 0, 1}, 2, {{4100, 3000}, {0, 71.25}, {1600, 51.25}}},
    };
    for (const Expected& expected : cases) {
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
            SCOPED_TRACE(testing::Message() << "transfer MiB " << expected.transferMib << ", mode "
                                            << (mode == ScanMode::Standard ? "standard" : "regenerate"));
            ScanRig rig(kFaults, 6000);
            rig.kernel->setPause([&rig](std::chrono::microseconds wait) { rig.clock.counter += wait.count(); });
            rig.engine->SetTransferMib(expected.transferMib);
            const scan::ScanOutcome outcome = rig.Run("0", "6000", mode);
            ASSERT_TRUE(outcome.completed) << Messages(rig.surface);
            const scan::ScanLatency& latency = outcome.latency;
            EXPECT_EQ(latency.batched, expected.transferMib > 0);
            EXPECT_EQ(latency.blocks, expected.blocks);
            EXPECT_EQ(latency.errors, expected.errors);
            EXPECT_EQ(latency.Total(), 60u);
            ASSERT_EQ(latency.slowestCount, scan::kSlowestKept);
            for (std::size_t i = 0; i < expected.slowestFirst.size(); ++i) {
                EXPECT_EQ(latency.slowest[i].lba, expected.slowestFirst[i].first) << "slowest " << i;
                EXPECT_DOUBLE_EQ(latency.slowest[i].ms, expected.slowestFirst[i].second) << "slowest " << i;
            }
            std::vector<std::uint32_t> unreadable;
            for (std::uint32_t c = 0; c < outcome.map.cells; ++c)
                if (outcome.map.cell[c] & scan::SurfaceMap::kUnreadable) unreadable.push_back(c);
            EXPECT_EQ(outcome.map.cells, 60u);
            EXPECT_EQ(unreadable, (std::vector<std::uint32_t>{40, 42}));
        }
    }
}

}  // namespace
}  // namespace scantest

namespace scantest {
namespace {

// Any range fits the fixed cells: at most kMapCells of them, covering every block exactly.
TEST(ScanLatency, SurfaceMapCellsCoverEveryBlockOfAnyRangeWithinTheFixedCount) {
    const std::int64_t fourTerabytes = std::int64_t{4'000'000'000'000} / 512;
    for (std::int64_t blocks : {std::int64_t{0}, std::int64_t{1}, std::int64_t{9999}, std::int64_t{10000},
                                std::int64_t{10001}, std::int64_t{20001}, fourTerabytes / 100 + 1}) {
        scan::SurfaceMap map;
        map.Lay(700, 700 + blocks * 100 - (blocks > 0 ? 99 : 0));
        SCOPED_TRACE(blocks);
        EXPECT_LE(map.cells, scan::kMapCells);
        EXPECT_GE(static_cast<std::int64_t>(map.cells) * map.blocksPerCell, blocks);
        if (blocks == 0) continue;
        EXPECT_EQ(map.CellOf(700), 0u);
        EXPECT_EQ(map.CellOf(700 + (blocks - 1) * 100), map.cells - 1);
    }
}

}  // namespace
}  // namespace scantest
