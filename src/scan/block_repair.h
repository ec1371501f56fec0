#pragma once
// The steps that repair one block from content held in memory: two passes of zeros over the
// block, the content written back (sector by sector where a run fails), a flush, a read-back.
// The scan and the replay of a journal entry both use them, so a replay repairs as a scan does.
#include <array>
#include <cstdint>

#include "platform/surface.h"
#include "scan/block_io.h"
#include "scan/scan_buffers.h"

namespace scan {

struct RewriteOutcome {
    bool written = false;  // every read sector was written back, if need be one by one
    bool durable = false;  // flushed when a flush was asked for
};

class BlockRepair {
public:
    // The content is buffers.block, its read sectors buffers.readable; re-reads go to
    // buffers.verify. surface, when set, handles a message between steps; stopRequested ends a
    // zero pass early (the content still goes back).
    BlockRepair(BlockIo& io, ScanBuffers& buffers, platform::Surface* surface, const bool& stopRequested);

    // Two zero passes over the block, then its content written back with the sector-by-sector
    // fallback, then a flush when flush is set.
    RewriteOutcome Rewrite(std::int64_t lba, std::uint32_t sectors, bool flush);
    // Writes the read sectors back, one write per run; a failed run goes sector by sector when asked.
    bool WriteContent(std::int64_t lba, std::uint32_t sectors, bool sectorBySectorOnFailure);
    // One re-read of the whole block, equal to the content in every sector.
    bool ReadBack(std::int64_t lba, std::uint32_t sectors);
    // Every read sector re-read run by run equals its content.
    bool ReadContentBack(std::int64_t lba, std::uint32_t sectors);
    // The verify buffer equals the content over the first `sectors` sectors.
    bool MatchesContent(std::uint32_t sectors) const;
    // Marks the read sectors that do not hold their content, judged run by run and, where a run
    // differs or fails, sector by sector with a second read (a sector's first read after a
    // write may come out changed). False when any is marked; `unreadable` tells which failed to read.
    bool ReadEverySectorBack(std::int64_t lba, std::uint32_t sectors, std::array<bool, kBlockSectors>& notRestored,
                             std::array<bool, kBlockSectors>& unreadable);
    // The sectors whose sector-by-sector write failed in the last Rewrite.
    const std::array<bool, kBlockSectors>& unwritten() const { return unwritten_; }

private:
    bool WriteSectorBySector(std::int64_t lba, std::uint32_t from, std::uint32_t to);
    void ZeroPass(std::int64_t lba, std::uint32_t sectors);
    void Pump();

    BlockIo& io_;
    ScanBuffers& buffers_;
    platform::Surface* surface_;
    const bool& stopRequested_;
    std::array<bool, kBlockSectors> unwritten_{};
};

}  // namespace scan
