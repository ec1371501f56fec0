// Scans killed at every one of their writes, on drives with every kind of fault, then the
// console tool's recover: every sector that could be read before the scan holds its content
// again and the journal is empty. Along the way, a pending entry is never written by a command
// that only looks, nor to another disk, nor unasked to a disk that cannot be recognised.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>

#include "run_process.h"

namespace {

namespace fs = std::filesystem;

struct SweepMachine {
    const char* name;
    std::size_t sectors;
    std::string faults;                  // machine lines of Drive0
    std::vector<std::size_t> unreadable;  // sectors no read gives before the scan
};

// Faults in one block, with and without partial writes, and spread over two blocks.
const SweepMachine kMachines[] = {
    {"one block, whole writes", 40, "BadWrite = 10\nPartialWrites = no\nWeak = 5\nPending = 20\nBadRead = 30\n",
     {20, 30}},
    {"one block, partial writes", 40, "BadWrite = 10\nPartialWrites = yes\nWeak = 5\nPending = 20\nBadRead = 30\n",
     {20, 30}},
    {"two blocks", 130, "Weak = 5\nBadRead = 50\nBadWrite = 110\nPartialWrites = yes\nPending = 120\n", {50, 120}},
};

struct SweepCase {
    std::size_t machine;
    const char* mode;
    bool batches;  // --transfer-mib 1: many blocks per transfer
};

void PrintTo(const SweepCase& sweep, std::ostream* out) {
    *out << kMachines[sweep.machine].name << ", " << sweep.mode << (sweep.batches ? ", batches" : "");
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class CrashSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(CrashSweep, AKillAtEveryWriteThenRecoverLosesNothing) {
    const SweepCase& sweep = GetParam();
    const SweepMachine& m = kMachines[sweep.machine];
    // In memory where there is such a folder: the sweep's thousands of journal syncs cost
    // nothing there, and what a kill leaves is the same.
    std::error_code noShm;
    const fs::path base = fs::is_directory("/dev/shm", noShm) ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path dir = base /
                         ("varim-crash-" + std::to_string(getpid()) + "-" + std::to_string(sweep.machine) + sweep.mode +
                          (sweep.batches ? "b" : ""));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path machine = dir / "machine.ini";
    const fs::path image = dir / "drive.img";
    const fs::path journal = dir / "machine.ini.journal";
    std::mt19937 random(static_cast<unsigned>(sweep.machine * 7 + 9));
    std::string original(m.sectors * 512, '\0');
    for (char& byte : original) byte = static_cast<char>(random() | 1);  // no sector is all zeros
    const auto machineText = [&](std::size_t crashAtWrite, const std::string& extra) {
        std::string text = "[Machine]\n";
        if (crashAtWrite > 0) text += "CrashAtWrite = " + std::to_string(crashAtWrite) + "\n";
        return text + "[Drive0]\nSectors = " + std::to_string(m.sectors) + "\nImage = drive.img\n" + m.faults + extra;
    };
    const auto varim = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--machine", machine.string(), "--json"});
        return clitest::RunProcess(VARIM_BINARY, args);
    };
    const auto pending = [&] { return fs::exists(journal) && !fs::is_empty(journal); };
    // Sectors whose bytes differ from the original, those unreadable before the scan left out.
    const auto differing = [&] {
        const std::string now = ReadAll(image);
        std::vector<std::size_t> sectors;
        for (std::size_t s = 0; s < m.sectors; ++s) {
            const bool unknown = std::find(m.unreadable.begin(), m.unreadable.end(), s) != m.unreadable.end();
            if (!unknown && now.compare(s * 512, 512, original, s * 512, 512) != 0) sectors.push_back(s);
        }
        return sectors;
    };
    std::vector<std::string> scanArgs = {"scan", "0", "--mode", sweep.mode};
    if (sweep.batches) scanArgs.insert(scanArgs.end(), {"--transfer-mib", "1"});

    int restored = 0;
    std::size_t crash = 1;
    for (;; ++crash) {
        SCOPED_TRACE(std::string(m.name) + ", " + sweep.mode + (sweep.batches ? ", batches" : "") +
                     ", killed at write " + std::to_string(crash));
        WriteAll(image, original);
        fs::remove_all(journal);
        WriteAll(machine, machineText(crash, ""));
        const clitest::ProcessResult scan = varim(scanArgs);
        if (scan.status == 0) break;  // the scan made fewer writes than that
        ASSERT_EQ(scan.status, 128 + SIGKILL) << scan.err;

        if (pending() && crash % 40 == 0) {
            const std::string afterCrash = ReadAll(image);
            // Looking writes nothing and says how to write the entry back.
            WriteAll(machine, machineText(0, ""));
            for (const std::vector<std::string>& look : {std::vector<std::string>{"drives"}, {"smart", "0"}}) {
                const clitest::ProcessResult looked = varim(look);
                EXPECT_NE(looked.err.find("recover\" to write it back"), std::string::npos) << look[0] << looked.err;
            }
            EXPECT_EQ(ReadAll(image), afterCrash);
            // Another disk in its place: the entry is kept, reported, and nothing is written.
            WriteAll(machine, machineText(0, "Serial = ANOTHER\n"));
            const clitest::ProcessResult elsewhere = varim({"recover"});
            EXPECT_EQ(elsewhere.status, 1);
            EXPECT_NE(elsewhere.out.find("is not attached"), std::string::npos) << elsewhere.out;
            EXPECT_EQ(ReadAll(image), afterCrash);
        }
        // The last scans' entries on a drive that cannot be recognised for certain are written
        // only to the drive the user names.
        const bool uncertain = sweep.machine == 2 && pending() && crash % 40 == 20;
        if (uncertain) {
            fs::remove_all(journal);
            WriteAll(image, original);
            WriteAll(machine, machineText(crash, "UncertainIdentity = yes\n"));
            ASSERT_EQ(varim(scanArgs).status, 128 + SIGKILL);
            const std::string afterCrash = ReadAll(image);
            WriteAll(machine, machineText(0, "UncertainIdentity = yes\n"));
            const clitest::ProcessResult unasked = varim({"recover"});
            EXPECT_EQ(unasked.status, 1);
            EXPECT_NE(unasked.out.find("Drive 0 cannot be recognised for certain; nothing was written"),
                      std::string::npos)
                << unasked.out;
            EXPECT_EQ(ReadAll(image), afterCrash);
            const clitest::ProcessResult named = varim({"recover", "--to-drive", "0"});
            EXPECT_EQ(named.status, 0) << named.out;
            EXPECT_EQ(differing(), std::vector<std::size_t>()) << named.out;
        }

        const bool wasPending = pending();
        WriteAll(machine, machineText(0, uncertain ? "UncertainIdentity = yes\n" : ""));
        const clitest::ProcessResult recover = varim({"recover"});
        EXPECT_EQ(recover.status, 0) << recover.out << recover.err;
        EXPECT_EQ(differing(), std::vector<std::size_t>()) << recover.out;
        EXPECT_FALSE(pending()) << recover.out;
        if (wasPending) {
            EXPECT_NE(recover.out.find("\"restored\": [{\"drive\": 0"), std::string::npos) << recover.out;
            ++restored;
        }
    }
    // Two passes of zero writes over every sector, each of them survived.
    EXPECT_GE(crash, 2 * m.sectors);
    EXPECT_GE(restored, static_cast<int>(m.sectors));
    fs::remove_all(dir);
}

std::vector<SweepCase> AllCases() {
    std::vector<SweepCase> cases;
    for (std::size_t machine = 0; machine < std::size(kMachines); ++machine)
        for (const char* mode : {"standard", "regenerate"})
            for (const bool batches : {false, true})
                // Batches take more than one block, which only the two-block drive has.
                if (!batches || kMachines[machine].sectors > 100) cases.push_back({machine, mode, batches});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Faults, CrashSweep, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                             return "machine" + std::to_string(info.param.machine) + "_" + info.param.mode +
                                    (info.param.batches ? "_batches" : "");
                         });

