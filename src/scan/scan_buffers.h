#pragma once
// The scan's fixed transfer buffers, allocated once and aligned for direct I/O.
#include <array>
#include <cstdint>

namespace scan {

inline constexpr std::uint32_t kBlockSectors = 100;
inline constexpr std::uint32_t kBlockBytes = kBlockSectors * 512;

struct ScanBuffers {
    alignas(4096) unsigned char block[kBlockBytes];   // the block's content: read, written back, restored
    alignas(4096) unsigned char verify[kBlockBytes];  // re-reads, compared with block
    alignas(4096) unsigned char zeroSector[512];      // all zeros, never changed
    // Sectors of the current block whose content was read while handling it; the others hold
    // zeros in `block` and are never written from it.
    std::array<bool, kBlockSectors> readable;
};

}  // namespace scan
