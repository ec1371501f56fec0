#pragma once
// The runs of consecutive sectors of a block whose content was read: only those are ever written
// back from saved content, since the others hold no content of their own.
#include <array>
#include <cstdint>

#include "scan/scan_buffers.h"

namespace scan {

// Calls visit(from, to) for each run [from, to) of read sectors among the first `sectors`, in
// order, until it returns false. False when a visit did.
template <std::size_t N, typename Visit>
bool ForEachReadRun(const std::array<bool, N>& readable, std::uint32_t sectors, Visit visit) {
    std::uint32_t i = 0;
    while (i < sectors) {
        if (!readable[i]) {
            ++i;
            continue;
        }
        std::uint32_t runEnd = i;
        while (runEnd < sectors && readable[runEnd]) ++runEnd;
        if (!visit(i, runEnd)) return false;
        i = runEnd;
    }
    return true;
}

}  // namespace scan
