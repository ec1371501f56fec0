#pragma once
// The surface map of a scan as a standalone SVG document: one cell per block or group of
// blocks coloured by the slowest read in it, unreadable and repaired cells marked apart, a
// legend with the counts, a histogram of the classes and a title naming drive, range, mode
// and date. Written by hand: plain text, no library.
#include <string>

#include "app/scan_summary.h"

namespace app {

// The whole document (UTF-8). Cells are <rect class="cell">; legend entries carry
// data-class and data-count.
std::string SurfaceMapSvg(const ScanSummary& summary);

}  // namespace app
