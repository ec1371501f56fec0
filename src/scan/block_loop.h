#pragma once
// The scan's block loop and repair procedure over one open drive.
#include <cstdint>

#include "platform/surface.h"
#include "platform/system.h"
#include "scan/block_io.h"
#include "scan/block_repair.h"
#include "scan/read_timing.h"
#include "scan/repair_journal.h"
#include "scan/scan_buffers.h"
#include "scan/scan_engine.h"
#include "scan/transfer_batch.h"
#include "scan/wide_repair.h"

namespace scan {

struct LoopRange {
    ScanMode mode = ScanMode::Standard;
    std::int64_t scanStart = 0;
    std::int64_t scanEnd = 0;
    std::uint32_t startTick = 0;  // Clock::tickCount() when the scan began
    int drive = 0;                // the drive's number, so content saved for it is not used elsewhere
    BatchBuffers* batch = nullptr;  // large transfers when set (more than one block each)
    RepairJournal* journal = nullptr;  // attached to the drive; nullptr: repairs are not journaled
    ReadTimer* timer = nullptr;        // required: times the first read of every block
    PhysicalLayout physical;           // the drive's physical sectors, which repairs cover whole
};

class BlockLoop {
public:
    BlockLoop(BlockIo& io, platform::Surface& surface, platform::Clock& clock, ScanState& state,
              ScanBuffers& buffers, const LoopRange& range);

    // Scans block after block while the block's first sector is below the end sector + 120, or
    // until a stop check sees stopRequested. Returns the first sector of the block it ended at.
    std::int64_t Run();

private:
    // Whole blocks from lba that one batch transfer takes (0: no batches).
    std::uint32_t BatchBlocksAt(std::int64_t lba, std::int64_t loopEnd) const;
    bool ScanBlock(std::int64_t lba);                    // false: leave the loop
    // Scans `blocks` blocks from position in one read, write-back and re-read, judged block by
    // block; moves position past each block completed. false: leave the loop (at position).
    bool ScanBatch(std::int64_t& position, std::uint32_t blocks);
    // Writes back the content in `block`, re-reads and judges it.
    bool CheckBlock(std::int64_t lba, std::uint32_t sectors);
    // Lists, shows progress and repairs a block whose transfers are done; false: leave the loop.
    bool JudgeBlock(std::int64_t lba, std::uint32_t sectors, bool bad, const unsigned char* content);
    void HoldContent(const unsigned char* content, std::uint32_t sectors);
    bool Repair(std::int64_t lba, std::uint32_t sectors);  // false: leave the loop
    bool RepairWide(std::int64_t lba);                     // the window wide_ was opened on
    void ReadContent(std::int64_t lba, std::uint32_t sectors);
    void RefreshContent(std::int64_t lba, std::uint32_t sectors);
    void UseStoppedBlock(std::int64_t lba, std::uint32_t sectors, unsigned char* content, bool* readable);
    void SaveStoppedBlock(std::int64_t lba);
    bool JournalBlock(std::int64_t lba, std::uint32_t sectors, const unsigned char* content, const bool* readable);
    // wide: the repair was of wide_'s window, whose read sectors are re-read to confirm them.
    void SettleJournal(std::int64_t lba, std::uint32_t sectors, bool durable, bool verified, bool wide = false);
    void ShowJournalProblem();
    void ListBadBlock(std::int64_t lba);
    void ShowProgress(std::int64_t lba);

    BlockIo& io_;
    platform::Surface& surface_;
    platform::Clock& clock_;
    ScanState& state_;
    ScanBuffers& buffers_;
    LoopRange range_;
    BlockRepair repair_;
    WideRepair wide_;
    double sectorsHandled_ = 0;
    std::uint64_t elapsedMs_ = 0;  // summed tick differences, so the 32-bit tick may wrap
    std::uint32_t lastTick_ = 0;
    bool journalProblemShown_ = false;  // said once per scan
};

}  // namespace scan
