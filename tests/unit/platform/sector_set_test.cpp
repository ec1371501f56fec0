// The range set behind the fault lists: merging, splitting on heal, 64-bit edges.
#include "platform/sim/sector_set.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace platform::sim {
namespace {

std::vector<std::uint64_t> members(const SectorSet& set, std::uint64_t first, std::uint64_t last) {
    std::vector<std::uint64_t> out;
    set.forEachIn(first, last, [&](std::uint64_t s) { out.push_back(s); });
    return out;
}

TEST(SectorSet, OverlappingAndAdjacentRangesMergeAndHealingSplitsThem) {
    SectorSet set;
    set.add(5, 10);
    set.add(8, 20);
    set.add(21, 21);
    set.add(30, 31);
    EXPECT_TRUE(set.intersects(0, 5));
    EXPECT_FALSE(set.intersects(0, 4));
    EXPECT_TRUE(set.contains(21));
    EXPECT_FALSE(set.intersects(22, 29));
    EXPECT_EQ(set.highest(), 31u);

    set.remove(7, 29);
    EXPECT_EQ(members(set, 0, 100), (std::vector<std::uint64_t>{5, 6, 30, 31}));
    set.remove(0, 100);
    EXPECT_TRUE(set.empty());
}

TEST(SectorSet, WorksAtTheTopOfThe64BitRange) {
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    SectorSet set;
    set.add(kMax - 2, kMax);
    set.add(kMax - 5, kMax - 3);
    EXPECT_EQ(members(set, kMax - 10, kMax),
              (std::vector<std::uint64_t>{kMax - 5, kMax - 4, kMax - 3, kMax - 2, kMax - 1, kMax}));
    set.remove(kMax, kMax);
    EXPECT_EQ(set.highest(), kMax - 1);
    EXPECT_FALSE(set.contains(kMax));
    EXPECT_TRUE(set.intersects(0, kMax));
}

}  // namespace
}  // namespace platform::sim
