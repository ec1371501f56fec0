#pragma once
// The Scan command: range parsing, the pending health warnings, the mode question and the
// block loop (read, write back, re-read, compare, repair) over DriveAccess and Surface only.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "disk/drive_access.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "scan/read_timing.h"

namespace scan {

enum class ScanMode { Standard, Regenerate };

// The scan's process-wide state: one instance, owned by whoever owns the engine.
struct ScanState {
    bool stopRequested = false;
    std::int64_t currentLba = 0;
    std::int32_t badCount = 0;
    std::int32_t repairedCount = 0;
    std::int32_t backupAlarm = 0;
};

// The dialog members the Scan command reads and leaves set.
struct ScanFields {
    int driveNumber = 0;
    std::int64_t scanStart = 0;
    std::int64_t scanEnd = 0;
    std::int32_t temperatureAlarm = 0;
    int warningDrive = 0;
};

struct ScanOutcome {
    bool started = false;    // false: refused before any transfer (range texts, or a drive that
                             // cannot be opened, claimed for writing or measured; see refusal)
    std::string refusal;     // the message shown when refused (Windows-1252)
    bool completed = false;  // the completed end text rather than the interrupted one
    ScanMode mode = ScanMode::Standard;
    std::string message;     // the end message shown
    ScanLatency latency;     // the first read of every block, timed
    SurfaceMap map;          // the range as cells, for the surface map
    std::uint64_t driveSectors = 0;  // the drive's size when it was scanned
    std::string identity;    // DriveIdentity of the drive scanned (empty when it gives none)
};

// Model text of drive n, for the warnings (empty when unknown).
using ModelTextFn = std::function<std::string(int driveNumber)>;

}  // namespace scan

namespace scan {

class RepairJournal;

// The Scan command. Owns the three fixed transfer buffers; one instance lives as long as the
// dialog. Everything it shows goes through the Surface; every transfer through DriveAccess.
class ScanEngine {
public:
    ScanEngine(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock, ScanState& state,
               ModelTextFn modelTextOf);
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;
    ~ScanEngine();

    // Runs the whole command (warnings, range parsing, drive claim, mode question, block loop,
    // end message) and returns when the scan has ended or was refused; a refusal leaves the
    // window idle. Reads and leaves set the dialog fields; never throws. Called again while it
    // runs (from within its message step), it does nothing and returns started = false.
    ScanOutcome Scan(ScanFields& fields);
    // The journal every repair writes its block to before zeroing it. nullptr (the default):
    // repairs are not journaled, which only tests and the benchmark want.
    void SetJournal(RepairJournal* journal) { journal_ = journal; }
    // True while Scan is on the stack (ExitNow defers the process end then).
    bool executing() const { return executing_; }
    // Transfer size of later scans in MiB: 0 (the default) transfers one block at a time; more
    // reads, writes back and re-reads whole blocks up to that size at once.
    void SetTransferMib(std::uint32_t mib) { transferMib_ = mib; }

private:
    struct Buffers;
    ScanOutcome Refuse(std::string text);  // shows the text; the scan does not run
    void ShowWarnings(const ScanFields& fields);
    // Opens the drive, claims it for writing and measures it; the refusal text, or empty.
    std::string ClaimDrive(int drive, platform::Handle& handle, std::uint64_t& driveSectors);
    void ShowRunning();
    void ShowResult(std::int64_t position, const ScanFields& fields, ScanOutcome& outcome);

    disk::DriveAccess& drives_;
    platform::Surface& surface_;
    platform::Clock& clock_;
    ScanState& state_;
    ModelTextFn modelTextOf_;
    Buffers* buffers_;  // allocated once at construction, aligned, never resized
    RepairJournal* journal_ = nullptr;
    bool executing_ = false;
    std::uint32_t transferMib_ = 0;
};

// The largest sector number a range field takes: its byte offset still fits 64 bits.
inline constexpr std::int64_t kLargestSector = (std::int64_t{1} << 55) - 1;

// Parses a range field: empty -> 0; a leading '0' -> 0 (rest ignored); otherwise decimal
// digits only. Returns false for any other text (or a number above kLargestSector).
bool ParseRangeField(std::string_view text, std::int64_t& value);

}  // namespace scan
