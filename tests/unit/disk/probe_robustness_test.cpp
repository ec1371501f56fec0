// The probe and the enumeration when the pass-through answers nonsense, fails, or lies about
// the machine: nothing crashes, the records keep their limits and every handle is closed.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "disk/drive_probe.h"
#include "scripted_kernel.h"

namespace {

using disk_test::ScriptedKernel;
using platform::DWORD;

constexpr const char* kNoSettings = "/nonexistent/varim-test";

// Every index entry points at an attribute of its own drive with the id of its key.
void ExpectIndexConsistent(const disk::DriveTable& table) {
    for (int n = 0; n < disk::kDriveSlots; ++n) {
        const disk::PhysicalDrive& drive = table.DriveAt(n);
        ASSERT_LE(drive.attributeCount, disk::kMaxAttributes);
        for (int id = 0; id <= 255; ++id) {
            const disk::SmartAttribute* found = table.FindAttribute(n, static_cast<std::uint8_t>(id));
            if (found == nullptr) continue;
            EXPECT_EQ(found->id, id);
            EXPECT_GE(found, &drive.attributes[0]);
            EXPECT_LT(found, &drive.attributes[0] + drive.attributeCount);
        }
    }
}

// A page answer: 16 header bytes, then entries (id, b1, b2, ...) at 2 + 12 * position.
std::vector<std::uint8_t> Page(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& entries) {
    std::vector<std::uint8_t> out(16 + 512, 0);
    for (const auto& [position, bytes] : entries)
        for (std::size_t b = 0; b < bytes.size(); ++b) out[16 + 2 + 12 * position + b] = bytes[b];
    return out;
}

std::vector<std::uint8_t> VersionWithSmart() {
    std::vector<std::uint8_t> version(24, 0);
    version[4] = platform::CAP_SMART_CMD;
    return version;
}

TEST(ProbeRobustness, GarbageAnswersNeverBreakTheRecords) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        ScriptedKernel kernel;
        kernel.logicalDrives = random();
        for (char letter = 'A'; letter <= 'Z' + 6; ++letter) kernel.driveTypes[letter] = random() % 8;
        kernel.ioctl = [&random](DWORD, const std::uint8_t*, DWORD, DWORD) {
            ScriptedKernel::Answer answer;
            answer.ok = random() % 4 != 0;
            answer.error = random();
            answer.output.resize(random() % 700);
            for (auto& b : answer.output) b = static_cast<std::uint8_t>(random() % 3 == 0 ? 0 : random());
            return answer;
        };
        disk::DriveAccess access(kernel);
        disk::DriveTable table(kNoSettings);
        disk::EnumerateDrives(access, table);
        disk::EnumerateDrives(access, table);
        EXPECT_LE(table.drivesRead, table.fixedLettersSeen);
        EXPECT_EQ(kernel.opened, kernel.closed) << "seed " << seed;
        ExpectIndexConsistent(table);
    }
}

TEST(ProbeRobustness, FailingPassThroughStoresNothing) {
    ScriptedKernel kernel;  // every ioctl fails with error 1
    disk::DriveAccess access(kernel);
    disk::DriveTable table(kNoSettings);
    EXPECT_FALSE(disk::ProbeDrive(access, table, 0));
    EXPECT_EQ(kernel.closed, 1);
    EXPECT_EQ(table.DriveAt(0).versionInfo.fCapabilities, 0u);
    EXPECT_EQ(table.DriveAt(0).errorText, "");
}

TEST(ProbeRobustness, DriveNumbersOutsideTheTableAreRefused) {
    ScriptedKernel kernel;
    disk::DriveAccess access(kernel);
    disk::DriveTable table(kNoSettings);
    EXPECT_FALSE(disk::ProbeDrive(access, table, -1));
    EXPECT_FALSE(disk::ProbeDrive(access, table, 32));
    EXPECT_TRUE(kernel.paths.empty());
    EXPECT_EQ(table.FindAttribute(-1, 5), nullptr);
    EXPECT_EQ(table.FindAttribute(32, 5), nullptr);
}

