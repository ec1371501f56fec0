#include "scan/block_loop.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "scan/pump.h"
#include "scan/scan_controls.h"
#include "scan/scan_texts.h"
#include "scan/status_line.h"

namespace scan {
namespace {

constexpr std::int64_t kLoopMargin = 120;
constexpr std::size_t kSector = 512;

}  // namespace

BlockLoop::BlockLoop(BlockIo& io, platform::Surface& surface, platform::Clock& clock, ScanState& state,
                     ScanBuffers& buffers, const LoopRange& range)
    : io_(io), surface_(surface), clock_(clock), state_(state), buffers_(buffers), range_(range),
      repair_(io, buffers, &surface, state.stopRequested), wide_(io, buffers, &surface, state.stopRequested),
      lastTick_(range.startTick) {}

std::int64_t BlockLoop::Run() {
    std::int64_t position = range_.scanStart;
    const std::int64_t loopEnd = range_.scanEnd + kLoopMargin;
    while (position < loopEnd) {
        const std::uint32_t blocks = BatchBlocksAt(position, loopEnd);
        // A batch moves the position past each block it completes; a single block moves it here.
        const bool goOn = blocks > 1 ? ScanBatch(position, blocks) : ScanBlock(position);
        if (!goOn) {
            SaveStoppedBlock(position);
            break;
        }
        if (blocks <= 1) position += kBlockSectors;
    }
    return position;
}

std::uint32_t BlockLoop::BatchBlocksAt(std::int64_t lba, std::int64_t loopEnd) const {
    if (!range_.batch) return 0;
    // Whole blocks the loop would scan next that hold sectors of the drive; a block that
    // crosses the drive's end is the batch's last.
    std::uint32_t blocks = 0;
    while (blocks < range_.batch->blocks() && lba < loopEnd) {
        const std::uint32_t sectors = io_.SectorsOnDrive(lba, kBlockSectors);
        if (sectors == 0) break;
        ++blocks;
        if (sectors < kBlockSectors) break;
        lba += kBlockSectors;
    }
    return blocks;
}

bool BlockLoop::ScanBlock(std::int64_t lba) {
    // Sectors past the drive's last one are neither read, written nor judged.
    const std::uint32_t sectors = io_.SectorsOnDrive(lba, kBlockSectors);
    ReadContent(lba, sectors);
    return CheckBlock(lba, sectors);
}

bool BlockLoop::ScanBatch(std::int64_t& position, std::uint32_t blocks) {
    BatchBuffers& batch = *range_.batch;
    const std::int64_t first = position;
    const std::uint32_t sectors = io_.SectorsOnDrive(first, blocks * kBlockSectors);
    const std::int64_t readStarted = range_.timer->Start();
    if (!io_.ReadAt(first, batch.content(), sectors)) {
        // Nothing of the batch was written: each block goes the block-by-block way from its read,
        // which also times it.
        for (std::uint32_t k = 0; k < blocks; ++k, position += kBlockSectors)
            if (!ScanBlock(position)) return false;
        return true;
    }
    range_.timer->Record(readStarted, first, blocks, true);
    UseStoppedBlock(first, sectors, batch.content(), nullptr);
    const bool transferred =
        io_.WriteAt(first, batch.content(), sectors) && io_.ReadAt(first, batch.verify(), sectors);
    for (std::uint32_t k = 0; k < blocks; ++k, position += kBlockSectors) {
        const std::uint32_t blockSectors = io_.SectorsOnDrive(position, kBlockSectors);
        const unsigned char* content = batch.content() + std::size_t{k} * kBlockBytes;
        if (!transferred) {
            // The batch's write may have reached some sectors, and a sector's first read after a
            // write may come out changed: each block keeps the content the batch read before it
            // wrote, and goes the block-by-block way from its write-back.
            HoldContent(content, blockSectors);
            if (!CheckBlock(position, blockSectors)) return false;
            continue;
        }
        sectorsHandled_ += 100.0;
        const bool mismatch = range_.mode == ScanMode::Standard &&
                              std::memcmp(content, batch.verify() + std::size_t{k} * kBlockBytes,
                                          blockSectors * kSector) != 0;
        if (!JudgeBlock(position, blockSectors, mismatch, content)) return false;
    }
    return true;
}

bool BlockLoop::CheckBlock(std::int64_t lba, std::uint32_t sectors) {
    sectorsHandled_ += 100.0;
    const bool writeOk = repair_.WriteContent(lba, sectors, false);
    const bool readOk = io_.ReadAt(lba, buffers_.verify, sectors);
    // A failed re-read leaves stale bytes in the buffer: it is bad without comparing.
    const bool mismatch = range_.mode == ScanMode::Standard && readOk && !repair_.MatchesContent(sectors);
    return JudgeBlock(lba, sectors, mismatch || !writeOk || !readOk, buffers_.block);
}

bool BlockLoop::JudgeBlock(std::int64_t lba, std::uint32_t sectors, bool bad, const unsigned char* content) {
    if (bad) ListBadBlock(lba);
    bool goOn = !state_.stopRequested;
    if (goOn) {
        pumpOneMessage(surface_);
        ShowProgress(lba);
        goOn = !state_.stopRequested;
    }
    const bool repair = range_.mode == ScanMode::Regenerate || bad;
    // The repair, and the content saved when the loop is left here, take the block buffer.
    if (!goOn || repair) HoldContent(content, sectors);
    if (!goOn) return false;
    return repair ? Repair(lba, sectors) : true;
}

void BlockLoop::HoldContent(const unsigned char* content, std::uint32_t sectors) {
    if (content == buffers_.block) return;
    std::memcpy(buffers_.block, content, sectors * kSector);
    for (std::uint32_t i = 0; i < kBlockSectors; ++i) buffers_.readable[i] = i < sectors;
}

bool BlockLoop::Repair(std::int64_t lba, std::uint32_t sectors) {
    RefreshContent(lba, sectors);
    if (state_.stopRequested) return false;  // nothing written yet
    pumpOneMessage(surface_);
    if (wide_.Open(range_.physical, lba, sectors)) return RepairWide(lba);
    // No zero reaches a block whose content is not safe in the journal first.
    if (!JournalBlock(lba, sectors, buffers_.block, buffers_.readable.data())) return true;
    const bool holding = range_.journal != nullptr && range_.journal->holding();
    const RewriteOutcome rewrite = repair_.Rewrite(lba, sectors, holding);
    if (state_.stopRequested) {
        SettleJournal(lba, sectors, rewrite.durable, false);
        return false;
    }
    const bool verified = repair_.ReadBack(lba, sectors);
    if (rewrite.written && verified && range_.mode == ScanMode::Standard) ++state_.repairedCount;
    SettleJournal(lba, sectors, rewrite.durable, verified);
    return true;
}

bool BlockLoop::RepairWide(std::int64_t lba) {
    // The entry covers every sector the whole physical sectors' writes touch, before the first zero.
    if (!JournalBlock(wide_.first(), wide_.sectors(), wide_.content(), wide_.readable().data())) return true;
    const bool holding = range_.journal != nullptr && range_.journal->holding();
    const RewriteOutcome rewrite = wide_.Rewrite(holding);
    if (state_.stopRequested) {
        SettleJournal(lba, 0, rewrite.durable, false, true);
        return false;
    }
    const bool verified = wide_.ReadBack();
    if (rewrite.written && verified && range_.mode == ScanMode::Standard) ++state_.repairedCount;
    SettleJournal(lba, 0, rewrite.durable, verified, true);
    return true;
}

bool BlockLoop::JournalBlock(std::int64_t lba, std::uint32_t sectors, const unsigned char* content,
                             const bool* readable) {
    RepairJournal* journal = range_.journal;
    if (journal == nullptr || sectors == 0) return true;
    if (journal->Record(lba, sectors, content, readable)) return true;
    ShowJournalProblem();
    return false;
}

void BlockLoop::SettleJournal(std::int64_t lba, std::uint32_t sectors, bool durable, bool verified, bool wide) {
    RepairJournal* journal = range_.journal;
    if (journal == nullptr || !journal->holding()) return;
    // The entry goes only when every sector that was read holds its content again on the medium;
    // a sector whose first read after the write comes out changed is read once more.
    std::array<bool, kBlockSectors> notRestored;
    std::array<bool, kBlockSectors> unreadable;
    if (durable && (verified || (wide ? wide_.ReadContentBack()
                                            : repair_.ReadEverySectorBack(lba, sectors, notRestored, unreadable)))) {
        if (!journal->Retire()) ShowJournalProblem();
        return;
    }
    journal->LeavePending();
    char entry[256];
    std::snprintf(entry, sizeof entry, texts::kJournalLeftPending, static_cast<long long>(lba));
    surface_.listAddString(controls::kInfoList, entry);
}

void BlockLoop::ShowJournalProblem() {
    if (journalProblemShown_) return;
    journalProblemShown_ = true;
    char entry[768];
    std::snprintf(entry, sizeof entry, texts::kJournalUnavailable, range_.journal->problem().c_str());
    surface_.listAddString(controls::kInfoList, entry);
}

void BlockLoop::ReadContent(std::int64_t lba, std::uint32_t sectors) {
    buffers_.readable.fill(false);
    const std::int64_t readStarted = range_.timer->Start();
    const bool blockRead = io_.ReadAt(lba, buffers_.block, sectors);
    range_.timer->Record(readStarted, lba, sectors > 0 ? 1 : 0, blockRead);
    if (blockRead) {
        for (std::uint32_t i = 0; i < sectors; ++i) buffers_.readable[i] = true;
        UseStoppedBlock(lba, sectors, buffers_.block, buffers_.readable.data());
        return;
    }
    // A failed block read says nothing about which sectors hold what: read them one by one.
    // A sector that cannot be read counts as zeros and is never written from this buffer.
    std::memset(buffers_.block, 0, sectors * kSector);
    for (std::uint32_t i = 0; i < sectors && !state_.stopRequested; ++i) {
        unsigned char* sector = buffers_.block + i * kSector;
        if (io_.ReadAt(lba + i, sector, 1))
            buffers_.readable[i] = true;
        else
            std::memset(sector, 0, kSector);
        // Failing sectors can take the drive seconds each: keep the window answering.
        pumpOneMessage(surface_);
    }
    UseStoppedBlock(lba, sectors, buffers_.block, buffers_.readable.data());
}

void BlockLoop::RefreshContent(std::int64_t lba, std::uint32_t sectors) {
    // Only sectors that could not be read before are taken from this read. The others were
    // written back since, and a sector's first read after a write may come out damaged: their
    // content read before the write-back is the one that goes back.
    // Read into the verify buffer first, so a failed read cannot spoil content read before.
    if (io_.ReadAt(lba, buffers_.verify, sectors)) {
        for (std::uint32_t i = 0; i < sectors; ++i) {
            if (buffers_.readable[i]) continue;
            std::memcpy(buffers_.block + i * kSector, buffers_.verify + i * kSector, kSector);
            buffers_.readable[i] = true;
        }
        return;
    }
    for (std::uint32_t i = 0; i < sectors && !state_.stopRequested; ++i) {
        if (buffers_.readable[i]) continue;
        if (io_.ReadAt(lba + i, buffers_.verify + i * kSector, 1)) {
            std::memcpy(buffers_.block + i * kSector, buffers_.verify + i * kSector, kSector);
            buffers_.readable[i] = true;
        }
        pumpOneMessage(surface_);
    }
}

void BlockLoop::UseStoppedBlock(std::int64_t lba, std::uint32_t sectors, unsigned char* content, bool* readable) {
    ScanBuffers::StoppedBlock& stopped = buffers_.stopped;
    if (stopped.drive != range_.drive) return;
    const std::int64_t from = std::max(lba, stopped.lba);
    const std::int64_t to = std::min(lba + sectors, stopped.lba + stopped.sectors);
    for (std::int64_t s = from; s < to; ++s) {
        const auto k = static_cast<std::size_t>(s - stopped.lba);
        if (!stopped.unused[k]) continue;
        const auto i = static_cast<std::size_t>(s - lba);
        std::memcpy(content + i * kSector, stopped.content + k * kSector, kSector);
        if (readable) readable[i] = true;
        stopped.unused[k] = false;
    }
}

void BlockLoop::SaveStoppedBlock(std::int64_t lba) {
    // A block past the drive's end was never written: whatever was saved before stays.
    const std::uint32_t sectors = io_.SectorsOnDrive(lba, kBlockSectors);
    if (sectors == 0) return;
    ScanBuffers::StoppedBlock& stopped = buffers_.stopped;
    stopped.drive = range_.drive;
    stopped.lba = lba;
    stopped.sectors = sectors;
    std::memcpy(stopped.content, buffers_.block, sectors * kSector);
    for (std::uint32_t i = 0; i < kBlockSectors; ++i) stopped.unused[i] = i < sectors && buffers_.readable[i];
}

void BlockLoop::ListBadBlock(std::int64_t lba) {
    ++state_.badCount;
    char entry[48];
    std::snprintf(entry, sizeof entry, texts::kBadBlockEntry, static_cast<long long>(lba));
    surface_.listAddString(controls::kInfoList, entry);
}

void BlockLoop::ShowProgress(std::int64_t lba) {
    const double percent = ProgressPercent(lba, range_.scanEnd);
    surface_.setProgressPosition(controls::kProgress, static_cast<int>(percent));
    state_.currentLba = lba;
    range_.timer->Judged(lba);
    const std::uint32_t now = clock_.tickCount();
    elapsedMs_ += static_cast<std::uint32_t>(now - lastTick_);
    lastTick_ = now;
    const TimeEstimate time = EstimateTime(elapsedMs_, sectorsHandled_, range_.scanEnd - range_.scanStart);
    char line[160];
    FormatStatusLine(line, sizeof line, percent, state_.currentLba, time);
    surface_.setTitle(line);
}

}  // namespace scan
