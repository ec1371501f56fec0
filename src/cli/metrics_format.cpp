#include "cli/metrics_format.h"

#include <cstdio>

#include "health/nvme_fields.h"

namespace cli {
namespace {

std::vector<Label> AttributeLabels(const AttributeSample& a) {
    return {{"id", std::to_string(a.id)}, {"name", a.name}};
}

}  // namespace

void Exposition::header(const std::string& name, const char* type, const char* help) {
    out_ += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    name_ = name;
}

void Exposition::anyFamily(const std::string& name, const char* type, const char* help,
                           const std::vector<DriveMetrics>& drives, const DriveSamples& samples, bool standbyToo) {
    const std::size_t before = out_.size();
    header(name, type, help);
    const std::size_t afterHeader = out_.size();
    for (const DriveMetrics& drive : drives)
        if (drive.active || standbyToo) samples(drive, *this);
    if (out_.size() == afterHeader) out_.resize(before);
}

void Exposition::family(const std::string& name, const char* type, const char* help,
                        const std::vector<DriveMetrics>& drives, const DriveSamples& samples) {
    anyFamily(name, type, help, drives, samples, false);
}

void Exposition::identityFamily(const std::string& name, const char* type, const char* help,
                                const std::vector<DriveMetrics>& drives, const DriveSamples& samples) {
    anyFamily(name, type, help, drives, samples, true);
}

void Exposition::single(const std::string& name, const char* type, const char* help, const std::vector<Label>& labels,
                        const std::string& value) {
    header(name, type, help);
    out_ += name;
    if (!labels.empty()) {
        const char* separator = "{";
        for (const Label& label : labels) {
            out_ += std::string(separator) + label.first + "=\"" + EscapeLabelValue(label.second) + "\"";
            separator = ",";
        }
        out_ += "}";
    }
    out_ += " " + value + "\n";
}

void Exposition::sample(const DriveMetrics& drive, const std::vector<Label>& extra, const std::string& value) {
    out_ += name_ + "{drive=\"" + std::to_string(drive.number) + "\",device=\"" + EscapeLabelValue(drive.device) + "\"";
    for (const Label& label : extra) out_ += std::string(",") + label.first + "=\"" + EscapeLabelValue(label.second) + "\"";
    out_ += "} " + value + "\n";
}

std::string EscapeLabelValue(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            out += '?';
        else
            out += c;
    }
    return out;
}

std::string WwnText(std::uint64_t wwn) {
    if (wwn == 0) return {};
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(wwn));
    return text;
}

std::string ScaledCount(std::uint64_t value, std::uint64_t factor) {
    if (factor == 0 || value <= UINT64_MAX / factor) return std::to_string(value * factor);
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value) * static_cast<double>(factor));
    return text;
}

void AppendIdentityFamilies(const std::vector<DriveMetrics>& drives, Exposition& e) {
    e.identityFamily("varim_drive_info", "gauge", "Drive identity; the value is always 1.", drives,
                     [](const DriveMetrics& d, Exposition& x) {
                         std::vector<Label> labels = {{"model", d.model},
                                                      {"serial", d.serial},
                                                      {"firmware", d.firmware},
                                                      {"transport", d.nvme ? "nvme" : "ata"}};
                         if (!d.wwn.empty()) labels.emplace_back("wwn", d.wwn);
                         x.sample(d, labels, "1");
                     });
    e.identityFamily("varim_drive_active", "gauge",
                     "1 when the drive is active or idle, 0 in standby (then it was not asked anything else).",
                     drives, [](const DriveMetrics& d, Exposition& x) { x.flag(d, d.active); });
    e.family("varim_smart_available", "gauge",
             "1 when the drive delivered its health data (ATA S.M.A.R.T. values or the NVMe health log), else 0.",
             drives, [](const DriveMetrics& d, Exposition& x) { x.flag(d, d.smartAvailable); });
}

void AppendAtaAttributeFamilies(const std::vector<DriveMetrics>& drives, Exposition& e) {
    struct AttributeFamily {
        const char* name;
        const char* help;
        std::optional<std::uint64_t> (*value)(const AttributeSample&);
    };
    static constexpr AttributeFamily kFamilies[] = {
        {"varim_attribute_current", "Normalised current value of an ATA S.M.A.R.T. attribute.",
         [](const AttributeSample& a) { return std::optional<std::uint64_t>(a.current); }},
        {"varim_attribute_worst", "Worst normalised value of an ATA S.M.A.R.T. attribute.",
         [](const AttributeSample& a) { return std::optional<std::uint64_t>(a.worst); }},
        {"varim_attribute_threshold", "Threshold of an ATA S.M.A.R.T. attribute, where the drive reported one.",
         [](const AttributeSample& a) {
             return a.threshold < 0 ? std::nullopt : std::optional<std::uint64_t>(a.threshold);
         }},
        {"varim_attribute_raw", "Raw value of an ATA S.M.A.R.T. attribute: the whole 48-bit field as one number.",
         [](const AttributeSample& a) { return std::optional<std::uint64_t>(a.raw); }},
    };
    for (const AttributeFamily& family : kFamilies) {
        e.family(family.name, "gauge", family.help, drives, [&](const DriveMetrics& d, Exposition& x) {
            for (const AttributeSample& a : d.attributes)
                if (const auto value = family.value(a)) x.sample(d, AttributeLabels(a), std::to_string(*value));
        });
    }
}

