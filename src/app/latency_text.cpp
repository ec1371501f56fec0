#include "app/latency_text.h"

#include <cstdio>

#include "app/scan_summary.h"

namespace app {

const char* ModeName(scan::ScanMode mode) { return mode == scan::ScanMode::Regenerate ? "regenerate" : "standard"; }

const char* LatencyClassName(std::size_t c) {
    static const char* const kNames[scan::kLatencyClasses] = {"lt5ms",   "lt20ms", "lt50ms",
                                                             "lt200ms", "lt600ms", "ge600ms"};
    return c < scan::kLatencyClasses ? kNames[c] : "error";
}

std::string LatencySummaryText(const scan::ScanLatency& latency) {
    static const char* const kLabels[scan::kLatencyClasses] = {"under 5 ms",    "5-20 ms",    "20-50 ms",
                                                              "50-200 ms",     "200-600 ms", "600 ms or more"};
    std::string text = latency.batched ? "Read times (each block's share of its batch read):"
                                       : "Read times (first read of each block):";
    char part[96];
    for (std::size_t c = 0; c < scan::kLatencyClasses; ++c) {
        std::snprintf(part, sizeof part, "%s %s %llu", c == 0 ? "" : ",", kLabels[c],
                      static_cast<unsigned long long>(latency.blocks[c]));
        text += part;
    }
    std::snprintf(part, sizeof part, ", read errors %llu\n", static_cast<unsigned long long>(latency.errors));
    text += part;
    text += latency.batched ? "Slowest batches (first block):" : "Slowest blocks:";
    if (latency.slowestCount == 0) text += " none";
    for (std::size_t i = 0; i < latency.slowestCount; ++i) {
        std::snprintf(part, sizeof part, "%s %lld (%.1f ms)", i == 0 ? "" : ",",
                      static_cast<long long>(latency.slowest[i].lba), latency.slowest[i].ms);
        text += part;
    }
    text += "\n";
    return text;
}

}  // namespace app
