#pragma once
// The fixed sizes the whole program shares, so each is written once.
#include <cstdint>

namespace platform {

// Physical drives are \\.\PHYSICALDRIVE0 to \\.\PHYSICALDRIVE49.
inline constexpr int kDriveNumbers = 50;
// Every transfer, position and count of the drive layer is in sectors of this many bytes.
inline constexpr std::uint32_t kSectorBytes = 512;
// The scan reads, writes back, re-reads and judges this many sectors at a time.
inline constexpr std::uint32_t kBlockSectors = 100;
// Drives the drive table holds at most.
inline constexpr int kDriveTableSlots = 32;

}  // namespace platform
