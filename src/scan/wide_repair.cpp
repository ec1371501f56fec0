#include "scan/wide_repair.h"

#include <algorithm>
#include <cstring>

#include "platform/limits.h"
#include "scan/pump.h"
#include "scan/read_runs.h"

namespace scan {
namespace {

constexpr std::size_t kSector = platform::kSectorBytes;

}  // namespace

std::int64_t PhysicalLayout::FirstOf(std::int64_t sector) const {
    if (sector < alignment) return 0;
    return alignment + (sector - alignment) / perSector * perSector;
}

std::int64_t PhysicalLayout::EndOf(std::int64_t sector) const {
    return sector < alignment ? alignment : FirstOf(sector) + perSector;
}

PhysicalLayout PhysicalLayoutOf(const disk::SectorSizes& sizes) {
    const std::uint32_t unit = std::max(sizes.logicalBytes, sizes.physicalBytes);
    const bool usable = unit % disk::kSectorSize == 0 && unit / disk::kSectorSize <= kMaxPhysicalSectors &&
                        (unit & (unit - 1)) == 0 && sizes.alignmentBytes % disk::kSectorSize == 0 &&
                        sizes.alignmentBytes < unit;
    if (!usable) return {};
    return {unit / disk::kSectorSize, sizes.alignmentBytes / disk::kSectorSize};
}

WideRepair::WideRepair(BlockIo& io, ScanBuffers& buffers, platform::Surface* surface, const bool& stopRequested)
    : io_(io), wide_(buffers.wide), buffers_(buffers), surface_(surface), stopRequested_(stopRequested) {}

bool WideRepair::Open(const PhysicalLayout& layout, std::int64_t lba, std::uint32_t sectors) {
    if (layout.perSector <= 1) return false;
    std::int64_t from = lba;
    std::int64_t to = lba + sectors;
    bool any = false;
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (buffers_.readable[i]) continue;
        any = true;
        from = std::min(from, layout.FirstOf(lba + i));
        to = std::max(to, layout.EndOf(lba + i));
    }
    if (!any) return false;
    layout_ = layout;
    first_ = from;
    // Never past the drive's end: the last physical sector may be cut short by it.
    sectors_ = io_.SectorsOnDrive(from, static_cast<std::uint32_t>(to - from));
    const auto offset = static_cast<std::uint32_t>(lba - from);
    std::memcpy(wide_.content + offset * kSector, buffers_.block, sectors * kSector);
    wide_.readable.fill(false);
    wide_.whole.fill(false);
    std::copy_n(buffers_.readable.begin(), sectors, wide_.readable.begin() + offset);
    ReadNeighbours(0, offset);
    ReadNeighbours(offset + sectors, sectors_);
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (buffers_.readable[i]) continue;
        const std::int64_t unitFirst = std::max(layout.FirstOf(lba + i), first_);
        const std::int64_t unitEnd = std::min(layout.EndOf(lba + i), first_ + sectors_);
        for (std::int64_t s = unitFirst; s < unitEnd; ++s) wide_.whole[static_cast<std::size_t>(s - first_)] = true;
    }
    return true;
}

void WideRepair::ReadNeighbours(std::uint32_t from, std::uint32_t to) {
    if (from >= to) return;
    unsigned char* into = wide_.content + from * kSector;
    if (io_.ReadAt(first_ + from, into, to - from)) {
        std::fill(wide_.readable.begin() + from, wide_.readable.begin() + to, true);
        return;
    }
    // Their content is lost already where they cannot be read: zeros go there.
    for (std::uint32_t i = from; i < to; ++i) {
        unsigned char* sector = wide_.content + i * kSector;
        wide_.readable[i] = io_.ReadAt(first_ + i, sector, 1);
        if (!wide_.readable[i]) std::memset(sector, 0, kSector);
        Pump();
    }
}

std::uint32_t WideRepair::PieceAt(std::uint32_t i) const {
    if (!wide_.whole[i]) return 1;
    const std::int64_t end = std::min(layout_.EndOf(first_ + i), first_ + sectors_);
    return static_cast<std::uint32_t>(end - (first_ + i));
}

RewriteOutcome WideRepair::Rewrite(bool flush) {
    ZeroPass();
    ZeroPass();
    Pump();
    RewriteOutcome outcome;
    outcome.written = WriteContent();
    outcome.durable = !flush || io_.Flush();
    return outcome;
}

void WideRepair::ZeroPass() {
    bool positioned = io_.Seek(first_);
    for (std::uint32_t i = 0; i < sectors_;) {
        if (stopRequested_) return;
        Pump();
        const std::uint32_t piece = PieceAt(i);
        // After a failed write the position is unknown; never write zeros anywhere but here.
        if (!positioned) positioned = io_.Seek(first_ + i);
        if (positioned && !io_.Write(wide_.zeroUnit, piece)) positioned = false;
        i += piece;
    }
}

bool WideRepair::WriteContent() {
    // Runs of sectors that have content or are written whole, one write each; a failed run
    // goes again piece by piece, so one bad piece leaves no neighbour holding zeros.
    std::array<bool, kWideSectors> written{};
    for (std::uint32_t i = 0; i < sectors_; ++i) written[i] = wide_.readable[i] || wide_.whole[i];
    bool allWritten = true;
    ForEachReadRun(written, sectors_, [&](std::uint32_t from, std::uint32_t to) {
        if (io_.WriteAt(first_ + from, wide_.content + from * kSector, to - from)) return true;
        for (std::uint32_t i = from; i < to;) {
            const std::uint32_t piece = std::min(PieceAt(i), to - i);
            if (!io_.WriteAt(first_ + i, wide_.content + i * kSector, piece)) allWritten = false;
            i += piece;
        }
        return true;
    });
    return allWritten;
}

bool WideRepair::ReadBack() {
    return io_.ReadAt(first_, wide_.verify, sectors_) &&
           std::memcmp(wide_.content, wide_.verify, sectors_ * kSector) == 0;
}

bool WideRepair::ReadContentBack() {
    return ForEachReadRun(wide_.readable, sectors_, [&](std::uint32_t from, std::uint32_t to) {
        const std::size_t offset = from * kSector;
        return io_.ReadAt(first_ + from, wide_.verify + offset, to - from) &&
               std::memcmp(wide_.content + offset, wide_.verify + offset, (to - from) * kSector) == 0;
    });
}

void WideRepair::Pump() {
    if (surface_) pumpOneMessage(*surface_);
}

}  // namespace scan
