#pragma once
// The last scan of each drive, kept in a folder as one small text file per drive identity, so
// that a later run (the metrics exporter, another session) knows how the drive read last time.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/scan_summary.h"

namespace app {

// What a record keeps of a scan.
struct ScanRecord {
    std::string identity;
    std::int64_t endTime = 0;  // seconds since 1970 (UTC)
    std::int64_t start = 0;
    std::int64_t end = 0;
    scan::ScanMode mode = scan::ScanMode::Standard;
    bool completed = false;
    std::int64_t badCount = 0;
    std::int64_t repairedCount = 0;
    std::array<std::uint64_t, scan::kLatencyClasses> blocks{};
    std::uint64_t errors = 0;
};

class ScanRecords {
public:
    // folder empty: there is nowhere to keep records (Save fails saying so).
    explicit ScanRecords(std::string folder) : folder_(std::move(folder)) {}

    // Replaces the record of the summary's drive identity, durably. False with a reason.
    bool Save(const ScanSummary& summary, std::string& reason) const;
    // The record of exactly this identity; nothing when there is none or it cannot be read.
    std::optional<ScanRecord> Find(const std::string& identity) const;
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// The file a drive identity's record is kept in: a hash of the identity, so any text is a safe
// name; the record repeats the identity, so two identities never share a record.
std::string RecordFileName(const std::string& identity);

}  // namespace app
