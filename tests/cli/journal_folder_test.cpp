// The repair journal's folder as an attacker or an unlucky user leaves it: it is used only when no
// one else could have written it, nothing in it is followed or waited on, and no switch in the
// environment turns it off.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "run_process.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSectors = 200;
constexpr std::size_t kPending = 30;

class JournalFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("varim-folder-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::permissions(dir_, fs::perms(0755));
        machine_ = dir_ / "m.ini";
        image_ = dir_ / "d0.img";
        journal_ = dir_ / "m.ini.journal";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteMachine(std::size_t crashAtWrite) {
        std::ofstream(machine_) << "[Machine]\nCrashAtWrite = " << crashAtWrite << "\n[Drive0]\nSectors = " << kSectors
                                << "\nImage = d0.img\nSerial = SIM0001\nPending = " << kPending << "\n";
    }
    // A fresh image of distinct bytes, and an entry left by a repair killed among its zero writes.
    std::string CrashedRepair() {
        std::string bytes(kSectors * 512, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 512);
        std::ofstream(image_, std::ios::binary) << bytes;
        const std::string before = Image();
        WriteMachine(50);
        const clitest::ProcessResult scan = varim({"scan", "0", "--mode", "regenerate"});
        EXPECT_EQ(scan.status, 128 + SIGKILL) << scan.out << scan.err;
        WriteMachine(0);
        return before;
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        if (fs::is_directory(journal_))
            for (const auto& item : fs::directory_iterator(journal_)) names.push_back(item.path().filename());
        return names;
    }
    clitest::ProcessResult varim(std::vector<std::string> args, std::optional<clitest::SignalPlan> plan = {}) {
        args.insert(args.begin(), {"--machine", machine_.string()});
        return clitest::RunProcess(VARIM_BINARY, args, plan);
    }
    // The image's bytes, the pending sector (unreadable, so its content is unknown) left out.
    std::string Image() const {
        std::string bytes = ReadAll(image_);
        if (bytes.size() >= (kPending + 1) * 512) bytes.erase(kPending * 512, 512);
        return bytes;
    }
    static std::string ReadAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_, machine_, image_, journal_;
};

TEST_F(JournalFolderTest, NoEnvironmentVariableTurnsTheJournalOff) {
    ::setenv("VARIM_BENCHMARK_WITHOUT_JOURNAL", "1", 1);
    CrashedRepair();
    ::unsetenv("VARIM_BENCHMARK_WITHOUT_JOURNAL");
    EXPECT_EQ(Entries().size(), 1u);
    const clitest::ProcessResult recover = varim({"recover"});
    EXPECT_EQ(recover.status, 0) << recover.out << recover.err;
}

