// The drive's own self-tests and logs through the console tool on simulated drives: every
// outcome a drive can report, a drive that runs no tests, one without S.M.A.R.T. and one whose
// logs cannot be read, each checked in the exit status, the JSON document and the metrics.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run_process.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    std::string drive;  // the keys of [Drive0]; "NVME" first: an NVMe drive
    std::vector<std::string> command;
    int status;
    std::vector<std::string> json;     // texts the JSON document holds
    std::vector<std::string> metrics;  // "family value" of drive 0's samples; "family -" when absent
};

// The value of drive 0's sample of a family in an exposition text, "-" when there is none.
std::string SampleOf(const std::string& text, const std::string& family) {
    std::size_t at = 0;
    while ((at = text.find(family + "{", at)) != std::string::npos) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end;
        if (line.find("drive=\"0\"") == std::string::npos) continue;
        return line.substr(line.rfind(' ') + 1);
    }
    return "-";
}

TEST(SelfTestCommands, EveryOutcomeReachesTheExitStatusTheDocumentAndTheMetrics) {
    const std::string ata = "Sectors = 2000\nAttribute.0 = 9, 0x0032, 97, 97, 0x34 0x12 0 0 0 0\n";
    const std::string nvme = "Sectors = 2000\nTransport = nvme\nNvme.PowerOnHours = 77\n";
    const std::string logged = "SelfTestLog.0 = extended, 7, 90, 12345, 1050\nSelfTestLog.1 = short, 0, 0, 12000\n"
                               "ErrorLog.0 = 12340, 1050\nErrorCount = 3\n";
    const Case cases[] = {
        {"pass", "", {"selftest", "0", "short", "--wait"}, 0,
         {"\"estimatedMinutes\": 2", "\"type\": \"short\", \"statusCode\": 0, \"status\": \"completed without error\", "
          "\"passed\": true, \"remainingPercent\": 0, \"powerOnHours\": 4660, \"firstErrorLba\": null"},
         {}},
        {"read failure", "SelfTestOutcome = fail:1050\n", {"selftest", "0", "extended", "--wait"}, 4,
         {"\"estimatedMinutes\": 90", "\"statusCode\": 7", "\"passed\": false", "\"firstErrorLba\": 1050"}, {}},
        {"fatal", "SelfTestOutcome = fatal\n", {"selftest", "0", "short", "--wait"}, 4,
         {"\"statusCode\": 3", "\"status\": \"fatal error: could not complete\""}, {}},
        {"abort of a running test", "SelfTestRunning = extended, 40\nSelfTestSeconds = 600\n",
         {"selftest", "0", "abort", "--wait"}, 0,
         {"\"started\": true", "\"type\": \"extended\", \"statusCode\": 1, \"status\": \"aborted by the host\""},
         {"varim_selftest_in_progress 1", "varim_selftest_remaining_ratio 0.4", "varim_selftest_last_passed -"}},
        {"abort with none running", "", {"selftest", "0", "abort"}, 0,
         {"\"started\": false, \"estimatedMinutes\": null, \"result\": null"},
         {"varim_selftest_in_progress 0", "varim_selftest_remaining_ratio -", "varim_error_log_entries_total 0"}},
        {"a second test while one runs", "SelfTestRunning = short, 50\nSelfTestSeconds = 600\n",
         {"selftest", "0", "short"}, 1, {"already running a self-test (50% remaining)"}, {}},
        {"conveyance not supported", "", {"selftest", "0", "conveyance"}, 1,
         {"does not support the conveyance self-test"}, {}},
        {"conveyance supported", "SelfTestMinutes = 1, 60, 5\n", {"selftest", "0", "conveyance", "--wait"}, 0,
         {"\"estimatedMinutes\": 5", "\"type\": \"conveyance\", \"statusCode\": 0"}, {}},
        {"logs", logged, {"log", "0"}, 0,
         {"\"transport\": \"ata\", \"selfTestSupported\": true, \"selfTestInProgress\": false",
          "\"selfTests\": [{\"type\": \"extended\", \"statusCode\": 7, \"status\": \"failed: read element\", "
          "\"passed\": false, \"remainingPercent\": 90, \"powerOnHours\": 12345, \"firstErrorLba\": 1050}, "
          "{\"type\": \"short\", \"statusCode\": 0, \"status\": \"completed without error\", \"passed\": true, "
          "\"remainingPercent\": 0, \"powerOnHours\": 12000, \"firstErrorLba\": null}]",
          "\"errorCount\": 3, \"errors\": [{\"powerOnHours\": 12340, \"lba\": 1050, \"status\": \"uncorrectable data\"}]"},
         {"varim_selftest_last_passed 0", "varim_selftest_last_power_on_seconds 44442000",
          "varim_error_log_entries_total 3", "varim_selftest_in_progress 0"}},
        {"no self-tests", "SelfTestMinutes = 0, 0, 0\n", {"log", "0"}, 0,
         {"\"selfTestSupported\": false", "\"selfTests\": []"},
         {"varim_selftest_in_progress -", "varim_selftest_last_passed -", "varim_error_log_entries_total 0"}},
        {"no self-tests refused", "SelfTestMinutes = 0, 0, 0\n", {"selftest", "0", "short"}, 1,
         {"does not support self-tests"}, {}},
        {"no S.M.A.R.T.", "Smart = none\n", {"selftest", "0", "short"}, 1, {"has no S.M.A.R.T."},
         {"varim_selftest_in_progress -", "varim_error_log_entries_total -"}},
        {"no S.M.A.R.T. logs", "Smart = nocap\n", {"log", "0"}, 1, {"has no S.M.A.R.T."}, {}},
        {"failing log read", "LogsFail = yes\n", {"log", "0"}, 1, {"its logs cannot be read"},
         {"varim_selftest_last_passed -", "varim_error_log_entries_total -", "varim_selftest_in_progress 0"}},
        {"NVMe pass", "NVME", {"selftest", "0", "short", "--wait"}, 0,
         {"\"statusCode\": 0", "\"remainingPercent\": null, \"powerOnHours\": 77"}, {}},
        {"NVMe failure", "NVMESelfTestOutcome = fail:77\n", {"selftest", "0", "extended", "--wait"}, 4,
         {"\"statusCode\": 7", "\"status\": \"failed: one or more segments\"", "\"firstErrorLba\": 77"}, {}},
        {"NVMe has no conveyance test", "NVMESelfTestMinutes = 2, 10, 5\n", {"selftest", "0", "conveyance"}, 1,
         {"does not support the conveyance self-test"}, {}},
        {"NVMe logs", "NVME" + logged, {"log", "0"}, 0,
         {"\"transport\": \"nvme\"", "\"remainingPercent\": null, \"powerOnHours\": 12345, \"firstErrorLba\": 1050",
          "\"errorCount\": 3, \"errors\": [{\"powerOnHours\": null, \"lba\": 1050, \"status\": \"unrecovered read error\"}]"},
         {"varim_selftest_last_passed 0", "varim_error_log_entries_total 3"}},
    };
    const fs::path dir = fs::temp_directory_path() / ("varim-selftest-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string keys = c.drive;
        const bool onNvme = keys.rfind("NVME", 0) == 0;
        if (onNvme) keys = keys.substr(4);
        const fs::path machine = dir / "machine.ini";
        std::ofstream(machine, std::ios::binary) << "[Drive0]\n" << (onNvme ? nvme : ata) << keys;
        std::vector<std::string> args = {"--machine", machine.string(), "--json"};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const auto run = clitest::RunProcess(VARIM_BINARY, args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        for (const std::string& text : c.json) EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
        if (c.metrics.empty()) continue;
        const auto metrics = clitest::RunProcess(VARIM_BINARY, {"--machine", machine.string(), "metrics"});
        ASSERT_EQ(metrics.status, 0) << metrics.err;
        for (const std::string& expected : c.metrics) {
            const std::string family = expected.substr(0, expected.find(' '));
            EXPECT_EQ(family + " " + SampleOf(metrics.out, family), expected);
        }
    }
    fs::remove_all(dir);
}

TEST(SelfTestCommands, CtrlCStopsTheWaitingNotTheTest) {
    const fs::path dir = fs::temp_directory_path() / ("varim-selftest-int-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path machine = dir / "machine.ini";
    std::ofstream(machine, std::ios::binary) << "[Drive0]\nSectors = 2000\nSelfTestSeconds = 60\n";
    const auto run = clitest::RunProcess(VARIM_BINARY,
                                         {"--machine", machine.string(), "--json", "selftest", "0", "short", "--wait"},
                                         clitest::SignalPlan{SIGINT, std::chrono::milliseconds(0), "remaining"});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.out.find("\"started\": true, \"estimatedMinutes\": 2, \"result\": null"), std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("the self-test goes on in the drive"), std::string::npos) << run.err;
    fs::remove_all(dir);
}

}  // namespace
