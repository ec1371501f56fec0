#pragma once
// The one way both front ends set up and run a scan: the engine with its transfer size and
// repair journal, the model text its messages name, and what a finished scan leaves (its
// summary per drive and its record in the scan records).
#include <array>
#include <cstdint>
#include <memory>

#include "app/scan_summary.h"
#include "disk/drive_access.h"
#include "disk/drive_table.h"
#include "platform/durable_folder.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "scan/repair_journal.h"
#include "scan/scan_engine.h"

namespace app {

class ScanRecords;

inline constexpr int kScanDrives = 50;  // drive numbers 0..49

struct ScanSetupConfig {
    std::uint32_t transferMib = 0;                  // 0: one block at a time
    platform::DurableFolder* journalFolder = nullptr;  // nullptr: repairs are not journaled
    ScanRecords* records = nullptr;                 // nullptr: scans are not recorded
};

// The model text the scan's warnings and refusals name: the model the table's last enumeration
// probed, else empty.
std::string ProbedModelText(const disk::DriveTable& table, int driveNumber);

class ScanSetup {
public:
    ScanSetup(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock, scan::ScanState& state,
              scan::ModelTextFn modelTextOf, const ScanSetupConfig& config);
    ~ScanSetup();
    ScanSetup(const ScanSetup&) = delete;
    ScanSetup& operator=(const ScanSetup&) = delete;

    // Runs the Scan command; a scan that ran leaves its summary (model and serial from the
    // table) as the drive's last, and its record when records are kept.
    scan::ScanOutcome Run(scan::ScanFields& fields, const disk::DriveTable& table);
    // True while a scan runs.
    bool executing() const { return engine_->executing(); }
    // The last scan of a drive number in this process; nullptr when there was none.
    const ScanSummary* LastScanOf(int driveNumber) const;
    // What the last record could not be written for; empty when it was (or none was due).
    const std::string& recordProblem() const { return recordProblem_; }

private:
    std::unique_ptr<scan::RepairJournal> journal_;
    std::unique_ptr<scan::ScanEngine> engine_;
    ScanRecords* records_;
    scan::ScanState& state_;
    std::array<std::unique_ptr<ScanSummary>, kScanDrives> last_;
    std::string recordProblem_;
};

}  // namespace app
