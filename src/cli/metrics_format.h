#pragma once
// Drive health in the Prometheus text exposition format: one metric family per quantity, each
// with its HELP and TYPE lines and every drive's samples together, all under "varim_".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/nvme_health.h"

namespace cli {

struct AttributeSample {
    int id = 0;
    std::string name;  // UTF-8
    int current = 0;
    int worst = 0;
    std::int32_t threshold = -1;  // -1: none read
    std::uint32_t raw = 0;
};

// What one drive shows, already evaluated; texts in UTF-8.
struct DriveMetrics {
    int number = 0;
    std::string model, serial, firmware;
    bool nvme = false;
    bool smartAvailable = false;  // ATA values read, or the NVMe health log read
    std::vector<AttributeSample> attributes;
    std::optional<disk::NvmeHealth> nvmeHealth;
    std::optional<int> celsius;
    std::optional<std::uint64_t> powerOnHours;
    bool evaluated = false;  // the panels were drawn: status and alarms below are meaningful
    bool healthOk = false;
    bool backupAlarm = false;
    bool temperatureAlarm = false;
};

// The whole exposition for these drives, ending with a newline.
std::string FormatMetrics(const std::vector<DriveMetrics>& drives);

// A label value with backslash, double quote and line feed escaped as the format requires,
// and other control characters replaced by '?'.
std::string EscapeLabelValue(std::string_view utf8);

}  // namespace cli
