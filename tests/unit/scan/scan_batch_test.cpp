// Large transfers change how a scan talks to the drive, never what it finds or leaves: every fault
// machine of the scan tests and seeded random ones, in both modes, scanned block by block and in
// small and large batches, give the same list, counts, end message and disk content, and a Stop
// at the same block saves the same session file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

#include "scan_rig.h"

namespace scantest {
namespace {

using scan::ScanMode;

struct Machine {
    std::string faults;
    std::uint64_t sectors;
    std::uint64_t start;
    std::uint64_t end;
};

// The machines of the other scan tests, and a weak sector whose block a failing batch write
// passes through before it fails (a drive that writes in order up to the sector it cannot write).
std::vector<Machine> FixedMachines() {
    const std::uint64_t high = std::uint64_t{1} << 32;
    return {
        {"Weak = 8000-8099\n", 10000, 7800, 8100},
        {"Weak = 8000-8099\nBadWrite = 8250\n", 10000, 7900, 8200},
        {"Pending = 5000-5003\n", 10000, 4900, 5000},
        {"BadRead = 1050\n", 2000, 900, 1100},
        {"BadRead = 70000-70015\n", 80000, 69900, 70000},
        {"BadWrite = 90050\n", 100000, 89900, 90000},
        {"BadRead = 1050\nBadWrite = 1460\nPending = 1720-1721\nWeak = 1300-1399\n", 3000, 0, 3000},
        {"Pending = 1050\nWeak = 1010\n", 2000, 0, 2000},
        {"BadRead = 1000\nWeak = 1099\n", 2000, 0, 2000},
        {"BadWrite = 150\nBadRead = 250\n", 1000, 0, 300},
        {"", 1050, 0, 1050},
        {"", 1050, 900, 1050},
        {"BadRead = " + std::to_string(high + 620) + "\n", high + 1000, high + 450, high + 1000},
        {"Weak = 1010\nBadWrite = 1550\nPartialWrites = yes\n", 3000, 0, 3000},
        {"Weak = 999-1000\nBadWrite = 1999\nPending = 2099\nPartialWrites = yes\n", 2150, 0, 2150},
    };
}

// Faults mostly at block edges and in the last partial block, on drives of a few small batches
// and on drives smaller than one small batch.
std::vector<Machine> RandomMachines() {
    std::vector<Machine> machines;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        std::mt19937 random(seed);
        auto below = [&](std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(random); };
        const std::uint64_t sectors = (seed % 4 == 0 ? 300 : 2500) + below(4000);
        const std::uint64_t blocks = (sectors + 99) / 100;
        auto sector = [&] {
            const std::uint64_t block = below(4) == 0 ? blocks - 1 : below(blocks);
            const std::uint64_t offset = below(3) == 0 ? below(100) : below(2) * 99;
            return std::min(block * 100 + offset, sectors - 1);
        };
        std::string faults;
        for (const char* kind : {"BadRead", "BadWrite", "Pending", "Weak"}) {
            const std::uint64_t count = below(4);
            if (count == 0) continue;
            faults += std::string(kind) + " = ";
            for (std::uint64_t i = 0; i < count; ++i) faults += (i ? "," : "") + std::to_string(sector());
            faults += "\n";
        }
        if (seed % 2 == 0) faults += "PartialWrites = yes\n";
        const std::uint64_t start = below(3) == 0 ? below(250) : 0;
        machines.push_back({faults, sectors, start, sectors});
    }
    return machines;
}

// What a scan found and left.
struct Result {
    std::vector<std::string> list;
    std::string message;
    std::int32_t bad = 0;
    std::int32_t repaired = 0;
    std::vector<std::uint8_t> disk;  // the sectors around the range
    std::string session;             // saved after a stop
};

std::string FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Scans the machine; with stopAt >= 0, Stop is pressed at the first message step after the
// block at stopAt was shown, and the session is saved to `session`.
Result Scan(const Machine& machine, ScanMode mode, std::uint32_t mib, std::int64_t stopAt, const std::string& session) {
    ScanRig rig(machine.faults, machine.sectors);
    rig.kernel->setLogging(false);
    const std::uint64_t first = machine.start > 300 ? machine.start - 300 : 0;
    const std::uint64_t count = std::min(machine.sectors, machine.end + 300) - first;
    rig.FillPattern(first, count);
    rig.engine->SetTransferMib(mib);
    // Lives as long as the scan that the pump hook below runs in.
    bool shown = false;
    if (stopAt >= 0) {
        rig.surface.onPump = [&](int) {
            if (shown) rig.state.stopRequested = true;
            shown = shown || rig.state.currentLba == stopAt;
        };
    }
    Result result;
    result.message = rig.Run(std::to_string(machine.start), std::to_string(machine.end), mode).message;
    result.list = rig.ListEntries();
    result.bad = rig.state.badCount;
    result.repaired = rig.state.repairedCount;
    result.disk = rig.kernel->peekSectors(0, first, static_cast<std::uint32_t>(count));
    if (stopAt >= 0) {
        std::filesystem::remove(session);
        rig.session->SaveSession(session);
        result.session = FileBytes(session);
    }
    return result;
}

void ExpectSame(const Result& blockByBlock, const Result& batched) {
    EXPECT_EQ(batched.list, blockByBlock.list);
    EXPECT_EQ(batched.message, blockByBlock.message);
    EXPECT_EQ(batched.bad, blockByBlock.bad);
    EXPECT_EQ(batched.repaired, blockByBlock.repaired);
    EXPECT_TRUE(batched.disk == blockByBlock.disk) << "the disks differ";
    EXPECT_EQ(batched.session, blockByBlock.session);
}

TEST(ScanBatches, GiveTheSameResultsAsBlockByBlockOnEveryFaultMachine) {
    const std::string session = (std::filesystem::temp_directory_path() /
                                 ("varim-scan-batch-" + std::to_string(::getpid()) + ".qsx")).string();
    std::vector<Machine> machines = FixedMachines();
    for (const Machine& random : RandomMachines()) machines.push_back(random);
    std::mt19937 random(7);
    for (const Machine& machine : machines) {
        const std::uint64_t blocks = (machine.end - machine.start) / 100 + 1;
        const auto stopAt =
            static_cast<std::int64_t>(machine.start + 100 * std::uniform_int_distribution<std::uint64_t>(1, blocks)(random));
        for (ScanMode mode : {ScanMode::Standard, ScanMode::Regenerate}) {
            for (std::int64_t stop : {std::int64_t{-1}, stopAt}) {
                SCOPED_TRACE(machine.faults + "sectors " + std::to_string(machine.sectors) + ", range " +
                             std::to_string(machine.start) + "-" + std::to_string(machine.end) +
                             (mode == ScanMode::Standard ? ", standard" : ", regenerate") +
                             (stop >= 0 ? ", stopped after " + std::to_string(stop) : ""));
                const Result blockByBlock = Scan(machine, mode, 0, stop, session);
                // 1 MiB: 16 blocks a batch, so most drives take several; 8 MiB: 160 blocks, more
                // than any of these drives but the largest.
                for (std::uint32_t mib : {1u, 8u}) {
                    SCOPED_TRACE("transfer " + std::to_string(mib) + " MiB");
                    ExpectSame(blockByBlock, Scan(machine, mode, mib, stop, session));
                }
            }
        }
    }
    std::filesystem::remove(session);
}

}  // namespace
}  // namespace scantest
