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
    // The content of the block a stopped scan left, as read before that scan wrote to it. Its last
    // write may have left a sector whose next read comes out wrong, so the next scan that reads
    // these sectors takes them from here instead of from the drive.
    struct StoppedBlock {
        int drive = -1;
        std::int64_t lba = 0;
        std::uint32_t sectors = 0;
        std::array<bool, kBlockSectors> unused{};  // sectors whose content is still to be taken
        alignas(4096) unsigned char content[kBlockBytes];
    } stopped;
};

}  // namespace scan
