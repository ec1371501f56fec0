#include "scan/read_timing.h"

#include <algorithm>

#include "scan/scan_buffers.h"

namespace scan {

std::size_t LatencyClassOf(double ms) {
    std::size_t c = 0;
    while (c < kLatencyLimitsMs.size() && ms >= kLatencyLimitsMs[c]) ++c;
    return c;
}

std::uint64_t ScanLatency::Total() const {
    std::uint64_t total = errors;
    for (std::uint64_t count : blocks) total += count;
    return total;
}

void SurfaceMap::Lay(std::int64_t first, std::int64_t endLba) {
    firstLba = first;
    const std::int64_t blocks = endLba > first ? (endLba - first + kBlockSectors - 1) / kBlockSectors : 0;
    blocksPerCell = std::max<std::int64_t>(1, (blocks + kMapCells - 1) / kMapCells);
    cells = static_cast<std::uint32_t>((blocks + blocksPerCell - 1) / blocksPerCell);
    cell.fill(0);
}

std::uint32_t SurfaceMap::CellOf(std::int64_t lba) const {
    return static_cast<std::uint32_t>((lba - firstLba) / kBlockSectors / blocksPerCell);
}

ReadTimer::ReadTimer(platform::Clock& clock, ScanLatency& latency, SurfaceMap& map, const std::int32_t& badCount,
                     const std::int32_t& repairedCount)
    : clock_(clock), latency_(latency), map_(map), badCount_(badCount), repairedCount_(repairedCount),
      badSeen_(badCount), repairedSeen_(repairedCount),
      msPerCount_(1000.0 / static_cast<double>(clock.performanceFrequency())) {}

void ReadTimer::Record(std::int64_t started, std::int64_t lba, std::uint32_t blocks, bool ok) {
    if (blocks == 0) return;
    if (!ok) {
        latency_.errors += blocks;
        for (std::uint32_t k = 0; k < blocks; ++k) Mark(lba + std::int64_t{k} * kBlockSectors, SurfaceMap::kUnreadable);
        return;
    }
    const std::int64_t counts = clock_.performanceCounter() - started;
    const double ms = static_cast<double>(counts < 0 ? 0 : counts) * msPerCount_ / blocks;
    const std::size_t c = LatencyClassOf(ms);
    latency_.blocks[c] += blocks;
    RememberIfSlow(lba, ms);
    for (std::uint32_t k = 0; k < blocks; ++k) {
        const std::int64_t at = lba + std::int64_t{k} * kBlockSectors;
        if (at < map_.firstLba) continue;
        const std::uint32_t i = map_.CellOf(at);
        if (i >= map_.cells) continue;
        std::uint8_t& cell = map_.cell[i];
        const auto classPlusOne = static_cast<std::uint8_t>(c + 1);
        if ((cell & SurfaceMap::kClassMask) < classPlusOne)
            cell = static_cast<std::uint8_t>((cell & ~SurfaceMap::kClassMask) | classPlusOne);
    }
}

void ReadTimer::Judged(std::int64_t lba) {
    if (badCount_ != badSeen_) Mark(lba, SurfaceMap::kBad);
    if (repairedCount_ != repairedSeen_ && lastJudged_ >= 0) Mark(lastJudged_, SurfaceMap::kRepaired);
    badSeen_ = badCount_;
    repairedSeen_ = repairedCount_;
    lastJudged_ = lba;
}

void ReadTimer::Finish(std::int64_t lba) {
    if (badCount_ != badSeen_) Mark(lba, SurfaceMap::kBad);
    if (repairedCount_ != repairedSeen_ && lastJudged_ >= 0) Mark(lastJudged_, SurfaceMap::kRepaired);
    badSeen_ = badCount_;
    repairedSeen_ = repairedCount_;
}

void ReadTimer::Mark(std::int64_t lba, std::uint8_t flags) {
    if (lba < map_.firstLba) return;
    const std::uint32_t i = map_.CellOf(lba);
    if (i < map_.cells) map_.cell[i] |= flags;
}

void ReadTimer::RememberIfSlow(std::int64_t lba, double ms) {
    auto& slowest = latency_.slowest;
    std::size_t& count = latency_.slowestCount;
    // Sorted slowest first; an equal time keeps the earlier block ahead.
    if (count == kSlowestKept && ms <= slowest[count - 1].ms) return;
    std::size_t at = count < kSlowestKept ? count : kSlowestKept - 1;
    while (at > 0 && slowest[at - 1].ms < ms) {
        slowest[at] = slowest[at - 1];
        --at;
    }
    slowest[at] = SlowRead{lba, ms};
    if (count < kSlowestKept) ++count;
}

}  // namespace scan
