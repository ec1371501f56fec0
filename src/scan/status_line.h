#pragma once
// The scan's progress figures and the status line shown in the title bar while it runs.
#include <cstddef>
#include <cstdint>

namespace scan {

// p: the block's first sector against the end sector, in percent (above 100 for the blocks past
// the end). An end sector of 0 counts as reached: 100.
double ProgressPercent(std::int64_t position, std::int64_t scanEnd);

struct TimeEstimate {
    std::uint32_t elapsedMinutes = 0;  // minutes past the whole hours
    std::uint32_t elapsedHours = 0;
    std::uint32_t remainingMinutes = 0;  // minutes past the whole hours
    std::int64_t remainingHours = 0;
};

// Elapsed and remaining time from the milliseconds since the start tick, the sectors handled
// (100 per block begun) and the range length (end - start). The remaining time extrapolates
// the elapsed whole minutes over the part of the range handled; a range of length 0, or a
// handled part beyond the range, leaves nothing remaining.
TimeEstimate EstimateTime(std::uint64_t elapsedMs, double sectorsHandled, std::int64_t rangeLength);

// The status line into a caller's buffer (always terminated; 160 bytes always suffice).
void FormatStatusLine(char* out, std::size_t size, double percent, std::int64_t currentLba,
                      const TimeEstimate& time);

}  // namespace scan
