#pragma once
// The scan's fixed transfer buffers, allocated once and aligned for direct I/O.
#include <array>
#include <cstdint>

#include "platform/limits.h"

namespace scan {

inline constexpr std::uint32_t kBlockSectors = platform::kBlockSectors;
inline constexpr std::uint32_t kBlockBytes = kBlockSectors * platform::kSectorBytes;
// The largest physical sector a repair covers whole: 64 KiB, 128 logical sectors of 512 bytes.
inline constexpr std::uint32_t kMaxPhysicalSectors = 128;
// A block and the parts of the physical sectors at its two ends that reach past it.
inline constexpr std::uint32_t kWideSectors = kBlockSectors + 2 * (kMaxPhysicalSectors - 1);

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
    // A repair widened to the whole physical sectors that hold a sector of the block that
    // could not be read: those are written whole, with zeros where nothing could be read.
    struct WideWindow {
        alignas(4096) unsigned char content[kWideSectors * 512];
        alignas(4096) unsigned char verify[kWideSectors * 512];
        alignas(4096) unsigned char zeroUnit[kMaxPhysicalSectors * 512];  // all zeros, never changed
        std::array<bool, kWideSectors> readable{};
        std::array<bool, kWideSectors> whole{};  // in a physical sector written whole
    } wide;
};

}  // namespace scan