void AppendPanelFamilies(const std::vector<DriveMetrics>& drives, Exposition& e) {
    e.family("varim_temperature_celsius", "gauge", "Drive temperature in degrees Celsius.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.celsius) x.sample(d, static_cast<std::int64_t>(*d.celsius));
             });
    e.family("varim_power_on_seconds_total", "counter", "Time the drive has been powered on, in seconds.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.powerOnHours) x.sample(d, {}, ScaledCount(*d.powerOnHours, 3600));
             });
    e.family("varim_health_ok", "gauge", "Drive status: 1 OK, 0 Bad.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.healthKnown) x.flag(d, d.healthOk);
             });
    e.family("varim_backup_alarm", "gauge", "1 when the drive's health calls for a backup now.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.healthKnown) x.flag(d, d.backupAlarm);
             });
    e.family("varim_temperature_alarm", "gauge", "1 when the drive is hotter than 55 degrees Celsius.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.temperatureKnown) x.flag(d, d.temperatureAlarm);
             });
}

void AppendNvmeFamilies(const std::vector<DriveMetrics>& drives, Exposition& e) {
    for (const health::NvmeField& field : health::kNvmeFields) {
        // The log counts data in units of 512,000 bytes and time in minutes or hours.
        const std::uint64_t factor = field.number == 6 || field.number == 7 ? 512000
                                     : field.number == 10                    ? 60
                                     : field.number == 12                    ? 3600
                                                                             : 1;
        const std::string help = "NVMe health log: " + std::string(field.name) +
                                 (field.number == 2             ? " in degrees Celsius."
                                  : factor == 512000            ? " in bytes."
                                  : factor == 60 || factor == 3600 ? " in seconds."
                                                                   : ".");
        e.family(std::string(field.metricName), field.counter ? "counter" : "gauge", help.c_str(), drives,
                 [&](const DriveMetrics& d, Exposition& x) {
                     if (!d.nvmeHealth) return;
                     if (field.number != 2) {
                         x.sample(d, {}, ScaledCount(disk::NvmeFieldValue(*d.nvmeHealth, field.number), factor));
                     } else if (const auto celsius = disk::NvmeCelsius(*d.nvmeHealth)) {
                         x.sample(d, static_cast<std::int64_t>(*celsius));
                     }
                 });
    }
    e.family("varim_nvme_warning_temperature_seconds_total", "counter",
             "NVMe health log: time at or above the drive's warning composite temperature, in seconds.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.nvmeHealth) x.sample(d, {}, ScaledCount(d.nvmeHealth->warningTemperatureMinutes, 60));
             });
    e.family("varim_nvme_critical_temperature_seconds_total", "counter",
             "NVMe health log: time at or above the drive's critical composite temperature, in seconds.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.nvmeHealth) x.sample(d, {}, ScaledCount(d.nvmeHealth->criticalTemperatureMinutes, 60));
             });
    e.family("varim_nvme_temperature_sensor_celsius", "gauge",
             "NVMe health log: temperature sensor 1..8 in degrees Celsius (sensors the drive has).", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (!d.nvmeHealth) return;
                 for (std::size_t i = 0; i < d.nvmeHealth->sensorKelvin.size(); ++i)
                     if (const auto celsius = disk::BelievableCelsius(d.nvmeHealth->sensorKelvin[i]))
                         x.sample(d, {{"sensor", std::to_string(i + 1)}}, std::to_string(*celsius));
             });
    e.family("varim_nvme_temperature_warning_threshold_celsius", "gauge",
             "The drive's own warning composite temperature threshold (WCTEMP) in degrees Celsius.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.nvmeWarningThresholdCelsius) x.sample(d, static_cast<std::int64_t>(*d.nvmeWarningThresholdCelsius));
             });
    e.family("varim_nvme_temperature_critical_threshold_celsius", "gauge",
             "The drive's own critical composite temperature threshold (CCTEMP) in degrees Celsius.", drives,
             [](const DriveMetrics& d, Exposition& x) {
                 if (d.nvmeCriticalThresholdCelsius)
                     x.sample(d, static_cast<std::int64_t>(*d.nvmeCriticalThresholdCelsius));
             });
}

void AppendRunFamilies(const RunInfo& run, Exposition& e) {
    e.single("varim_build_info", "gauge", "The varim build that wrote these metrics; the value is always 1.",
             {{"version", run.version}}, "1");
    e.single("varim_metrics_last_run_timestamp_seconds", "gauge", "When varim last read the drives, in Unix time.", {},
             std::to_string(run.timestampSeconds));
}

std::string FormatMetrics(const std::vector<DriveMetrics>& drives, const RunInfo& run) {
    Exposition e;
    for (const DriveFamilyGroup group : kDriveFamilyGroups) group(drives, e);
    AppendRunFamilies(run, e);
    return e.text();
}

}  // namespace cli
