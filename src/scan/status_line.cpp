#include "scan/status_line.h"

#include <cstdio>

#include "scan/scan_texts.h"

namespace scan {

double ProgressPercent(std::int64_t position, std::int64_t scanEnd) {
    if (scanEnd <= 0) return 100.0;
    return static_cast<double>(position) * 100.0 / static_cast<double>(scanEnd);
}

TimeEstimate EstimateTime(std::uint64_t elapsedMs, double sectorsHandled, std::int64_t rangeLength) {
    TimeEstimate time;
    const double minutes = static_cast<double>(elapsedMs) * 0.001 * (1.0 / 60.0);
    time.elapsedHours = static_cast<std::uint32_t>(minutes * (1.0 / 60.0));
    time.elapsedMinutes = time.elapsedHours != 0
                              ? static_cast<std::uint32_t>(minutes - 60.0 * time.elapsedHours)
                              : static_cast<std::uint32_t>(minutes);
    const std::uint32_t elapsedWhole = time.elapsedMinutes + 60u * time.elapsedHours;
    if (rangeLength <= 0) return time;

    const double handledPercent = sectorsHandled * 100.0 / static_cast<double>(rangeLength);
    const std::uint32_t scaled = elapsedWhole * 100u;  // unsigned 32-bit, as the estimate has always formed it
    const double remaining = static_cast<double>(scaled) / handledPercent - static_cast<double>(elapsedWhole);
    // Past the end of the range the extrapolation turns negative: nothing remains.
    std::int64_t remainingWhole = 0;
    if (remaining >= 1e15)
        remainingWhole = 1'000'000'000'000'000;
    else if (remaining > 0)
        remainingWhole = static_cast<std::int64_t>(remaining);
    time.remainingHours = remainingWhole / 60;
    time.remainingMinutes = static_cast<std::uint32_t>(remainingWhole - 60 * time.remainingHours);
    return time;
}

void FormatStatusLine(char* out, std::size_t size, double percent, std::int64_t currentLba,
                      const TimeEstimate& time) {
    std::snprintf(out, size, texts::kStatusLine, percent, '%', static_cast<long long>(currentLba),
                  time.elapsedMinutes, time.elapsedHours, time.remainingMinutes,
                  static_cast<long long>(time.remainingHours));
}

}  // namespace scan