TEST(ProbeRobustness, EveryMaskBitFromCOnwardsIsAskedAndABNever) {
    struct LetterKernel : ScriptedKernel {
        std::vector<std::string> roots;
        DWORD getDriveType(std::string_view root) override {
            roots.emplace_back(root);
            return platform::DRIVE_FIXED;
        }
    } kernel;
    kernel.logicalDrives = 0xFFFFFFFFu;
    disk::DriveAccess access(kernel);
    disk::DriveTable table(kNoSettings);
    disk::EnumerateDrives(access, table);
    ASSERT_EQ(kernel.roots.size(), 30u);
    EXPECT_EQ(kernel.roots.front(), "C:\\");
    EXPECT_EQ(kernel.roots[23], "Z:\\");
    ASSERT_EQ(kernel.paths.size(), 30u);
    EXPECT_EQ(kernel.paths.front(), "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(kernel.paths.back(), "\\\\.\\PHYSICALDRIVE29");
    EXPECT_EQ(table.fixedLettersSeen, 30);
    EXPECT_EQ(table.drivesRead, 0);
}

TEST(ProbeRobustness, FullPageOfOneIdAndAReprobeWithFewerIds) {
    ScriptedKernel kernel;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> sameId;
    for (int j = 0; j < 30; ++j) sameId.push_back({j, {7, 0, 0, static_cast<std::uint8_t>(j), 1, 2, 1}});
    std::vector<std::uint8_t> values = Page(sameId);
    std::vector<std::uint8_t> thresholds = Page({{0, {7, 44}}, {29, {200, 9}}});
    kernel.ioctl = [&](DWORD code, const std::uint8_t* in, DWORD, DWORD) {
        ScriptedKernel::Answer answer;
        if (code == platform::SMART_GET_VERSION) answer.output = VersionWithSmart();
        if (code == platform::SMART_RCV_DRIVE_DATA && in[4] == platform::SMART_READ_DATA) answer.output = values;
        if (code == platform::SMART_RCV_DRIVE_DATA && in[4] == platform::SMART_READ_THRESHOLDS)
            answer.output = thresholds;
        return answer;
    };
    disk::DriveAccess access(kernel);
    disk::DriveTable table(kNoSettings);
    ASSERT_TRUE(disk::ProbeDrive(access, table, 3));
    const disk::PhysicalDrive& drive = table.DriveAt(3);
    EXPECT_EQ(drive.attributeCount, 30);
    ASSERT_NE(table.FindAttribute(3, 7), nullptr);
    EXPECT_EQ(table.FindAttribute(3, 7), &drive.attributes[29]);
    EXPECT_EQ(drive.attributes[29].threshold, 44);
    EXPECT_EQ(drive.attributes[0].threshold, -1);
    EXPECT_EQ(drive.attributes[29].raw, 258u);  // raw bytes 2, 1 little-endian
    EXPECT_EQ(drive.attributes[29].current, 29);
    EXPECT_EQ(drive.attributes[29].worst, 1);
    ExpectIndexConsistent(table);

    // Probed again on its own, with a different page: no stale entry may survive.
    values = Page({{0, {9, 0, 0, 100, 100, 5, 0}}});
    ASSERT_TRUE(disk::ProbeDrive(access, table, 3));
    EXPECT_EQ(drive.attributeCount, 1);
    EXPECT_EQ(table.FindAttribute(3, 7), nullptr);
    ASSERT_NE(table.FindAttribute(3, 9), nullptr);
    EXPECT_EQ(table.FindAttribute(3, 9)->raw, 5u);
    ExpectIndexConsistent(table);

    // Slots reused by a later page start without the threshold an earlier page paired.
    values = Page(sameId);
    thresholds = Page({});
    ASSERT_TRUE(disk::ProbeDrive(access, table, 3));
    EXPECT_EQ(drive.attributes[29].threshold, -1);
}

}  // namespace
