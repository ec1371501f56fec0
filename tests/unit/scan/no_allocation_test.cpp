// The block loop allocates nothing: every heap allocation of the process is counted, and none
// may happen between the first and the last message step of a scan.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <unistd.h>

#include "disk/drive_access.h"
#include "platform/linux/file_folder.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/silent_surface.h"
#include "scan/repair_journal.h"
#include "scan/scan_engine.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// These operators pair with the operator new above, which takes its memory from malloc; GCC
// with sanitizers inlines them into delete expressions and mistakes the pair for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

// A window that stores nothing, so that only the engine's own allocations are counted.
class CountingSurface final : public platform::SilentSurface {
public:
    const char* start = "0";
    const char* end = "0";
    std::optional<long> firstPump;
    long lastPump = 0;
    int listed = 0;
    std::string controlText(int id) override { return id == 1012 ? start : id == 1013 ? end : ""; }
    int listAddString(int, std::string_view) override { return listed++; }
    int listCount(int) override { return listed; }
    void pumpOneMessage() override {
        if (!firstPump) firstPump = allocations.load();
        lastPump = allocations.load();
    }
};

class FixedClock final : public platform::Clock {
public:
    std::uint32_t tickCount() override { return 0; }
    std::int64_t performanceCounter() override { return 0; }
    std::int64_t performanceFrequency() override { return 1; }
};

TEST(ScanLoop, AllocatesNothingWhileScanningListingAndRepairingWithItsJournal) {
    // Block by block, and in batches of 16 blocks (whose buffers come before the loop).
    for (std::uint32_t transferMib : {0u, 1u}) {
        std::string error;
        // Bad blocks on the way: listed, repaired, read sector by sector, restored sector by sector.
        auto kernel = platform::sim::SimulatedKernel::fromText(
            "[Drive0]\nSectors = 5000\nBadWrite = 1250\nBadRead = 2250\n", ".", "test.ini", error);
        ASSERT_TRUE(kernel) << error;
        kernel->setLogging(false);
        disk::DriveAccess drives(*kernel);
        CountingSurface surface;
        surface.end = "4900";
        FixedClock clock;
        scan::ScanState state;
        scan::ScanFields fields;
        scan::ScanEngine engine(drives, surface, clock, state, [](int) { return std::string(); });
        engine.SetTransferMib(transferMib);
        // The journal's folder does not exist yet: the first repair creates it.
        const std::filesystem::path folderPath =
            std::filesystem::temp_directory_path() / ("varim-alloc-" + std::to_string(::getpid())) / "journal";
        platform::linux::FileDurableFolder folder(folderPath.string());
        scan::RepairJournal journal(folder);
        engine.SetJournal(&journal);
        const scan::ScanOutcome outcome = engine.Scan(fields);
        std::filesystem::remove_all(folderPath.parent_path());
        ASSERT_TRUE(outcome.completed);
        EXPECT_EQ(state.badCount, 2);
        EXPECT_EQ(surface.listed, 2) << "no journal message";
        ASSERT_TRUE(surface.firstPump.has_value());
        EXPECT_EQ(surface.lastPump - *surface.firstPump, 0) << "heap allocations inside the block loop";
    }
}

}  // namespace
