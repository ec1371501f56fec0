#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "app/indicators.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "disk/drive_probe.h"
#include "health/attribute_catalogue.h"
#include "health/nvme_fields.h"
#include "platform/text_codec.h"

namespace cli {
namespace {

constexpr std::uint8_t kTemperatureId = 194;
constexpr std::uint8_t kHoursId = 9;

// The numbers behind the indicator texts, for the JSON document.
struct IndicatorNumbers {
    bool hasCelsius = true;
    int celsius = 0;
    int fahrenheit = 0;
    bool hasHours = false;
    std::uint64_t hours = 0;  // the power-on counter as the time counter panel shows it
};

IndicatorNumbers NumbersOf(const disk::DriveTable& table, int n) {
    IndicatorNumbers numbers;
    const disk::PhysicalDrive& drive = table.DriveAt(n);
    if (drive.transport == disk::Transport::Nvme) {
        const std::optional<int> celsius = disk::NvmeCelsius(drive.nvme);
        numbers.hasCelsius = celsius.has_value();
        numbers.celsius = celsius.value_or(0);
        numbers.fahrenheit = static_cast<int>(numbers.celsius * 1.8 + 32.0);
        numbers.hasHours = drive.nvmeHealthRead;
        numbers.hours = drive.nvme.powerOnHours;
        return numbers;
    }
    if (const disk::SmartAttribute* t = table.FindAttribute(n, kTemperatureId)) {
        numbers.celsius = static_cast<int>(t->raw);
        numbers.fahrenheit = static_cast<int>(numbers.celsius * 1.8 + 32.0);
    }
    if (const disk::SmartAttribute* h = table.FindAttribute(n, kHoursId)) {
        numbers.hasHours = true;
        numbers.hours = h->raw;
    }
    return numbers;
}

// The six raw bytes as 12 hex digits, most significant first.
std::string RawBytesText(const disk::SmartAttribute& attribute) {
    std::string text;
    for (int i = 5; i >= 0; --i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", attribute.rawBytes[static_cast<std::size_t>(i)]);
        text += pair;
    }
    return text;
}

// The health log as the JSON document shows it: the temperature in Celsius (null when not
// believable), the rest as logged, counters as unsigned 64-bit numbers; then the temperature
// times, sensors and the drive's own thresholds.
void WriteNvme(JsonWriter& json, const disk::PhysicalDrive& drive) {
    const auto celsiusOrNull = [&json](std::optional<int> celsius) {
        if (celsius) json.value(*celsius); else json.null();
    };
    const disk::NvmeHealth& health = drive.nvme;
    json.beginObject();
    for (const health::NvmeField& field : health::kNvmeFields) {
        json.key(field.jsonKey);
        if (field.number == 2)
            celsiusOrNull(disk::NvmeCelsius(health));
        else
            json.value(disk::NvmeFieldValue(health, field.number));
    }
    json.key("warningTemperatureMinutes").value(static_cast<std::uint64_t>(health.warningTemperatureMinutes))
        .key("criticalTemperatureMinutes").value(static_cast<std::uint64_t>(health.criticalTemperatureMinutes))
        .key("temperatureSensorsCelsius").beginArray();
    for (const std::uint16_t kelvin : health.sensorKelvin) celsiusOrNull(disk::BelievableCelsius(kelvin));
    json.endArray().key("warningThresholdCelsius");
    celsiusOrNull(disk::BelievableCelsius(drive.nvmeWarningKelvin));
    json.key("criticalThresholdCelsius");
    celsiusOrNull(disk::BelievableCelsius(drive.nvmeCriticalKelvin));
    json.endObject();
}

void PrintNvme(const disk::PhysicalDrive& drive) {
    if (!drive.nvmeHealthRead) {
        std::printf("No NVMe health log.\n");
        return;
    }
    std::printf("%-4s %-34s %20s\n", "No", "Name", "Raw");
    for (const health::NvmeField& field : health::kNvmeFields) {
        std::printf("%03d  %-34s %20" PRIu64 "%s\n", field.number, std::string(field.name).c_str(),
                    disk::NvmeFieldValue(drive.nvme, field.number), field.number == 2 ? " K" : "");
    }
}

void PrintText(const disk::PhysicalDrive& drive, int n, const health::AttributeCatalogue& catalogue,
               const app::IndicatorPaint& paint) {
    auto utf8 = [](std::string_view text) { return platform::cp1252ToUtf8(text); };
    std::printf("Drive %d: %s\n", n, utf8(drive.model()).c_str());
    std::printf("Serial number: %s   Firmware: %s\n", utf8(drive.serial()).c_str(), utf8(drive.firmware()).c_str());
    if (!drive.errorText.empty()) std::printf("%s\n", utf8(drive.errorText).c_str());
    if (drive.transport == disk::Transport::Nvme) {
        PrintNvme(drive);
    } else if (drive.attributeCount == 0) {
        std::printf("No S.M.A.R.T. attributes.\n");
    } else {
        std::printf("%-4s %-34s %7s %5s %6s %9s\n", "Id", "Name", "Current", "Worst", "Raw", "Threshold");
        for (int j = 0; j < drive.attributeCount; ++j) {
            const disk::SmartAttribute& a = drive.attributes[static_cast<std::size_t>(j)];
            std::string threshold = a.threshold < 0 ? std::string("-") : std::to_string(a.threshold);
            std::printf("%03d  %-34s %7d %5d %6u %9s\n", a.id, utf8(catalogue.AttributeName(a.id)).c_str(), a.current,
                        a.worst, a.raw, threshold.c_str());
        }
    }
    if (paint.drawValues) {
        std::printf("Temperature: %s %s   Status: %s   Time counter: %s hours\n",
                    utf8(paint.state.celsiusText).c_str(), utf8(paint.state.fahrenheitText).c_str(),
                    paint.state.statusText.c_str(), paint.state.hoursText.c_str());
        if (paint.state.temperatureAlarm) std::printf("Alarm: the drive is too hot.\n");
        if (paint.state.backupAlarm) std::printf("Alarm: attributes beyond their limits; back up your data now.\n");
    } else {
        std::printf("No temperature reading: no indicators.\n");
    }
}

}  // namespace

int RunSmart(const Context& context) {
    const int n = context.options.drive;
    disk::DriveAccess access(context.kernel);
    disk::DriveTable table(context.executablePath);
    disk::EnumerateDrives(access, table);
    DriveSize size = MeasureDrive(access, n);
    if (!size.opened) return Refuse(context, DriveOpenFailure(context, n, size.error));
    if (n >= disk::kDriveSlots) return Refuse(context, "Drive " + std::to_string(n) + " has no S.M.A.R.T. record");
    // A drive without a fixed letter of its own is probed here, so its own data is shown.
    if (!table.ProbedInLastEnumeration(n)) disk::ProbeDrive(access, table, n);

    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();
    const disk::PhysicalDrive& drive = table.DriveAt(n);
    app::IndicatorPaint paint = app::EvaluateIndicators(table, n, app::IndicatorState{});
    IndicatorNumbers numbers = NumbersOf(table, n);

    if (!context.options.json) {
        PrintText(drive, n, catalogue, paint);
        return kExitDone;
    }
    JsonWriter json;
    json.beginObject()
        .key("number").value(n)
        .key("model").value(drive.model())
        .key("serial").value(drive.serial())
        .key("firmware").value(drive.firmware())
        .key("errorText").value(drive.errorText)
        .key("transport").value(drive.transport == disk::Transport::Nvme ? "nvme" : "ata")
        .key("sectors").value(size.sectors)
        .key("device").value(DeviceNameOf(access, n))
        .key("attributeCount").value(static_cast<int>(drive.attributeCount))
        .key("attributes").beginArray();
    for (int j = 0; j < drive.attributeCount; ++j) {
        const disk::SmartAttribute& a = drive.attributes[static_cast<std::size_t>(j)];
        json.beginObject()
            .key("id").value(static_cast<int>(a.id))
            .key("name").value(catalogue.AttributeName(a.id))
            .key("current").value(static_cast<int>(a.current))
            .key("worst").value(static_cast<int>(a.worst))
            .key("raw").value(static_cast<std::int64_t>(a.raw))
            .key("threshold").value(static_cast<std::int64_t>(a.threshold))
            .key("rawValue").value(a.RawValue())
            .key("rawBytes").value(RawBytesText(a))
            .endObject();
    }
    json.endArray();
    if (drive.transport == disk::Transport::Nvme) {
        json.key("nvme");
        if (drive.nvmeHealthRead) {
            WriteNvme(json, drive);
        } else {
            json.null();
        }
    }
    json.key("indicators");
    if (paint.drawValues) {
        json.beginObject().key("celsius");
        if (numbers.hasCelsius) json.value(numbers.celsius); else json.null();
        json.key("fahrenheit");
        if (numbers.hasCelsius) json.value(numbers.fahrenheit); else json.null();
        json
            .key("status").value(paint.state.statusText)
            .key("hours");
        if (numbers.hasHours) json.value(numbers.hours); else json.null();
        json.key("temperatureAlarm").value(paint.state.temperatureAlarm != 0)
            .key("backupAlarm").value(paint.state.backupAlarm != 0)
            .endObject();
    } else {
        json.null();
    }
    json.endObject();
    std::printf("%s\n", json.text().c_str());
    return kExitDone;
}

}  // namespace cli
