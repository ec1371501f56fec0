#pragma once
// A set of sector numbers kept as merged inclusive ranges, so a fault list such as
// "0-4000000000" costs one entry and lookups stay logarithmic.
#include <cstdint>
#include <map>

namespace platform::sim {

class SectorSet {
  public:
    // Adds the sectors first..last (inclusive, first <= last).
    void add(std::uint64_t first, std::uint64_t last);
    // Removes the sectors first..last (inclusive) where present.
    void remove(std::uint64_t first, std::uint64_t last);
    // Whether any sector of first..last is in the set.
    bool intersects(std::uint64_t first, std::uint64_t last) const;
    bool contains(std::uint64_t sector) const { return intersects(sector, sector); }
    // The lowest member of first..last; only meaningful when intersects(first, last).
    std::uint64_t lowestIn(std::uint64_t first, std::uint64_t last) const;
    bool empty() const { return ranges_.empty(); }
    // The highest sector in the set; only meaningful when not empty.
    std::uint64_t highest() const { return ranges_.rbegin()->second; }

    // Calls visit(sector) for every member in first..last, in increasing order.
    template <typename Visit>
    void forEachIn(std::uint64_t first, std::uint64_t last, Visit visit) const {
        auto it = ranges_.upper_bound(first);
        if (it != ranges_.begin()) --it;
        for (; it != ranges_.end() && it->first <= last; ++it) {
            const std::uint64_t from = it->first > first ? it->first : first;
            const std::uint64_t to = it->second < last ? it->second : last;
            for (std::uint64_t s = from; s <= to && from <= to; ++s) {
                visit(s);
                if (s == to) break;
            }
        }
    }

    // Calls visit(first, last) for every range of members, in increasing order.
    template <typename Visit>
    void forEachRange(Visit visit) const {
        for (const auto& [first, last] : ranges_) visit(first, last);
    }

  private:
    std::map<std::uint64_t, std::uint64_t> ranges_;  // first -> last, disjoint, not adjacent
};

}  // namespace platform::sim
