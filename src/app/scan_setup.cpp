#include "app/scan_setup.h"

#include <chrono>
#include <utility>

#include "app/scan_records.h"

namespace app {

std::string ProbedModelText(const disk::DriveTable& table, int driveNumber) {
    if (driveNumber < 0 || driveNumber >= disk::kDriveSlots || !table.ProbedInLastEnumeration(driveNumber)) return {};
    return std::string(table.DriveAt(driveNumber).model());
}

ScanSetup::ScanSetup(disk::DriveAccess& drives, platform::Surface& surface, platform::Clock& clock,
                     scan::ScanState& state, scan::ModelTextFn modelTextOf, const ScanSetupConfig& config)
    : engine_(std::make_unique<scan::ScanEngine>(drives, surface, clock, state, std::move(modelTextOf))),
      records_(config.records), state_(state) {
    engine_->SetTransferMib(config.transferMib);
    if (config.journalFolder != nullptr) {
        journal_ = std::make_unique<scan::RepairJournal>(*config.journalFolder);
        engine_->SetJournal(journal_.get());
    }
}

ScanSetup::~ScanSetup() = default;

scan::ScanOutcome ScanSetup::Run(scan::ScanFields& fields, const disk::DriveTable& table) {
    scan::ScanOutcome outcome = engine_->Scan(fields);
    const int n = fields.driveNumber;
    if (!outcome.started || n < 0 || n >= kScanDrives) return outcome;
    auto summary = std::make_unique<ScanSummary>();
    summary->drive = n;
    summary->identity = outcome.identity;
    if (n < disk::kDriveSlots) {
        summary->model = std::string(table.DriveAt(n).model());
        summary->serial = std::string(table.DriveAt(n).serial());
    }
    summary->start = fields.scanStart;
    summary->end = fields.scanEnd;
    summary->mode = outcome.mode;
    summary->completed = outcome.completed;
    summary->badCount = state_.badCount;
    summary->repairedCount = state_.repairedCount;
    summary->endTime = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    summary->latency = outcome.latency;
    summary->map = outcome.map;
    recordProblem_.clear();
    if (records_ != nullptr && !summary->identity.empty()) records_->Save(*summary, recordProblem_);
    last_[static_cast<std::size_t>(n)] = std::move(summary);
    return outcome;
}

const ScanSummary* ScanSetup::LastScanOf(int driveNumber) const {
    if (driveNumber < 0 || driveNumber >= kScanDrives) return nullptr;
    return last_[static_cast<std::size_t>(driveNumber)].get();
}

}  // namespace app
