#pragma once
// The fields of an NVMe drive's health log as this program presents them: number (in log
// order, as other disk tools number them), display name, description, the console tool's JSON
// key and the metric name. Texts are Windows-1252 (plain ASCII here).
#include <array>
#include <string_view>

namespace health {

struct NvmeField {
    int number;                    // 1..15
    std::string_view name;
    std::string_view description;
    std::string_view jsonKey;      // key inside the "nvme" object
    std::string_view metricName;   // full Prometheus metric name, in base units (bytes, seconds)
    bool counter;                  // grows only (a Prometheus counter)
};

extern const std::array<NvmeField, 15> kNvmeFields;

// The field with this number, or nullptr.
const NvmeField* NvmeFieldNumbered(int number);

}  // namespace health
