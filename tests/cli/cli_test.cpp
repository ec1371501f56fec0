// The console tool end to end on simulated machines: commands, exit statuses and the JSON
// documents that scripts rely on.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "run_process.h"

namespace {

namespace fs = std::filesystem;
using clitest::RunProcess;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("varim-cli-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string writeFile(const std::string& name, const std::string& text) {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    clitest::ProcessResult varim(std::vector<std::string> args, std::optional<clitest::SignalPlan> plan = {}) {
        return RunProcess(VARIM_BINARY, args, plan);
    }
    std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
};

const char* kHealthyMachine = R"([Machine]
Letters = C:fixed D:fixed E:cdrom
[Drive0]
Sectors = 2000
Model = SIMDISK 2000
Serial = SIM0001
Firmware = 1.0
Attribute.0 = 194, 0x0022, 100, 100, 38 0 20 0 45 0
Attribute.1 = 9, 0x0032, 97, 97, 210 4 0 0 0 0
Attribute.5 = 5, 0x0033, 100, 100, 0 0 0 0 0 0
Threshold.0 = 5, 36
Weak = 550
)";

TEST_F(CliTest, BadUsageExitsTwo) {
    EXPECT_EQ(varim({}).status, 2);
    EXPECT_EQ(varim({"frobnicate"}).status, 2);
    EXPECT_EQ(varim({"smart"}).status, 2);
    EXPECT_EQ(varim({"smart", "50"}).status, 2);
    EXPECT_EQ(varim({"smart", "x1"}).status, 2);
    EXPECT_EQ(varim({"scan", "0", "--mode", "fast"}).status, 2);
    EXPECT_EQ(varim({"drives", "--start", "5"}).status, 2);
    EXPECT_EQ(varim({"scan", "0", "--transfer-mib", "257"}).status, 2);
    EXPECT_EQ(varim({"scan", "0", "--transfer-mib", "8M"}).status, 2);
    EXPECT_EQ(varim({"smart", "0", "--transfer-mib", "8"}).status, 2);
    auto r = varim({"--machine", "a.ini", "--device", "/dev/null", "drives"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("exclude each other"), std::string::npos);
}

TEST_F(CliTest, UnreadableOrInvalidMachineFileExitsOneNamingIt) {
    auto missing = varim({"--machine", (dir_ / "nope.ini").string(), "drives"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nope.ini"), std::string::npos);

    std::string bad = writeFile("bad.ini", "[Drive0]\nSectors = 100\nColour = blue\n");
    auto invalid = varim({"--machine", bad, "drives"});
    EXPECT_EQ(invalid.status, 1);
    EXPECT_NE(invalid.err.find("bad.ini:3"), std::string::npos) << invalid.err;
}

TEST_F(CliTest, DrivesCountsFixedLettersAndListsWhatOpens) {
    std::string machine = writeFile("m.ini", kHealthyMachine);
    auto r = varim({"--machine", machine, "--json", "drives"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"fixedLettersSeen\": 2, \"drivesRead\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"number\": 0, \"model\": \"SIMDISK 2000\", \"sectors\": 2000, \"capacityMb\": 0.9765625, "
                         "\"probed\": true, \"device\": \"sim0\"}"),
              std::string::npos)
        << r.out;

    auto text = varim({"--machine", machine, "drives"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("Drive 0 SIMDISK 2000"), std::string::npos) << text.out;
}

TEST_F(CliTest, SmartShowsAttributesInPageOrderWithNamesAndIndicators) {
    std::string machine = writeFile("m.ini", kHealthyMachine);
    auto r = varim({"--machine", machine, "--json", "smart", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"model\": \"SIMDISK 2000\", \"serial\": \"SIM0001\", \"firmware\": \"1.0\""), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"attributeCount\": 3"), std::string::npos);
    // The 16-bit raw of the panels, and the whole 48-bit field beside it.
    auto t = r.out.find("{\"id\": 194, \"name\": \"Temperature\", \"current\": 100, \"worst\": 100, \"raw\": 38, "
                        "\"threshold\": -1, \"rawValue\": 193274839078, \"rawBytes\": \"002d00140026\"}");
    auto h = r.out.find("{\"id\": 9, \"name\": \"Power-On Hours\", \"current\": 97, \"worst\": 97, \"raw\": 1234");
    auto s = r.out.find("{\"id\": 5, \"name\": \"Reallocated Sectors Count\", \"current\": 100, \"worst\": 100, "
                        "\"raw\": 0, \"threshold\": 36, \"rawValue\": 0, \"rawBytes\": \"000000000000\"}");
    ASSERT_NE(t, std::string::npos) << r.out;
    ASSERT_NE(h, std::string::npos) << r.out;
    ASSERT_NE(s, std::string::npos) << r.out;
    EXPECT_LT(t, h);
    EXPECT_LT(h, s);
    EXPECT_NE(r.out.find("\"indicators\": {\"celsius\": 38, \"fahrenheit\": 100, \"status\": \"OK\", \"hours\": 1234, "
                         "\"temperatureAlarm\": false, \"backupAlarm\": false}"),
              std::string::npos)
        << r.out;

    auto text = varim({"--machine", machine, "smart", "0"});
    EXPECT_NE(text.out.find("38 \u00b0 C"), std::string::npos) << text.out;
}

TEST_F(CliTest, SmartWithoutTemperatureHasNullIndicatorsAndMissingDriveFails) {
    std::string machine = writeFile("m.ini", "[Drive0]\nSectors = 100\nAttribute.0 = 5, 0x33, 100, 100, 45 0 0 0 0 0\n");
    auto r = varim({"--machine", machine, "--json", "smart", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"indicators\": null"), std::string::npos) << r.out;

    auto missing = varim({"--machine", machine, "--json", "smart", "3"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("\"refused\""), std::string::npos);
}

TEST_F(CliTest, CatalogueListsAllIdsInUtf8) {
    auto r = varim({"--json", "catalogue"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t entries = 0;
    for (std::size_t at = r.out.find("{\"id\": "); at != std::string::npos; at = r.out.find("{\"id\": ", at + 1))
        ++entries;
    EXPECT_EQ(entries, 256u);
    EXPECT_NE(r.out.find("{\"id\": 0, \"name\": \"Unknown attribute\", \"description\": \"Unknown S.M.A.R.T. detail\"}"),
              std::string::npos);
    EXPECT_NE(r.out.find("Drive\u2019s seek performance during its internal tests."), std::string::npos);
    EXPECT_NE(r.out.find("\"description\": \"Count of hours in power-on state. \""), std::string::npos);
}

TEST_F(CliTest, ScanFindsAndRepairsAWeakBlock) {
    std::string machine = writeFile("m.ini", kHealthyMachine);
    auto r = varim({"--machine", machine, "--json", "scan", "0", "--end", "1000", "--mode", "standard"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"drive\": 0, \"mode\": \"standard\", \"start\": 0, \"end\": 1000, \"completed\": true, "
                         "\"badCount\": 1, \"repairedCount\": 1, \"badBlocks\": [500], \"currentLba\": 1100, "
                         "\"message\": \" Process completed 1 bads found and 1 repaired. \", \"seconds\": "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("Bad sector LBA: 500"), std::string::npos) << r.err;
    auto batched = varim({"--machine", machine, "--json", "scan", "0", "--end", "1000", "--mode", "standard",
                          "--transfer-mib", "1"});
    ASSERT_EQ(batched.status, 0) << batched.err;
    EXPECT_EQ(batched.out.substr(0, batched.out.find("\"seconds\"")), r.out.substr(0, r.out.find("\"seconds\"")));

    auto text = varim({"--machine", machine, "scan", "0", "--end", "1000", "--mode", "regenerate"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find(" Process completed 0 bads found and 0 repaired. "), std::string::npos) << text.out;
}

TEST_F(CliTest, RefusedScansPrintTheMessageAndExitOne) {
    std::string machine = writeFile("m.ini", std::string(kHealthyMachine) + "[Drive1]\nSectors = 1000\nInUse = yes\n");
    auto bad = varim({"--machine", machine, "--json", "scan", "0", "--start", "12a", "--mode", "standard"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "{\"refused\": \"Start sector is not a valid numeric value\"}\n");

    auto reversed = varim({"--machine", machine, "--json", "scan", "0", "--start", "900", "--end", "800", "--mode",
                           "standard"});
    EXPECT_EQ(reversed.status, 1);
    EXPECT_EQ(reversed.out, "{\"refused\": \"Wrong value indicating range to be scanned!\"}\n");

    auto inUse = varim({"--machine", machine, "--json", "scan", "1", "--mode", "standard"});
    EXPECT_EQ(inUse.status, 1);
    EXPECT_NE(inUse.out.find("\"refused\""), std::string::npos);
    EXPECT_NE(inUse.out.find("Drive 1"), std::string::npos) << inUse.out;

    auto noMode = varim({"--machine", machine, "scan", "0"});
    EXPECT_EQ(noMode.status, 2);
}

TEST_F(CliTest, CtrlCStopsSavesTheSessionAndAResumeFinishesTheRange) {
    std::string machine = writeFile("slow.ini", "[Drive0]\nSectors = 20000\nLatencyUs = 3000\n");
    std::string session = (dir_ / "run.qsx").string();
    auto stopped = varim({"--machine", machine, "--json", "scan", "0", "--mode", "standard", "--session", session},
                         clitest::SignalPlan{SIGINT, std::chrono::milliseconds(300), "Sector:"});
    ASSERT_EQ(stopped.status, 3) << stopped.out << stopped.err;
    EXPECT_NE(stopped.out.find("\"completed\": false"), std::string::npos) << stopped.out;
    EXPECT_NE(stopped.out.find("Process intrerupted"), std::string::npos);
    std::string saved = readFile(session);
    auto crlf = saved.find("\r\n");
    ASSERT_NE(crlf, std::string::npos) << saved;
    EXPECT_EQ(saved.substr(crlf + 2), "20000");
    long resume = std::stol(saved.substr(0, crlf));
    EXPECT_GT(resume, 0);
    EXPECT_LT(resume, 20000);
    EXPECT_EQ(resume % 100, 0);

    auto resumed = varim({"--machine", machine, "--json", "scan", "0", "--mode", "standard", "--resume", session});
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.out.find("\"start\": " + std::to_string(resume) + ", \"end\": 20000, \"completed\": true"),
              std::string::npos)
        << resumed.out;
}

TEST_F(CliTest, AnInvalidSessionFileIsRefused) {
    std::string machine = writeFile("m.ini", kHealthyMachine);
    std::string session = writeFile("bad.qsx", "hello world");
    auto r = varim({"--machine", machine, "--json", "scan", "0", "--mode", "standard", "--resume", session});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("not a valid session"), std::string::npos) << r.out;
}

TEST_F(CliTest, SpeedReportsBothZones) {
    std::string machine = writeFile("m.ini", "[Drive0]\nSectors = 3000000\n");
    auto r = varim({"--machine", machine, "--json", "speed", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"drive\": 0, \"zone1MBps\": "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"zone2Start\": 1500000}"), std::string::npos) << r.out;
}

}  // namespace
