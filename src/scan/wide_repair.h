#pragma once
// Repair of a block on a drive whose physical sector is larger than 512 bytes. Such a drive
// reads and writes a physical sector only as a whole: a write covering part of one it cannot
// read fails (the drive would have to read the rest first), so zeros written sector by sector
// never reach it. Wherever a physical sector holds a sector of the block that could not be
// read, the zero passes and the restoring write cover it whole, aligned, even where it
// reaches into a neighbouring block; the neighbour's sectors in it that read are written back
// with their own content, those that do not get zeros. Every other sector is handled as the
// block repair handles it.
#include <cstdint>

#include "disk/drive_access.h"
#include "platform/surface.h"
#include "scan/block_io.h"
#include "scan/block_repair.h"
#include "scan/scan_buffers.h"

namespace scan {

// Where physical sectors lie, in 512-byte sectors: `perSector` to each, the first boundary at
// `alignment` (the sectors before it form one physical sector).
struct PhysicalLayout {
    std::uint32_t perSector = 1;
    std::uint32_t alignment = 0;

    std::int64_t FirstOf(std::int64_t sector) const;
    std::int64_t EndOf(std::int64_t sector) const;  // one past its last sector
};

// The layout from the drive's answer: the larger of its logical and physical sector. A drive
// that reports nothing usable, or units above 64 KiB, is taken as 512-byte sectors.
PhysicalLayout PhysicalLayoutOf(const disk::SectorSizes& sizes);

class WideRepair {
public:
    WideRepair(BlockIo& io, ScanBuffers& buffers, platform::Surface* surface, const bool& stopRequested);

    // Sets up the window for the block whose content and read sectors are in buffers.block and
    // buffers.readable, reading the neighbours' sectors it takes in. False when no physical
    // sector needs covering whole: the block is repaired as usual.
    bool Open(const PhysicalLayout& layout, std::int64_t lba, std::uint32_t sectors);
    std::int64_t first() const { return first_; }
    std::uint32_t sectors() const { return sectors_; }
    const unsigned char* content() const { return wide_.content; }
    const std::array<bool, kWideSectors>& readable() const { return wide_.readable; }

    // Two zero passes over the window, its content written back (a failed run piece by piece),
    // then a flush when flush is set.
    RewriteOutcome Rewrite(bool flush);
    // One re-read of the window equal to what was written: content, zeros where written whole
    // without content.
    bool ReadBack();
    // Every read sector of the window re-read run by run equals its content.
    bool ReadContentBack();

private:
    void ReadNeighbours(std::uint32_t from, std::uint32_t to);
    void ZeroPass();
    bool WriteContent();
    std::uint32_t PieceAt(std::uint32_t i) const;  // sectors written as one from window sector i
    void Pump();

    BlockIo& io_;
    ScanBuffers::WideWindow& wide_;
    const ScanBuffers& buffers_;
    platform::Surface* surface_;
    const bool& stopRequested_;
    PhysicalLayout layout_;
    std::int64_t first_ = 0;
    std::uint32_t sectors_ = 0;
};

}  // namespace scan
