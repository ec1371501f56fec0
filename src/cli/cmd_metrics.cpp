#include <cstdio>
#include <ctime>

#include "app/indicators.h"
#include "cli/atomic_file.h"
#include "cli/commands.h"
#include "cli/metrics_format.h"
#include "disk/drive_probe.h"
#include "disk/power_mode.h"
#include "health/attribute_catalogue.h"
#include "platform/text_codec.h"

#ifndef VARIM_VERSION
#define VARIM_VERSION "unknown"
#endif

namespace cli {
namespace {

constexpr std::uint8_t kTemperatureId = 194;
constexpr std::uint8_t kHoursId = 9;

// What a drive is before anything is asked of it: its number, its name and whether it sleeps.
struct DriveLook {
    std::string device;
    std::string identity;  // empty when the drive gives none
    disk::PowerMode power = disk::PowerMode::Unknown;
};

// Opening a drive and asking its name or power mode never spins it up.
DriveLook LookAt(disk::DriveAccess& access, int n) {
    DriveLook look;
    const platform::Handle handle = access.OpenDrive(n, disk::OpenProfile::Probe);
    if (handle == platform::kInvalidHandle) return look;
    look.device = access.DeviceName(handle);
    look.power = disk::CheckPowerMode(access, handle, n);
    if (!access.DriveIdentity(handle, look.identity)) look.identity.clear();
    access.CloseDrive(handle);
    return look;
}

DriveMetrics MetricsOf(const disk::DriveTable& table, int n, const health::AttributeCatalogue& catalogue,
                       std::string device) {
    const disk::PhysicalDrive& drive = table.DriveAt(n);
    DriveMetrics metrics;
    metrics.number = n;
    metrics.device = std::move(device);
    metrics.model = platform::cp1252ToUtf8(drive.model());
    metrics.serial = platform::cp1252ToUtf8(drive.serial());
    metrics.firmware = platform::cp1252ToUtf8(drive.firmware());
    metrics.nvme = drive.transport == disk::Transport::Nvme;
    const app::IndicatorPaint paint = app::EvaluateIndicators(table, n, app::IndicatorState{});
    if (metrics.nvme) {
        metrics.smartAvailable = drive.nvmeHealthRead;
        metrics.nvmeWarningThresholdCelsius = disk::BelievableCelsius(drive.nvmeWarningKelvin);
        metrics.nvmeCriticalThresholdCelsius = disk::BelievableCelsius(drive.nvmeCriticalKelvin);
        if (drive.nvmeHealthRead) {
            metrics.nvmeHealth = drive.nvme;
            metrics.celsius = disk::NvmeCelsius(drive.nvme);
            metrics.powerOnHours = drive.nvme.powerOnHours;
        }
        metrics.healthKnown = paint.drawValues;
        metrics.healthOk = paint.state.statusText == "OK";
        metrics.backupAlarm = paint.state.backupAlarm != 0;
    } else {
        metrics.wwn = WwnText(disk::AtaWorldWideName(drive.identify));
        metrics.smartAvailable = drive.attributeCount > 0;
        for (int j = 0; j < drive.attributeCount; ++j) {
            const disk::SmartAttribute& a = drive.attributes[static_cast<std::size_t>(j)];
            metrics.attributes.push_back({a.id, platform::cp1252ToUtf8(catalogue.AttributeName(a.id)), a.current,
                                          a.worst, a.threshold, a.RawValue()});
        }
        // The same readings the panels use: the index's attribute for each id. The status needs
        // no temperature, so a drive without one is still judged.
        if (paint.drawValues) {
            if (const disk::SmartAttribute* t = table.FindAttribute(n, kTemperatureId))
                metrics.celsius = static_cast<int>(t->raw);
        }
        // Power-on hours fill the raw field's low 32 bits; vendors put other counts above them.
        if (const disk::SmartAttribute* h = table.FindAttribute(n, kHoursId))
            metrics.powerOnHours = h->RawValue() & 0xFFFFFFFFu;
        metrics.healthKnown = metrics.smartAvailable;
        metrics.healthOk = !app::AttributesBeyondLimits(table, n);
        metrics.backupAlarm = !metrics.healthOk;
    }
    metrics.temperatureKnown = metrics.celsius.has_value();
    metrics.temperatureAlarm = paint.drawValues && paint.state.temperatureAlarm != 0;
    return metrics;
}

// A drive in standby: its number and name, nothing that would have to be asked of it.
DriveMetrics SleepingDrive(int n, std::string device) {
    DriveMetrics metrics;
    metrics.number = n;
    metrics.device = std::move(device);
    metrics.active = false;
    return metrics;
}

}  // namespace

int RunMetrics(const Context& context) {
    disk::DriveAccess access(context.kernel);
    disk::DriveTable table(context.executablePath);
    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();

    // No enumeration: it would probe, and so wake, every drive before its power mode is known.
    RunInfo run{VARIM_VERSION, static_cast<std::int64_t>(std::time(nullptr))};
    std::vector<DriveMetrics> drives;
    for (int n = 0; n < disk::kDriveSlots; ++n) {
        if (!MeasureDrive(access, n).opened) continue;
        DriveLook look = LookAt(access, n);
        if (look.power == disk::PowerMode::Standby) {
            drives.push_back(SleepingDrive(n, std::move(look.device)));
            continue;
        }
        disk::ProbeDrive(access, table, n);
        drives.push_back(MetricsOf(table, n, catalogue, std::move(look.device)));
        // Found by identity: another disk in this drive's place has no record.
        if (context.scanRecords != nullptr && !look.identity.empty())
            drives.back().lastScan = context.scanRecords->Find(look.identity);
        drives.back().selfTest = ReadSelfTestMetrics(access, n);
    }
    const std::string text = FormatMetrics(drives, run);
    if (!context.options.outputFile) {
        std::fputs(text.c_str(), stdout);
        return kExitDone;
    }
    std::string error;
    if (!WriteFileAtomically(*context.options.outputFile, text, error)) {
        std::fprintf(stderr, "varim: %s\n", error.c_str());
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace cli