// A folder another user could have written is never read from nor written to: recover says why
// and fails, the crashed block stays as it is, and a scan zeroes nothing.
TEST_F(JournalFolderTest, AFolderSomeoneElseCouldWriteIsNotUsed) {
    struct Case {
        const char* name;
        std::function<bool(const fs::path& dir, const fs::path& journal)> spoil;  // false: cannot here
    };
    const std::vector<Case> cases{
        {"group-writable folder", [](const fs::path&, const fs::path& j) { return ::chmod(j.c_str(), 0770) == 0; }},
        {"folder of another user",
         [](const fs::path&, const fs::path& j) { return ::geteuid() == 0 && ::chown(j.c_str(), 65534, 65534) == 0; }},
        {"world-writable parent without the sticky bit",
         [](const fs::path& d, const fs::path&) { return ::chmod(d.c_str(), 0777) == 0; }},
        {"folder replaced by a symbolic link",
         [](const fs::path& d, const fs::path& j) {
             fs::rename(j, d / "elsewhere");
             fs::create_directory_symlink(d / "elsewhere", j);
             return true;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const std::string original = CrashedRepair();
        ASSERT_EQ(Entries().size(), 1u);
        if (!c.spoil(dir_, journal_)) continue;
        const std::string afterCrash = Image();
        ASSERT_TRUE(afterCrash != original);

        const clitest::ProcessResult recover = varim({"recover"});
        EXPECT_EQ(recover.status, 1) << recover.out << recover.err;
        EXPECT_NE(recover.err.find("cannot be used"), std::string::npos) << recover.out << recover.err;
        EXPECT_TRUE(Image() == afterCrash);

        const clitest::ProcessResult scan = varim({"scan", "0", "--mode", "regenerate"});
        EXPECT_NE(scan.out.find("the repair journal cannot be written"), std::string::npos) << scan.out;
        EXPECT_TRUE(Image() == afterCrash);
    }
}

TEST_F(JournalFolderTest, RecoverWithJsonRefusesAnUnusableFolderInItsDocument) {
    CrashedRepair();
    ASSERT_EQ(::chmod(journal_.c_str(), 0770), 0);
    const clitest::ProcessResult recover = varim({"--json", "recover"});
    EXPECT_EQ(recover.status, 1) << recover.out << recover.err;
    EXPECT_EQ(recover.out.rfind("{\"refused\": \"the repair journal in ", 0), 0u) << recover.out << recover.err;
}

TEST_F(JournalFolderTest, AStickyWorldWritableParentIsFine) {
    fs::permissions(dir_, fs::perms(01777));
    const std::string original = CrashedRepair();
    const clitest::ProcessResult recover = varim({"recover"});
    EXPECT_EQ(recover.status, 0) << recover.out << recover.err;
    EXPECT_TRUE(Image() == original);
    EXPECT_TRUE(Entries().empty());
}

// Nothing planted in the folder is followed or waited on: a symbolic link where a repair writes
// its entry leaves its target alone, and a FIFO among the entries is named, not opened for good.
TEST_F(JournalFolderTest, PlantedLinksAndFifosAreNeitherFollowedNorWaitedOn) {
    const std::string original = CrashedRepair();
    ASSERT_EQ(Entries().size(), 1u);
    const std::string part = Entries().front() + ".part";
    ASSERT_EQ(varim({"recover"}).status, 0);

    const fs::path victim = dir_ / "victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, journal_ / part);
    ASSERT_EQ(::mkfifo((journal_ / "zz.entry").c_str(), 0600), 0);
    const clitest::SignalPlan hang{SIGKILL, std::chrono::seconds(30), ""};

    const clitest::ProcessResult recover = varim({"recover"}, hang);
    EXPECT_EQ(recover.status, 1) << recover.out << recover.err;
    EXPECT_NE(recover.out.find("zz.entry"), std::string::npos) << recover.out;
    EXPECT_EQ(varim({"drives"}, hang).status, 0);

    const clitest::ProcessResult scan = varim({"scan", "0", "--mode", "regenerate"}, hang);
    EXPECT_EQ(scan.status, 0) << scan.out << scan.err;
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_TRUE(Image() == original);
    EXPECT_FALSE(fs::exists(fs::symlink_status(journal_ / part)));
}

// A journal in memory still guards against a crash of the program, and the scan says once what a
// power cut would cost.
TEST_F(JournalFolderTest, AJournalInMemoryIsUsedAndItsRiskSaidOnce) {
    struct statfs shm {};
    constexpr long kTmpfs = 0x01021994;
    if (::statfs("/dev/shm", &shm) != 0 || static_cast<long>(shm.f_type) != kTmpfs)
        GTEST_SKIP() << "/dev/shm is not a tmpfs here";
    TearDown();
    dir_ = fs::path("/dev/shm") / ("varim-folder-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms(0755));
    machine_ = dir_ / "m.ini";
    image_ = dir_ / "d0.img";
    journal_ = dir_ / "m.ini.journal";
    const std::string original = CrashedRepair();
    EXPECT_EQ(Entries().size(), 1u);
    EXPECT_EQ(varim({"recover"}).status, 0);
    EXPECT_TRUE(Image() == original);

    const clitest::ProcessResult scan = varim({"scan", "0", "--mode", "regenerate"});
    EXPECT_EQ(scan.status, 0) << scan.out << scan.err;
    const std::string warning = "a power cut during a repair would lose the block being repaired";
    const std::size_t first = scan.out.find(warning);
    EXPECT_NE(first, std::string::npos) << scan.out;
    EXPECT_EQ(scan.out.find(warning, first + 1), std::string::npos) << scan.out;
    EXPECT_EQ(scan.out.find("the repair journal cannot be written"), std::string::npos) << scan.out;
}

// The first scan of a machine named by a relative path, whose journal folder is not made yet,
// judges the filesystem the folder will be made on.
TEST_F(JournalFolderTest, AJournalNotMadeYetBesideARelativeMachinePathIsKnownToBeInMemory) {
    struct statfs shm {};
    constexpr long kTmpfs = 0x01021994;
    if (::statfs("/dev/shm", &shm) != 0 || static_cast<long>(shm.f_type) != kTmpfs)
        GTEST_SKIP() << "/dev/shm is not a tmpfs here";
    TearDown();
    dir_ = fs::path("/dev/shm") / ("varim-relative-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    machine_ = dir_ / "m.ini";
    std::ofstream(machine_) << "[Drive0]\nSectors = 200\n";
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    const clitest::ProcessResult scan =
        clitest::RunProcess(VARIM_BINARY, {"--machine", "m.ini", "scan", "0", "--mode", "regenerate"});
    fs::current_path(before);
    EXPECT_EQ(scan.status, 0) << scan.out << scan.err;
    EXPECT_NE(scan.out.find("a power cut during a repair would lose the block being repaired"), std::string::npos)
        << scan.out;
}

}  // namespace
