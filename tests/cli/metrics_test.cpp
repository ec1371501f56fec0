// `varim metrics` end to end on one simulated machine: an ATA drive whose texts need escaping
// and whose raw values need 48 bits, a failing ATA drive without a temperature attribute, a
// drive in standby, an NVMe drive at 0 K with counters above 2^63 and a drive without
// S.M.A.R.T.: every sample expected and every one that must be absent, written atomically to a
// file Prometheus' own checker accepts without a word. And the drive in standby is never woken.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/commands.h"
#include "cli/metrics_format.h"
#include "platform/sim/simulated_kernel.h"
#include "run_process.h"

namespace {

namespace fs = std::filesystem;

// Drive 0: an ATA model with a quote, a backslash and a Windows-1252 e-acute (byte E9), raw
// values of 48 bits (70,000 power-on hours with a vendor count above the low 32 bits, Total LBAs
// Written 543,343,366, Read Error Rate 168,165,566). Drive 1: attribute 5 beyond its limit and at
// its threshold, no temperature attribute. Drive 2: in standby. Drive 3: NVMe at 0 K.
// Drive 4: no S.M.A.R.T. at all.
const char* kMachine =
    "[Machine]\nLetters = C:fixed D:fixed E:fixed F:fixed G:fixed\n"
    "[Drive0]\nSectors = 2000\nModel = ACME \"Q\" 7\\2 Caf\xE9\nSerial = A\\B\"C\nFirmware = 1.0\n"
    "Device = sdb\nWwn = 0x5000c5000a1b2c3d\n"
    "Attribute.0 = 194, 0x0022, 100, 99, 38 0 20 0 45 0\n"
    "Attribute.1 = 9, 0x0032, 20, 20, 0x70 0x11 0x01 0 0x07 0\n"
    "Attribute.2 = 241, 0x0032, 100, 100, 0x06 0xc3 0x62 0x20 0 0\n"
    "Attribute.3 = 1, 0x000f, 117, 99, 0xbe 0x00 0x06 0x0a 0 0\n"
    "Threshold.1 = 9, 0\n"
    "[Drive1]\nSectors = 2000\nModel = COLD FAIL\nDevice = sdc\n"
    "Attribute.0 = 5, 0x0033, 10, 10, 40 0 0 0 0 0\nThreshold.0 = 5, 10\n"
    "[Drive2]\nSectors = 2000\nModel = SLEEPER\nSerial = Z-9\nDevice = sdd\nPowerMode = standby\n"
    "Attribute.0 = 194, 0x0022, 100, 99, 30 0 0 0 0 0\n"
    "[Drive3]\nSectors = 2000\nTransport = nvme\nModel = NV TEST\nSerial = NV-1\nDevice = nvme0n1\n"
    "Nvme.TemperatureKelvin = 0\nNvme.CriticalWarning = 4\nNvme.PowerOnHours = 77\n"
    "Nvme.DataUnitsRead = 9223372036854775809\nNvme.MediaErrors = 18446744073709551615\n"
    "Nvme.ControllerBusyTime = 5\nNvme.WarningTempMinutes = 12\nNvme.CriticalTempMinutes = 3\n"
    "Nvme.TemperatureSensors = 310, 0, 305\nNvme.WarningThresholdKelvin = 343\n"
    "[Drive4]\nSectors = 2000\nSmart = none\nModel = OLD\n";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// promtool from VARIM_PROMTOOL or the PATH; empty when there is none.
std::string FindPromtool() {
    if (const char* given = std::getenv("VARIM_PROMTOOL"); given != nullptr && *given != '\0') return given;
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const fs::path candidate = fs::path(dir) / "promtool";
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

TEST(MetricsLabels, EscapingKeepsEveryValueOnOneValidLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain 1.0", "plain 1.0"},       {"a\\b", "a\\\\b"},      {"say \"hi\"", "say \\\"hi\\\""},
        {"two\nlines", "two\\nlines"},    {"tab\there", "tab?here"}, {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"\\\"\n", "\\\\\\\"\\n"},
    };
    for (const auto& [raw, escaped] : cases) EXPECT_EQ(cli::EscapeLabelValue(raw), escaped) << raw;
}

