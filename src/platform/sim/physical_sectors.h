#pragma once
// Where a simulated drive's physical sectors lie: the logical sectors before the first
// boundary form one, as do those after the last whole one.
#include <algorithm>
#include <cstdint>

#include "platform/sim/sector_set.h"

namespace platform::sim {

class PhysicalSectors {
  public:
    PhysicalSectors(std::uint64_t sectors, std::uint32_t perPhysical, std::uint32_t alignment)
        : sectors_(sectors), per_(perPhysical), alignment_(alignment) {}

    // The first and last logical sector of the physical sector that holds `sector`.
    std::uint64_t firstOf(std::uint64_t sector) const {
        if (sector < alignment_) return 0;
        return alignment_ + (sector - alignment_) / per_ * per_;
    }
    std::uint64_t lastOf(std::uint64_t sector) const {
        const std::uint64_t end = sector < alignment_ ? alignment_ : firstOf(sector) + per_;
        return std::min(end, sectors_) - 1;
    }
    // The set grown to the whole physical sectors its members lie in.
    SectorSet widened(const SectorSet& set) const {
        SectorSet whole;
        set.forEachRange([&](std::uint64_t first, std::uint64_t last) { whole.add(firstOf(first), lastOf(last)); });
        return whole;
    }
    // Whether first..last covers part, but not all, of a physical sector in `set`: only the
    // physical sectors at its two ends can be cut.
    bool cutsInto(const SectorSet& set, std::uint64_t first, std::uint64_t last) const {
        const auto cut = [&](std::uint64_t sector) {
            const std::uint64_t from = firstOf(sector), to = lastOf(sector);
            return (from < first || to > last) && set.intersects(from, to);
        };
        return per_ > 1 && (cut(first) || cut(last));
    }

  private:
    std::uint64_t sectors_;
    std::uint32_t per_;
    std::uint32_t alignment_;
};

}  // namespace platform::sim
