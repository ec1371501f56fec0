#include "scan/scan_engine.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "scan/block_io.h"
#include "scan/block_loop.h"
#include "scan/drive_refusal.h"
#include "scan/repair_journal.h"
#include "scan/format_text.h"
#include "scan/scan_buffers.h"
#include "scan/scan_controls.h"
#include "scan/scan_texts.h"
#include "scan/transfer_batch.h"

namespace scan {
namespace {

constexpr std::int64_t kCompletionMargin = 100;
constexpr std::int64_t kLoopMargin = 120;  // the block loop runs to the end sector + 120

// Keeps executing() true for exactly as long as the command is on the stack.
class ExecutingFlag {
public:
    explicit ExecutingFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ExecutingFlag() { flag_ = false; }
    ExecutingFlag(const ExecutingFlag&) = delete;
    ExecutingFlag& operator=(const ExecutingFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

struct ScanEngine::Buffers : ScanBuffers {};

bool ParseRangeField(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.front() == '0') {
        value = 0;
        return true;
    }
    std::int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
        if (result > kLargestSector) return false;
    }
    value = result;
    return true;
}

ScanEngine::ScanEngine(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock,
                       ScanState& state, ModelTextFn modelTextOf)
    : drives_(drives), surface_(surface), clock_(clock), state_(state), modelTextOf_(std::move(modelTextOf)),
      buffers_(new Buffers{}) {}

ScanEngine::~ScanEngine() { delete buffers_; }

ScanOutcome ScanEngine::Scan(ScanFields& fields) {
    // A Scan reached through the running scan's message step would reuse the block buffers in
    // the middle of a block; the window hides the button, and this makes sure.
    if (executing_) return ScanOutcome{};
    ExecutingFlag executing(executing_);
    ScanOutcome outcome;
    state_.stopRequested = false;
    state_.badCount = 0;
    state_.repairedCount = 0;
    ShowWarnings(fields);
    fields.temperatureAlarm = 0;

    std::int64_t value = 0;
    if (!ParseRangeField(surface_.controlText(controls::kStartField), value)) return Refuse(texts::kNotNumeric);
    fields.scanStart = value;
    if (!ParseRangeField(surface_.controlText(controls::kEndField), value)) return Refuse(texts::kNotNumeric);
    fields.scanEnd = value;
    if (fields.scanStart > fields.scanEnd) return Refuse(texts::kWrongRange);

    // The drive is opened and claimed before the window changes, so a refusal leaves it idle.
    platform::Handle handle = platform::kInvalidHandle;
    std::uint64_t driveSectors = 0;
    const std::string refusal = ClaimDrive(fields.driveNumber, handle, driveSectors);
    if (!refusal.empty()) return Refuse(refusal);
    outcome.started = true;
    // Journal entries and the scan's record name the drive so that only this drive ever gets them back.
    if (!drives_.DriveIdentity(handle, outcome.identity)) outcome.identity.clear();
    if (journal_ != nullptr) journal_->Attach(fields.driveNumber, outcome.identity);

    ShowRunning();
    surface_.setProgressPosition(controls::kProgress, 0);
    LoopRange range;
    range.startTick = clock_.tickCount();
    range.mode = surface_.messageBox(texts::kModeQuestion, texts::kCaption, platform::MB_YESNO) == platform::IDYES
                     ? ScanMode::Regenerate
                     : ScanMode::Standard;
    outcome.mode = range.mode;
    surface_.listClear(controls::kInfoList);
    if (journal_ != nullptr && journal_->inMemory()) {
        // Rescue systems often keep their state in memory: the journal still guards against a
        // crash of this program, but not against a power cut.
        const std::string where = journal_->where();
        surface_.listAddString(controls::kInfoList, FormatText(texts::kJournalInMemory, where.c_str()));
    }
    range.scanStart = fields.scanStart;
    range.scanEnd = fields.scanEnd;
    range.drive = fields.driveNumber;
    range.journal = journal_;
    // Repairs cover whole physical sectors where a sector could not be read; a drive that does
    // not say how large they are is taken as 512-byte sectors.
    disk::SectorSizes sizes;
    drives_.GetSectorSizes(handle, sizes);
    range.physical = PhysicalLayoutOf(sizes);
    // A session saved during the first block resumes at this scan's start, not at an older
    // scan's position.
    state_.currentLba = fields.scanStart;

    // The batch buffers live for this scan only: memory an idle window has no use for.
    BatchBuffers batch(BatchBlocksFor(transferMib_));
    range.batch = batch.blocks() > 1 ? &batch : nullptr;
    outcome.driveSectors = driveSectors;
    outcome.latency.batched = range.batch != nullptr;
    // Only blocks that start on the drive are read, so only they get cells.
    const std::int64_t loopEnd = fields.scanEnd + kLoopMargin;
    const auto driveEnd = static_cast<std::int64_t>(std::min<std::uint64_t>(driveSectors, kLargestSector + 1));
    outcome.map.Lay(fields.scanStart, std::min(loopEnd, driveEnd));
    ReadTimer timer(clock_, outcome.latency, outcome.map, state_.badCount, state_.repairedCount);
    range.timer = &timer;
    BlockIo io(drives_, handle, driveSectors);
    BlockLoop loop(io, surface_, clock_, state_, *buffers_, range);
    const std::int64_t position = loop.Run();
    timer.Finish(position);

    drives_.CloseDrive(handle);
    ShowResult(position, fields, outcome);
    return outcome;
}

ScanOutcome ScanEngine::Refuse(std::string text) {
    surface_.messageBox(text, texts::kCaption, platform::MB_OK);
    ScanOutcome outcome;
    outcome.refusal = std::move(text);
    return outcome;
}

void ScanEngine::ShowWarnings(const ScanFields& fields) {
    if (state_.backupAlarm != 1 && fields.temperatureAlarm != 1) return;
    const std::string model = modelTextOf_ ? modelTextOf_(fields.warningDrive) : std::string();
    if (state_.backupAlarm == 1)
        surface_.messageBox(FormatText(texts::kBackupWarning, model.c_str()), texts::kCaption, platform::MB_OK);
    if (fields.temperatureAlarm == 1)
        surface_.messageBox(FormatText(texts::kTemperatureWarning, model.c_str()), texts::kCaption, platform::MB_OK);
}

std::string ScanEngine::ClaimDrive(int drive, platform::Handle& handle, std::uint64_t& driveSectors) {
    auto refusal = [&](const std::string& reason) {
        const std::string model = modelTextOf_ ? modelTextOf_(drive) : std::string();
        return DriveRefusalText(drive, model, reason);
    };
    handle = drives_.OpenDrive(drive, disk::OpenProfile::Sector);
    if (handle == platform::kInvalidHandle) return refusal(OpenFailureReason(drives_.LastError()));
    // The list names drives by number; another disk may answer to that number by now.
    if (!drives_.IsListedDevice(handle)) {
        drives_.CloseDrive(handle);
        return refusal(kDriveChangedReason);
    }
    std::string reason;
    if (!drives_.ClaimForWriting(handle, reason)) {
        const std::uint32_t error = drives_.LastError();
        drives_.CloseDrive(handle);
        return refusal(reason.empty() ? OpenFailureReason(error) : reason);
    }
    driveSectors = disk::SectorCountOf(drives_.GetGeometry(handle));
    if (driveSectors == 0) {
        drives_.CloseDrive(handle);
        return refusal("its size cannot be read");
    }
    return {};
}

void ScanEngine::ShowRunning() {
    surface_.showControl(controls::kOpenSession, false);
    surface_.enableControl(controls::kDriveList, false);
    surface_.showControl(controls::kProgress, true);
    surface_.showControl(controls::kStop, true);
    surface_.showControl(controls::kScan, false);
}

void ScanEngine::ShowResult(std::int64_t position, const ScanFields& fields, ScanOutcome& outcome) {
    surface_.showControl(controls::kStop, false);
    surface_.showControl(controls::kScan, true);
    surface_.showControl(controls::kProgress, false);
    surface_.setTitle(texts::kFinishedTitle);
    outcome.completed = position >= fields.scanEnd + kCompletionMargin;
    char message[128];
    std::snprintf(message, sizeof message, outcome.completed ? texts::kCompleted : texts::kInterrupted,
                  state_.badCount, state_.repairedCount);
    outcome.message = message;
    surface_.messageBox(outcome.message, texts::kCaption, platform::MB_OK);
    surface_.enableControl(controls::kDriveList, true);
    surface_.setTitle(texts::kIdleTitle);
    surface_.showControl(controls::kOpenSession, true);
}

}  // namespace scan
