#include <cstdio>

#include "app/indicators.h"
#include "cli/atomic_file.h"
#include "cli/commands.h"
#include "cli/metrics_format.h"
#include "disk/drive_probe.h"
#include "health/attribute_catalogue.h"
#include "platform/text_codec.h"

namespace cli {
namespace {

constexpr std::uint8_t kTemperatureId = 194;
constexpr std::uint8_t kHoursId = 9;

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
        if (drive.nvmeHealthRead) {
            metrics.nvmeHealth = drive.nvme;
            metrics.celsius = disk::NvmeCelsius(drive.nvme);
            metrics.powerOnHours = drive.nvme.powerOnHours;
        }
    } else {
        metrics.wwn = WwnText(disk::AtaWorldWideName(drive.identify));
        metrics.smartAvailable = drive.attributeCount > 0;
        for (int j = 0; j < drive.attributeCount; ++j) {
            const disk::SmartAttribute& a = drive.attributes[static_cast<std::size_t>(j)];
            metrics.attributes.push_back({a.id, platform::cp1252ToUtf8(catalogue.AttributeName(a.id)), a.current,
                                          a.worst, a.threshold, a.RawValue()});
        }
        // The same readings the panels use: the index's attribute for each id.
        if (paint.drawValues) {
            if (const disk::SmartAttribute* t = table.FindAttribute(n, kTemperatureId))
                metrics.celsius = static_cast<int>(t->raw);
        }
        if (const disk::SmartAttribute* h = table.FindAttribute(n, kHoursId)) metrics.powerOnHours = h->raw;
    }
    metrics.evaluated = paint.drawValues;
    metrics.healthOk = paint.state.statusText == "OK";
    metrics.backupAlarm = paint.state.backupAlarm != 0;
    metrics.temperatureAlarm = paint.state.temperatureAlarm != 0;
    return metrics;
}

}  // namespace

int RunMetrics(const Context& context) {
    disk::DriveAccess access(context.kernel);
    disk::DriveTable table(context.executablePath);
    disk::EnumerateDrives(access, table);
    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();

    std::vector<DriveMetrics> drives;
    for (int n = 0; n < disk::kDriveSlots; ++n) {
        if (!MeasureDrive(access, n).opened) continue;
        // A drive without a fixed letter of its own is probed here, as `smart N` does.
        if (!table.ProbedInLastEnumeration(n)) disk::ProbeDrive(access, table, n);
        drives.push_back(MetricsOf(table, n, catalogue, DeviceNameOf(access, n)));
        // A drive in standby is asked nothing that would wake it.
        if (drives.back().active) drives.back().selfTest = ReadSelfTestMetrics(access, n);
    }
    const std::string text = FormatMetrics(drives);
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
