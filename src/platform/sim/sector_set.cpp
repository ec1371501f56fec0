#include "platform/sim/sector_set.h"

#include <iterator>
#include <limits>

namespace platform::sim {

void SectorSet::add(std::uint64_t first, std::uint64_t last) {
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    // Merge with every range that overlaps or touches first..last.
    auto it = ranges_.upper_bound(first);
    if (it != ranges_.begin()) {
        auto previous = std::prev(it);
        if (previous->second == kMax || previous->second + 1 >= first) it = previous;
    }
    while (it != ranges_.end() && (last == kMax || it->first <= last + 1)) {
        if (it->first < first) first = it->first;
        if (it->second > last) last = it->second;
        it = ranges_.erase(it);
    }
    ranges_.emplace(first, last);
}

void SectorSet::remove(std::uint64_t first, std::uint64_t last) {
    auto it = ranges_.upper_bound(first);
    if (it != ranges_.begin()) --it;
    while (it != ranges_.end() && it->first <= last) {
        const std::uint64_t from = it->first;
        const std::uint64_t to = it->second;
        if (to < first) {
            ++it;
            continue;
        }
        it = ranges_.erase(it);
        if (from < first) ranges_.emplace(from, first - 1);
        if (to > last) ranges_.emplace(last + 1, to);
    }
}

bool SectorSet::intersects(std::uint64_t first, std::uint64_t last) const {
    auto it = ranges_.upper_bound(last);
    if (it == ranges_.begin()) return false;
    --it;
    return it->second >= first;
}

std::uint64_t SectorSet::lowestIn(std::uint64_t first, std::uint64_t last) const {
    auto it = ranges_.upper_bound(first);
    if (it != ranges_.begin() && std::prev(it)->second >= first) return first;
    return it != ranges_.end() && it->first <= last ? it->first : last;
}

}  // namespace platform::sim
