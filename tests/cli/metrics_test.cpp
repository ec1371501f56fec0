// `varim metrics` end to end: a simulated machine with an ATA drive whose texts need escaping,
// a failing NVMe drive and a drive without S.M.A.R.T., written atomically to a file that
// Prometheus' own checker accepts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/metrics_format.h"
#include "run_process.h"

namespace {

namespace fs = std::filesystem;

// An ATA model with a quote, a backslash and a Windows-1252 e-acute (byte E9).
const char* kMachine =
    "[Machine]\nLetters = C:fixed D:fixed E:fixed\n"
    "[Drive0]\nSectors = 2000\nModel = ACME \"Q\" 7\\2 Caf\xE9\nSerial = A\\B\"C\nFirmware = 1.0\n"
    "Attribute.0 = 194, 0x0022, 100, 99, 38 0 20 0 45 0\nAttribute.1 = 9, 0x0032, 97, 97, 210 4 0 0 0 0\n"
    "Attribute.2 = 241, 0x0032, 100, 100, 0x06 0xc3 0x62 0x20 0 0\nThreshold.1 = 9, 0\n"
    "Device = sdb\nWwn = 0x5000c5000a1b2c3d\n"
    "[Drive1]\nSectors = 2000\nTransport = nvme\nModel = NV TEST\nSerial = NV-1\n"
    "Nvme.CriticalWarning = 4\nNvme.PowerOnHours = 77\nNvme.DataUnitsRead = 12\n"
    "[Drive2]\nSectors = 2000\nSmart = none\nModel = OLD\n";

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
        "varim_attribute_raw{drive=\"0\",device=\"sdb\",id=\"241\",name=\"Total LBAs Written\"} 543343366\n",
        "varim_drive_info{drive=\"1\",device=\"sim1\",model=\"NV TEST\",serial=\"NV-1\",firmware=\"1.0\",transport=\"nvme\"} 1\n",
        "varim_smart_available{drive=\"0\",device=\"sdb\"} 1\n",
        "varim_smart_available{drive=\"1\",device=\"sim1\"} 1\n",
        "varim_smart_available{drive=\"2\",device=\"sim2\"} 0\n",
        "varim_attribute_current{drive=\"0\",device=\"sdb\",id=\"194\",name=\"Temperature\"} 100\n",
        "varim_attribute_worst{drive=\"0\",device=\"sdb\",id=\"194\",name=\"Temperature\"} 99\n",
        "varim_attribute_threshold{drive=\"0\",device=\"sdb\",id=\"9\",name=\"Power-On Hours\"} 0\n",
        "varim_attribute_raw{drive=\"0\",device=\"sdb\",id=\"9\",name=\"Power-On Hours\"} 1234\n",
        "varim_temperature_celsius{drive=\"0\",device=\"sdb\"} 38\n",
        "varim_temperature_celsius{drive=\"1\",device=\"sim1\"} 40\n",
        "varim_power_on_hours{drive=\"0\",device=\"sdb\"} 1234\n",
        "varim_power_on_hours{drive=\"1\",device=\"sim1\"} 77\n",
        "varim_health_ok{drive=\"0\",device=\"sdb\"} 1\n",
        "varim_health_ok{drive=\"1\",device=\"sim1\"} 0\n",
        "varim_backup_alarm{drive=\"1\",device=\"sim1\"} 1\n",
        "varim_temperature_alarm{drive=\"0\",device=\"sdb\"} 0\n",
        "varim_nvme_critical_warning{drive=\"1\",device=\"sim1\"} 4\n",
        "varim_nvme_temperature_celsius{drive=\"1\",device=\"sim1\"} 40\n",
        "varim_nvme_data_units_read_total{drive=\"1\",device=\"sim1\"} 12\n",
        "varim_nvme_power_on_hours_total{drive=\"1\",device=\"sim1\"} 77\n",
        "# TYPE varim_nvme_media_errors_total counter\n",
    };
    for (const char* line : expected) EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line;
    // Drive 2 answered nothing: it has an identity, and no health samples at all.
    EXPECT_EQ(text.find("varim_health_ok{drive=\"2\",device=\"sim2\"}"), std::string::npos);
    EXPECT_EQ(text.find("varim_attribute_threshold{drive=\"0\",device=\"sdb\",id=\"194\""), std::string::npos);

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
    // Status 1 is a format error. Status 3 is the naming linter, which wants seconds: it may
    // only complain about the hour and minute counters whose names are fixed.
    EXPECT_TRUE(check.status == 0 || check.status == 3) << check.out << check.err;
    std::stringstream complaints(check.out + check.err);
    for (std::string line; std::getline(complaints, line);) {
        if (line.empty()) continue;
        const bool fixedName = line == "varim_power_on_hours use base unit \"seconds\" instead of \"hours\"" ||
                               line == "varim_nvme_power_on_hours_total use base unit \"seconds\" instead of \"hours\"" ||
                               line == "varim_nvme_controller_busy_minutes_total use base unit \"seconds\" instead of "
                                       "\"minutes\"";
        EXPECT_TRUE(fixedName) << "promtool: " << line;
    }
    fs::remove_all(dir);
}

}  // namespace
