#pragma once
// The 512-byte pages a simulated ATA drive answers: IDENTIFY DEVICE data, the S.M.A.R.T.
// value page and the threshold page, laid out as the ATA standard defines them.
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/sim/machine_description.h"

namespace platform::sim {

using Page = std::array<std::uint8_t, 512>;

struct DriveGeometry {
    std::int64_t cylinders = 0;
    DWORD tracksPerCylinder = 0;
    DWORD sectorsPerTrack = 0;
};

// The geometry the drive reports: the Geometry key, or one whose product is exactly the
// sector count (sectors per track and heads the largest divisors up to 63 and 255).
DriveGeometry geometryOf(const DriveSpec& drive);

// Writes text into words first.. of an ATA page: two characters per word, the first in the
// high byte, words little-endian, padded with spaces to width characters.
void putAtaText(Page& page, std::size_t firstWord, std::size_t width, std::string_view text);

Page identifyPage(const DriveSpec& drive, const DriveGeometry& geometry);
Page valuePage(const DriveSpec& drive);
Page thresholdPage(const DriveSpec& drive);

}  // namespace platform::sim
