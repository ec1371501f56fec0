// The console tool on a real block device (a loop device; needs root): a scan killed with
// SIGKILL at random moments in both modes, then `varim recover`, leaves the whole device
// byte-identical to what it was every time.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "loop_device.h"
#include "run_process.h"
#include "temp_tree.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSectors = 2048;  // 1 MiB: 21 blocks
constexpr int kKills = 20;               // per mode

// The repair journal of root, where the console tool keeps it for real drives.
const fs::path kJournal = "/var/lib/varim/repair-journal";

// Entries that name this image (the loop device's identity carries its backing file).
std::vector<fs::path> EntriesFor(const std::string& image) {
    std::vector<fs::path> found;
    std::error_code ignored;
    for (const auto& item : fs::directory_iterator(kJournal, ignored)) {
        // Only complete entries: a kill during the entry's own write leaves a .part file, which
        // the next start clears away and never writes anywhere.
        if (item.path().extension() != ".entry") continue;
        std::ifstream in(item.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.find(image) != std::string::npos) found.push_back(item.path());
    }
    return found;
}

// The entries a run would write back: a ".part" file is an entry whose writing a kill cut short,
// which the next run removes.
std::vector<fs::path> WrittenEntriesFor(const std::string& image) {
    std::vector<fs::path> found = EntriesFor(image);
    std::erase_if(found, [](const fs::path& path) { return path.extension() != ".entry"; });
    return found;
}

TEST(CrashOnLoopDevice, SigkillAtRandomMomentsThenRecoverLeavesTheDeviceUnchanged) {
    const std::string unavailable = LoopDevice::unavailableReason();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    // A disk-backed folder: tmpfs refuses the loop device's direct I/O on some kernels.
    TempTree dir("/var/tmp");
    const std::string image = dir.path("disk.img");
    std::mt19937 random(20);
    std::vector<std::uint8_t> original(kSectors * 512);
    for (auto& byte : original) byte = static_cast<std::uint8_t>(random());
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    // Whatever happens, no entry of this test outlives it in the machine's journal.
    struct ClearEntries {
        std::string image;
        ~ClearEntries() {
            std::error_code ignored;
            for (const fs::path& left : EntriesFor(image)) fs::remove(left, ignored);
        }
    } clearEntries{image};
    const auto varim = [&](std::vector<std::string> args, std::optional<clitest::SignalPlan> plan = {}) {
        args.insert(args.begin(), {"--device", loop.device(), "--json"});
        return clitest::RunProcess(VARIM_BINARY, args, plan);
    };

    for (const std::string mode : {"standard", "regenerate"}) {
        // How long a whole scan takes, so the kills fall anywhere inside one.
        const auto started = std::chrono::steady_clock::now();
        const clitest::ProcessResult whole = varim({"scan", "0", "--mode", mode});
        ASSERT_EQ(whole.status, 0) << whole.err;
        const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        ASSERT_EQ(readFileBytes(image, 0, original.size()), original);
        std::uniform_int_distribution<long> moment(0, std::max<long>(1, span.count()));

        for (int kill = 0; kill < kKills; ++kill) {
            const long after = moment(random);
            SCOPED_TRACE(mode + ", killed after " + std::to_string(after) + " ms of " + std::to_string(span.count()));
            varim({"scan", "0", "--mode", mode}, clitest::SignalPlan{SIGKILL, std::chrono::milliseconds(after), ""});
            const clitest::ProcessResult recover = varim({"recover"});
            EXPECT_NE(recover.out.find("\"restored\""), std::string::npos) << recover.out << recover.err;
            EXPECT_EQ(readFileBytes(image, 0, original.size()), original) << recover.out;
            EXPECT_TRUE(EntriesFor(image).empty()) << recover.out;
        }
    }
}

// A disk put in the place of one whose repair was killed: the same loop device, the same
// path and size, but another file. Its entry is not written there, and looking writes nothing.
TEST(CrashOnLoopDevice, AnEntryIsNeverWrittenToAnotherFileAttachedInItsPlace) {
    const std::string unavailable = LoopDevice::unavailableReason();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    TempTree dir("/var/tmp");
    const std::string image = dir.path("disk.img");
    std::mt19937 random(21);
    std::vector<std::uint8_t> original(kSectors * 512);
    for (auto& byte : original) byte = static_cast<std::uint8_t>(random());
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    struct ClearEntries {
        std::string image;
        ~ClearEntries() {
            std::error_code ignored;
            for (const fs::path& left : EntriesFor(image)) fs::remove(left, ignored);
        }
    } clearEntries{image};
    const auto varim = [&](std::vector<std::string> args, std::optional<clitest::SignalPlan> plan = {}) {
        args.insert(args.begin(), {"--device", loop.device(), "--json"});
        return clitest::RunProcess(VARIM_BINARY, args, plan);
    };
    // Every block of a regenerate scan is repaired: a kill soon leaves an entry behind.
    for (int after = 5; after < 2000 && WrittenEntriesFor(image).empty(); after *= 2)
        varim({"scan", "0", "--mode", "regenerate"}, clitest::SignalPlan{SIGKILL, std::chrono::milliseconds(after), ""});
    ASSERT_FALSE(WrittenEntriesFor(image).empty());

    const std::vector<std::uint8_t> zeros(original.size(), 0);
    std::error_code ignored;
    fs::remove(image, ignored);
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(zeros.data()), static_cast<std::streamsize>(zeros.size()));
    ASSERT_TRUE(loop.reattach(image));

    // The other loop device test shares root's journal: its recover may have finished this
    // entry on the original file before the swap. What must hold either way is the new file.
    const bool stillPending = !WrittenEntriesFor(image).empty();
    const clitest::ProcessResult looked = varim({"drives"});
    const clitest::ProcessResult recover = varim({"recover"});
    EXPECT_EQ(readFileBytes(image, 0, zeros.size()), zeros) << recover.out;
    if (stillPending) {
        EXPECT_NE(looked.err.find("recover\" to write"), std::string::npos) << looked.err;
        EXPECT_EQ(recover.status, 1) << recover.out << recover.err;
        EXPECT_NE(recover.out.find("is not attached"), std::string::npos) << recover.out;
        EXPECT_FALSE(WrittenEntriesFor(image).empty());
    }
}

}  // namespace
