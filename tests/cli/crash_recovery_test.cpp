// A repair killed at every one of its writes, then the console tool's recover: every sector
// that could be read holds its content again, and the journal is empty.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "run_process.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSectors = 100;
constexpr std::size_t kPending = 30;     // unreadable until written: zeroed by the repair
constexpr std::size_t kUnreadable = 70;  // never readable: its content is unknown

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Machine(const std::string& serial, std::size_t crashAtWrite) {
    std::string text = "[Machine]\n";
    if (crashAtWrite > 0) text += "CrashAtWrite = " + std::to_string(crashAtWrite) + "\n";
    return text + "[Drive0]\nSectors = " + std::to_string(kSectors) + "\nImage = drive.img\nSerial = " + serial +
           "\nPending = " + std::to_string(kPending) + "\nBadRead = " + std::to_string(kUnreadable) + "\n";
}

// Sectors whose bytes differ, the two unreadable ones left out.
std::vector<std::size_t> Differing(const std::string& a, const std::string& b) {
    std::vector<std::size_t> sectors;
    for (std::size_t s = 0; s < kSectors; ++s)
        if (s != kPending && s != kUnreadable && a.compare(s * 512, 512, b, s * 512, 512) != 0) sectors.push_back(s);
    return sectors;
}

TEST(CrashRecovery, AKillAtEveryWriteOfARepairThenRecoverLosesNothing) {
    const fs::path dir = fs::temp_directory_path() / ("varim-crash-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path machine = dir / "machine.ini";
    const fs::path image = dir / "drive.img";
    const fs::path journal = dir / "machine.ini.journal";
    std::mt19937 random(9);
    std::string original(kSectors * 512, '\0');
    for (char& byte : original) byte = static_cast<char>(random());
    const auto varim = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--machine", machine.string(), "--json"});
        return clitest::RunProcess(VARIM_BINARY, args);
    };

    for (const std::string mode : {"standard", "regenerate"}) {
        int restored = 0;
        std::size_t crash = 1;
        for (;; ++crash) {
            SCOPED_TRACE(mode + ", killed at write " + std::to_string(crash));
            WriteAll(image, original);
            fs::remove_all(journal);
            WriteAll(machine, Machine("SIM0001", crash));
            const clitest::ProcessResult scan = varim({"scan", "0", "--start", "0", "--end", "0", "--mode", mode});
            if (scan.status == 0) break;  // the scan made fewer writes than that
            ASSERT_EQ(scan.status, 128 + SIGKILL) << scan.err;

            const bool pending = fs::exists(journal) && !fs::is_empty(journal);
            if (pending && crash % 25 == 0) {
                // Another disk in its place: the entry is kept, reported, and nothing is written.
                const std::string afterCrash = ReadAll(image);
                WriteAll(machine, Machine("ANOTHER", 0));
                const clitest::ProcessResult elsewhere = varim({"recover"});
                EXPECT_EQ(ReadAll(image), afterCrash);
                EXPECT_EQ(elsewhere.status, 1);
                EXPECT_NE(elsewhere.out.find("is not attached"), std::string::npos) << elsewhere.out;
            }

            WriteAll(machine, Machine("SIM0001", 0));
            const clitest::ProcessResult recover = varim({"recover"});
            EXPECT_EQ(recover.status, 0) << recover.out << recover.err;
            EXPECT_EQ(Differing(ReadAll(image), original), std::vector<std::size_t>()) << recover.out;
            EXPECT_TRUE(!fs::exists(journal) || fs::is_empty(journal)) << recover.out;
            if (pending) {
                EXPECT_EQ(recover.out, "{\"restored\": [{\"drive\": 0, \"lba\": 0, \"sectors\": 100}], \"kept\": []}\n");
                ++restored;
            }
        }
        // Two passes of 100 zero writes, each of them survived.
        EXPECT_GE(crash, 200u);
        EXPECT_GE(restored, 200);
    }
    fs::remove_all(dir);
}

}  // namespace
