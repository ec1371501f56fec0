#pragma once
// The read-time summary printed after a scan: the class counts, then the slowest blocks.
#include <string>

#include "scan/read_timing.h"

namespace app {

// Two lines (Windows-1252, each ending in '\n'): the counts per class and the errors, and the
// slowest blocks (batches by their first block when the scan read in batches).
std::string LatencySummaryText(const scan::ScanLatency& latency);

}  // namespace app