// A drive named with --to-drive whose size differs from the disk the entry was saved from is
// certainly another disk: nothing is written to it, and the right drive still gets the block.
TEST(RecoverToDrive, ADriveOfAnotherSizeIsNotTheDiskEvenWhenNamed) {
    const fs::path dir = fs::temp_directory_path() / ("varim-to-drive-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path machine = dir / "m.ini";
    std::string original(200 * 512, '\0');
    for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<char>(i * 7 + 3);
    WriteAll(dir / "d0.img", original);
    WriteAll(dir / "d1.img", std::string(100 * 512, '\0'));
    const auto machineText = [](int crashAt) {
        return "[Machine]\nCrashAtWrite = " + std::to_string(crashAt) +
               "\n[Drive0]\nSectors = 200\nImage = d0.img\nUncertainIdentity = yes\n"
               "[Drive1]\nSectors = 100\nImage = d1.img\nUncertainIdentity = yes\n";
    };
    const auto varim = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--machine", machine.string()});
        return clitest::RunProcess(VARIM_BINARY, args);
    };
    WriteAll(machine, machineText(150));
    EXPECT_EQ(varim({"scan", "0", "--mode", "regenerate"}).status, 128 + SIGKILL);
    WriteAll(machine, machineText(0));

    const clitest::ProcessResult wrong = varim({"recover", "--to-drive", "1"});
    EXPECT_EQ(wrong.status, 1) << wrong.out;
    EXPECT_TRUE(ReadAll(dir / "d1.img") == std::string(100 * 512, '\0')) << wrong.out;
    const clitest::ProcessResult right = varim({"recover", "--to-drive", "0"});
    EXPECT_EQ(right.status, 0) << right.out;
    EXPECT_TRUE(ReadAll(dir / "d0.img") == original) << right.out;
    fs::remove_all(dir);
}

}  // namespace
