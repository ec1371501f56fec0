#pragma once
// Drive health in the Prometheus text exposition format: one metric family per quantity, each
// with its HELP and TYPE lines and every drive's samples together, all under "varim_".
//
// The families come in groups, each written by one function over all drives (the identity, the
// ATA attributes, the panels, the NVMe health log, ...). FormatMetrics runs the groups in the
// order of kDriveFamilyGroups; a new group is a new function and one more entry there.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/scan_records.h"

#include "cli/self_test_metrics.h"
#include "disk/nvme_health.h"

namespace cli {

struct AttributeSample {
    int id = 0;
    std::string name;  // UTF-8
    int current = 0;
    int worst = 0;
    std::int32_t threshold = -1;  // -1: none read
    std::uint64_t raw = 0;        // the whole 48-bit raw value
};

// What one drive shows, already evaluated; texts in UTF-8.
struct DriveMetrics {
    int number = 0;
    std::string device;  // the system's short name of the disk ("sda"); every sample carries it
    std::string model, serial, firmware;
    std::string wwn;     // "0x" and 16 lowercase hex digits; empty when the drive reports none
    bool nvme = false;
    // False for a drive found in standby: it was not asked anything that would wake it, so it
    // has its identity and activity samples only.
    bool active = true;
    bool smartAvailable = false;  // ATA values read, or the NVMe health log read
    std::vector<AttributeSample> attributes;
    std::optional<disk::NvmeHealth> nvmeHealth;
    std::optional<int> nvmeWarningThresholdCelsius;   // the drive's own, from Identify Controller
    std::optional<int> nvmeCriticalThresholdCelsius;
    std::optional<int> celsius;
    std::optional<std::uint64_t> powerOnHours;
    bool healthKnown = false;  // the health data was read: status and backup alarm are meaningful
    bool healthOk = false;
    bool backupAlarm = false;
    bool temperatureKnown = false;  // a believable temperature: its alarm is meaningful
    bool temperatureAlarm = false;
    std::optional<app::ScanRecord> lastScan;  // the drive's last recorded scan, found by its identity
    SelfTestMetrics selfTest;  // the drive's own self-tests and error log
};

// What the run itself reports, so that a machine without drives still shows it is alive.
struct RunInfo {
    std::string version;
    std::int64_t timestampSeconds = 0;  // when the drives were read, Unix time
};

using Label = std::pair<const char*, std::string>;

// The exposition being written. Every drive sample carries the labels drive and device first.
class Exposition {
public:
    using DriveSamples = std::function<void(const DriveMetrics&, Exposition&)>;

    // One family: HELP and TYPE, then samples(drive, *this) for each active drive; a family
    // that gave no sample leaves nothing behind.
    void family(const std::string& name, const char* type, const char* help, const std::vector<DriveMetrics>& drives,
                const DriveSamples& samples);
    // The same over every drive, those in standby included (identity and activity only).
    void identityFamily(const std::string& name, const char* type, const char* help,
                        const std::vector<DriveMetrics>& drives, const DriveSamples& samples);
    // One family with a single sample that belongs to no drive (the program's own state).
    void single(const std::string& name, const char* type, const char* help, const std::vector<Label>& labels,
                const std::string& value);

    // A sample of the current family for this drive, with more labels after drive and device.
    void sample(const DriveMetrics& drive, const std::vector<Label>& extra, const std::string& value);
    void sample(const DriveMetrics& drive, std::uint64_t value) { sample(drive, {}, std::to_string(value)); }
    void sample(const DriveMetrics& drive, std::int64_t value) { sample(drive, {}, std::to_string(value)); }
    void flag(const DriveMetrics& drive, bool value) { sample(drive, {}, value ? "1" : "0"); }

    const std::string& text() const { return out_; }

private:
    void header(const std::string& name, const char* type, const char* help);
    void anyFamily(const std::string& name, const char* type, const char* help, const std::vector<DriveMetrics>& drives,
                   const DriveSamples& samples, bool standbyToo);
    std::string out_;
    std::string name_;
};

// The family groups over all drives, in the order they are written.
void AppendIdentityFamilies(const std::vector<DriveMetrics>& drives, Exposition& e);
void AppendAtaAttributeFamilies(const std::vector<DriveMetrics>& drives, Exposition& e);
void AppendPanelFamilies(const std::vector<DriveMetrics>& drives, Exposition& e);
void AppendNvmeFamilies(const std::vector<DriveMetrics>& drives, Exposition& e);

// The drive's last recorded scan: when it ended, whether it completed, its counts and read classes.
void AppendLastScanFamilies(const std::vector<DriveMetrics>& drives, Exposition& e);

using DriveFamilyGroup = void (*)(const std::vector<DriveMetrics>&, Exposition&);
inline constexpr DriveFamilyGroup kDriveFamilyGroups[] = {
    AppendIdentityFamilies,
    AppendAtaAttributeFamilies,
    AppendPanelFamilies,
    AppendNvmeFamilies,
    AppendLastScanFamilies,
    AppendSelfTestFamilies,
};

// The families of the run itself (build, time of this run), written after the drive groups.
void AppendRunFamilies(const RunInfo& run, Exposition& e);

// The whole exposition for these drives, ending with a newline.
std::string FormatMetrics(const std::vector<DriveMetrics>& drives, const RunInfo& run);

// value x factor as a sample value: exact while it fits 64 bits, else the nearest double.
std::string ScaledCount(std::uint64_t value, std::uint64_t factor);

// A label value with backslash, double quote and line feed escaped as the format requires,
// and other control characters replaced by '?'.
std::string EscapeLabelValue(std::string_view utf8);

// A World Wide Name as "0x" and 16 lowercase hex digits; empty for 0 (none reported).
std::string WwnText(std::uint64_t wwn);

}  // namespace cli
