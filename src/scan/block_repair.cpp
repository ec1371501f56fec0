#include "scan/block_repair.h"

#include <cstring>

#include "scan/pump.h"
#include "scan/read_runs.h"

namespace scan {
namespace {

constexpr std::size_t kSector = 512;

}  // namespace

BlockRepair::BlockRepair(BlockIo& io, ScanBuffers& buffers, platform::Surface* surface, const bool& stopRequested)
    : io_(io), buffers_(buffers), surface_(surface), stopRequested_(stopRequested) {}

RewriteOutcome BlockRepair::Rewrite(std::int64_t lba, std::uint32_t sectors, bool flush) {
    unwritten_.fill(false);
    ZeroPass(lba, sectors);
    ZeroPass(lba, sectors);
    Pump();
    // The content goes back even when a pass ended early for a stop.
    RewriteOutcome outcome;
    outcome.written = WriteContent(lba, sectors, true);
    outcome.durable = !flush || io_.Flush();
    return outcome;
}

bool BlockRepair::WriteContent(std::int64_t lba, std::uint32_t sectors, bool sectorBySectorOnFailure) {
    bool allWritten = true;
    // One write for the whole block when every sector was read, else one per run of read sectors.
    ForEachReadRun(buffers_.readable, sectors, [&](std::uint32_t from, std::uint32_t to) {
        if (!io_.WriteAt(lba + from, buffers_.block + from * kSector, to - from)) {
            const bool recovered = sectorBySectorOnFailure && WriteSectorBySector(lba, from, to);
            allWritten = allWritten && recovered;
        }
        return true;
    });
    return allWritten;
}

bool BlockRepair::WriteSectorBySector(std::int64_t lba, std::uint32_t from, std::uint32_t to) {
    // One unwritable sector must not leave its neighbours holding zeros.
    bool allWritten = true;
    for (std::uint32_t i = from; i < to; ++i)
        if (!io_.WriteAt(lba + i, buffers_.block + i * kSector, 1)) {
            unwritten_[i] = true;
            allWritten = false;
        }
    return allWritten;
}

void BlockRepair::ZeroPass(std::int64_t lba, std::uint32_t sectors) {
    if (sectors == 0) return;
    bool positioned = io_.Seek(lba);
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (stopRequested_) return;
        Pump();
        // After a failed write the position is unknown; never write zeros anywhere but here.
        if (!positioned) positioned = io_.Seek(lba + i);
        if (positioned && !io_.Write(buffers_.zeroSector, 1)) positioned = false;
    }
}

bool BlockRepair::ReadBack(std::int64_t lba, std::uint32_t sectors) {
    return io_.ReadAt(lba, buffers_.verify, sectors) && MatchesContent(sectors);
}

bool BlockRepair::ReadContentBack(std::int64_t lba, std::uint32_t sectors) {
    // Sectors that could not be read hold zeros in the buffer and are not compared.
    return ForEachReadRun(buffers_.readable, sectors, [&](std::uint32_t from, std::uint32_t to) {
        const std::size_t offset = from * kSector;
        return io_.ReadAt(lba + from, buffers_.verify + offset, to - from) &&
               std::memcmp(buffers_.block + offset, buffers_.verify + offset, (to - from) * kSector) == 0;
    });
}

bool BlockRepair::ReadEverySectorBack(std::int64_t lba, std::uint32_t sectors,
                                      std::array<bool, kBlockSectors>& notRestored,
                                      std::array<bool, kBlockSectors>& unreadable) {
    notRestored.fill(false);
    unreadable.fill(false);
    bool all = true;
    ForEachReadRun(buffers_.readable, sectors, [&](std::uint32_t from, std::uint32_t to) {
        const std::size_t offset = from * kSector;
        if (io_.ReadAt(lba + from, buffers_.verify + offset, to - from) &&
            std::memcmp(buffers_.block + offset, buffers_.verify + offset, (to - from) * kSector) == 0)
            return true;
        for (std::uint32_t i = from; i < to; ++i) {
            unsigned char* sector = buffers_.verify + i * kSector;
            bool read = false;
            bool equal = false;
            for (int attempt = 0; attempt < 2 && !equal; ++attempt) {
                read = io_.ReadAt(lba + i, sector, 1);
                equal = read && std::memcmp(buffers_.block + i * kSector, sector, kSector) == 0;
            }
            if (equal) continue;
            notRestored[i] = true;
            unreadable[i] = !read;
            all = false;
        }
        return true;
    });
    return all;
}

bool BlockRepair::MatchesContent(std::uint32_t sectors) const {
    return std::memcmp(buffers_.block, buffers_.verify, sectors * kSector) == 0;
}

void BlockRepair::Pump() {
    if (surface_) pumpOneMessage(*surface_);
}

}  // namespace scan
