#pragma once
// How long the first read of each block took, counted in fixed classes, with the slowest blocks.
// Fixed-size records only: the block loop records into them without allocating.
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/system.h"

namespace scan {

// Upper limits in ms of the first five classes; the sixth holds everything at or above the last.
inline constexpr std::array<double, 5> kLatencyLimitsMs{5, 20, 50, 200, 600};
inline constexpr std::size_t kLatencyClasses = kLatencyLimitsMs.size() + 1;
inline constexpr std::size_t kSlowestKept = 10;

// The class of a read time: 0 (under 5 ms) to kLatencyClasses - 1 (600 ms or more).
std::size_t LatencyClassOf(double ms);

struct SlowRead {
    std::int64_t lba = 0;  // the block's first sector (a batch's first block when batched)
    double ms = 0;         // the time the block was given
};

struct ScanLatency {
    bool batched = false;  // blocks of a successful batch read share its time equally
    std::array<std::uint64_t, kLatencyClasses> blocks{};
    std::uint64_t errors = 0;  // blocks whose own read failed
    std::array<SlowRead, kSlowestKept> slowest{};  // slowest first
    std::size_t slowestCount = 0;

    // Every block counted: the classes and the errors.
    std::uint64_t Total() const;
};

// The scan's range drawn as at most kMapCells cells of whole blocks, each holding the slowest
// class read in it and whether a block in it could not be read, was listed bad or was repaired.
inline constexpr std::uint32_t kMapCells = 10000;
struct SurfaceMap {
    static constexpr std::uint8_t kClassMask = 0x07;  // slowest class + 1; 0: nothing read yet
    static constexpr std::uint8_t kUnreadable = 0x08;
    static constexpr std::uint8_t kBad = 0x10;
    static constexpr std::uint8_t kRepaired = 0x20;

    std::int64_t firstLba = 0;
    std::int64_t blocksPerCell = 1;
    std::uint32_t cells = 0;
    std::array<std::uint8_t, kMapCells> cell{};

    // Lays out the cells for the blocks from firstLba whose first sector is below endLba.
    void Lay(std::int64_t first, std::int64_t endLba);
    // The cell of the block at lba (lba within the laid range).
    std::uint32_t CellOf(std::int64_t lba) const;
};

// Times reads through the Clock seam's monotonic counter and records them in a ScanLatency.
class ReadTimer {
public:
    // The counts of listed and repaired blocks are read from the two counters given.
    ReadTimer(platform::Clock& clock, ScanLatency& latency, SurfaceMap& map, const std::int32_t& badCount,
              const std::int32_t& repairedCount);

    // The counter now; pass it to Record once the read returned.
    std::int64_t Start() { return clock_.performanceCounter(); }
    // Records `blocks` blocks from lba read in one transfer begun at `started`: on success each
    // gets the transfer's time divided by `blocks`; a failed read counts them as errors.
    void Record(std::int64_t started, std::int64_t lba, std::uint32_t blocks, bool ok);

    // The block at lba is judged: blocks listed since the last call are this one, blocks repaired
    // since then the block judged before it (whose repair followed its judgement).
    void Judged(std::int64_t lba);
    // The loop ended at lba: what was listed since is that block, what was repaired the last judged.
    void Finish(std::int64_t lba);

private:
    void RememberIfSlow(std::int64_t lba, double ms);
    void Mark(std::int64_t lba, std::uint8_t flags);

    platform::Clock& clock_;
    ScanLatency& latency_;
    SurfaceMap& map_;
    const std::int32_t& badCount_;
    const std::int32_t& repairedCount_;
    std::int32_t badSeen_;
    std::int32_t repairedSeen_;
    std::int64_t lastJudged_ = -1;
    double msPerCount_;
};

}  // namespace scan