TEST(MetricsCommand, WritesTheExpectedSamplesAtomicallyAndPassesPromtool) {
    const fs::path dir = fs::temp_directory_path() / ("varim-metrics-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path machine = dir / "machine.ini";
    std::ofstream(machine, std::ios::binary) << kMachine;
    const fs::path output = dir / "varim.prom";
    std::ofstream(output) << "old content\n";

    const auto result = clitest::RunProcess(VARIM_BINARY, {"--machine", machine.string(), "metrics", "--output",
                                                           output.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.empty());
    const std::string text = ReadAll(output);

    const char* expected[] = {
        "varim_drive_info{drive=\"0\",device=\"sdb\",model=\"ACME \\\"Q\\\" 7\\\\2 Caf\xC3\xA9\",serial=\"A\\\\B\\\"C\","
        "firmware=\"1.0\",transport=\"ata\",wwn=\"0x5000c5000a1b2c3d\"} 1\n",
        "varim_drive_info{drive=\"2\",device=\"sdd\",model=\"\",serial=\"\",firmware=\"\",transport=\"ata\"} 1\n",
        "varim_drive_info{drive=\"3\",device=\"nvme0n1\",model=\"NV TEST\",serial=\"NV-1\",firmware=\"1.0\","
        "transport=\"nvme\"} 1\n",
        "varim_drive_active{drive=\"0\",device=\"sdb\"} 1\n",
        "varim_drive_active{drive=\"2\",device=\"sdd\"} 0\n",
        "varim_drive_active{drive=\"3\",device=\"nvme0n1\"} 1\n",
        "varim_smart_available{drive=\"0\",device=\"sdb\"} 1\n",
        "varim_smart_available{drive=\"3\",device=\"nvme0n1\"} 1\n",
        "varim_smart_available{drive=\"4\",device=\"sim4\"} 0\n",
        "varim_attribute_current{drive=\"0\",device=\"sdb\",id=\"194\",name=\"Temperature\"} 100\n",
        "varim_attribute_worst{drive=\"0\",device=\"sdb\",id=\"194\",name=\"Temperature\"} 99\n",
        "varim_attribute_threshold{drive=\"0\",device=\"sdb\",id=\"9\",name=\"Power-On Hours\"} 0\n",
        "varim_attribute_raw{drive=\"0\",device=\"sdb\",id=\"9\",name=\"Power-On Hours\"} 30064841072\n",
        "varim_attribute_raw{drive=\"0\",device=\"sdb\",id=\"241\",name=\"Total LBAs Written\"} 543343366\n",
        "varim_attribute_raw{drive=\"0\",device=\"sdb\",id=\"1\",name=\"Read Error Rate\"} 168165566\n",
        "varim_attribute_current{drive=\"1\",device=\"sdc\",id=\"5\",name=\"Reallocated Sectors Count\"} 10\n",
        "varim_attribute_threshold{drive=\"1\",device=\"sdc\",id=\"5\",name=\"Reallocated Sectors Count\"} 10\n",
        "varim_temperature_celsius{drive=\"0\",device=\"sdb\"} 38\n",
        "varim_power_on_seconds_total{drive=\"0\",device=\"sdb\"} 252000000\n",
        "varim_power_on_seconds_total{drive=\"3\",device=\"nvme0n1\"} 277200\n",
        "# TYPE varim_power_on_seconds_total counter\n",
        "varim_health_ok{drive=\"0\",device=\"sdb\"} 1\n",
        "varim_health_ok{drive=\"1\",device=\"sdc\"} 0\n",
        "varim_health_ok{drive=\"3\",device=\"nvme0n1\"} 0\n",
        "varim_backup_alarm{drive=\"1\",device=\"sdc\"} 1\n",
        "varim_backup_alarm{drive=\"3\",device=\"nvme0n1\"} 1\n",
        "varim_temperature_alarm{drive=\"0\",device=\"sdb\"} 0\n",
        "varim_nvme_critical_warning{drive=\"3\",device=\"nvme0n1\"} 4\n",
        "varim_nvme_read_bytes_total{drive=\"3\",device=\"nvme0n1\"} 4.7223664828696452e+24\n",
        "varim_nvme_written_bytes_total{drive=\"3\",device=\"nvme0n1\"} 0\n",
        "varim_nvme_media_errors_total{drive=\"3\",device=\"nvme0n1\"} 18446744073709551615\n",
        "varim_nvme_controller_busy_seconds_total{drive=\"3\",device=\"nvme0n1\"} 300\n",
        "varim_nvme_power_on_seconds_total{drive=\"3\",device=\"nvme0n1\"} 277200\n",
        "varim_nvme_warning_temperature_seconds_total{drive=\"3\",device=\"nvme0n1\"} 720\n",
        "varim_nvme_critical_temperature_seconds_total{drive=\"3\",device=\"nvme0n1\"} 180\n",
        "varim_nvme_temperature_sensor_celsius{drive=\"3\",device=\"nvme0n1\",sensor=\"1\"} 37\n",
        "varim_nvme_temperature_sensor_celsius{drive=\"3\",device=\"nvme0n1\",sensor=\"3\"} 32\n",
        "varim_nvme_temperature_warning_threshold_celsius{drive=\"3\",device=\"nvme0n1\"} 70\n",
        "# TYPE varim_nvme_media_errors_total counter\n",
        "varim_build_info{version=\"",
        "varim_metrics_last_run_timestamp_seconds ",
    };
    for (const char* line : expected) EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line;
    const char* absent[] = {
        // The sleeping drive has its identity and activity, nothing that would have woken it.
        "varim_smart_available{drive=\"2\"", "varim_attribute_current{drive=\"2\"", "varim_health_ok{drive=\"2\"",
        "varim_temperature_celsius{drive=\"2\"",
        // No temperature attribute, no temperature reading at 0 K: no temperature and no alarm.
        "varim_temperature_celsius{drive=\"1\"", "varim_temperature_alarm{drive=\"1\"",
        "varim_temperature_celsius{drive=\"3\"", "varim_nvme_temperature_celsius{", "varim_temperature_alarm{drive=\"3\"",
        "sensor=\"2\"", "varim_nvme_temperature_critical_threshold_celsius{",
        // A drive that answered nothing has an identity, and no health samples at all.
        "varim_health_ok{drive=\"4\"", "varim_attribute_threshold{drive=\"0\",device=\"sdb\",id=\"194\"",
        // The families these replaced are gone.
        "varim_power_on_hours", "_minutes_total", "data_units",
    };
    for (const char* part : absent) EXPECT_EQ(text.find(part), std::string::npos) << "present: " << part;
    const std::string timestamp = "\nvarim_metrics_last_run_timestamp_seconds ";
    const std::size_t time = text.find(timestamp);
    ASSERT_NE(time, std::string::npos);
    EXPECT_GT(std::atoll(text.c_str() + time + timestamp.size()), 1700000000) << "a run timestamp in seconds";

    // The JSON documents of the same drives: whole raw values and unsigned 64-bit counters.
    const auto smart0 = clitest::RunProcess(VARIM_BINARY, {"--machine", machine.string(), "--json", "smart", "0"});
    EXPECT_NE(smart0.out.find("\"raw\": 4464, \"threshold\": 0, \"rawValue\": 30064841072, \"rawBytes\": \"000700011170\""),
              std::string::npos) << smart0.out;
    EXPECT_NE(smart0.out.find("\"hours\": 4464"), std::string::npos) << "the panel keeps its 16 bits";
    const auto smart3 = clitest::RunProcess(VARIM_BINARY, {"--machine", machine.string(), "--json", "smart", "3"});
    for (const char* part : {"\"temperatureCelsius\": null", "\"dataUnitsRead\": 9223372036854775809",
                             "\"mediaErrors\": 18446744073709551615", "\"warningTemperatureMinutes\": 12",
                             "\"temperatureSensorsCelsius\": [37, null, 32, null, null, null, null, null]",
                             "\"warningThresholdCelsius\": 70, \"criticalThresholdCelsius\": null"})
        EXPECT_NE(smart3.out.find(part), std::string::npos) << part << "\n" << smart3.out;

    struct stat st {};
    ASSERT_EQ(stat(output.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "the collector runs as another user";
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 2) << "a temporary file was left beside the output";

    const std::string promtool = FindPromtool();
    if (promtool.empty()) {
        fs::remove_all(dir);
        GTEST_SKIP() << "promtool not found (Debian package prometheus, or set VARIM_PROMTOOL): format not checked";
    }
    const auto check = clitest::RunProcess("/bin/sh", {"-c", "\"$0\" check metrics < \"$1\"", promtool, output.string()});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(check.out + check.err, "") << "promtool has something to say";
    fs::remove_all(dir);
}

}  // namespace

namespace {

// The same run in this process, so the simulated drives' call log can be read: the drive in
// standby was asked CHECK POWER MODE and nothing else, and was never spun up.
TEST(MetricsCommand, ADriveInStandbyIsOnlyAskedItsPowerMode) {
    std::string error;
    auto kernel = platform::sim::SimulatedKernel::fromText(kMachine, ".", "machine.ini", error);
    ASSERT_TRUE(kernel) << error;
    const fs::path output = fs::temp_directory_path() / ("varim-standby-" + std::to_string(getpid()) + ".prom");
    cli::Options options;
    options.command = cli::Command::Metrics;
    options.outputFile = output.string();
    const cli::Context context{options, *kernel, false, "/nonexistent/varim"};
    ASSERT_EQ(cli::RunMetrics(context), cli::kExitDone);
    fs::remove(output);

    std::set<platform::Handle> standbyHandles;
    int powerChecks = 0;
    for (const auto& call : kernel->calls()) {
        EXPECT_NE(call.operation, "wakeUp") << "a drive was spun up";
        if (call.operation == "createFile" && call.path == "\\\\.\\PHYSICALDRIVE2") standbyHandles.insert(call.handle);
        if (!standbyHandles.count(call.handle)) continue;
        EXPECT_TRUE(call.operation != "readFile" && call.operation != "writeFile") << call.operation;
        if (call.operation != "deviceIoControl" || call.ioctlCode == platform::IOCTL_DISK_GET_DRIVE_GEOMETRY) continue;
        ASSERT_EQ(call.ioctlCode, platform::SMART_SEND_DRIVE_COMMAND);
        ASSERT_GE(call.input.size(), 11u);
        EXPECT_EQ(call.input[10], platform::ATA_CHECK_POWER_MODE) << "IDEREGS.bCommandReg";
        ++powerChecks;
    }
    EXPECT_EQ(powerChecks, 1);
}

}  // namespace
