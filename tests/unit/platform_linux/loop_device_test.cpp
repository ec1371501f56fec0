// LinuxKernel on real block devices (loop devices; needs root): sector-exact transfers on
// 512- and 4096-byte logical sectors, discovery, and refusing disks that are in use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "loop_device.h"
#include "platform/linux/linux_kernel.h"
#include "temp_tree.h"

using namespace platform;
using platform::linux::LinuxKernel;

namespace {

constexpr std::uint64_t kSectors = 8192;  // 4 MiB: room for an ext2 filesystem

class LoopDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string reason = LoopDevice::unavailableReason();
        if (!reason.empty()) GTEST_SKIP() << reason;
        image = dir.makeImage("disk.img", kSectors);
    }

    Handle open(LinuxKernel& kernel) {
        return kernel.createFile("\\\\.\\PHYSICALDRIVE0", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0);
    }
    static void seek(LinuxKernel& kernel, Handle h, std::uint64_t sector) {
        std::int32_t high = static_cast<std::int32_t>((sector * 512) >> 32);
        kernel.setFilePointer(h, static_cast<std::int32_t>((sector * 512) & 0xFFFFFFFFu), &high, FILE_BEGIN);
    }
    // Sector s of the image as the backing file holds it now.
    std::vector<std::uint8_t> imageSector(std::uint64_t s) { return readFileBytes(image, s * 512, 512); }
    static std::vector<std::uint8_t> pattern(std::uint64_t s) { return std::vector<std::uint8_t>(512, TempTree::patternByte(s)); }

    // Writes `count` sectors of `value` at `first` through the kernel and checks the image:
    // exactly those sectors changed, the neighbours on both sides kept their bytes, and a
    // read through the kernel returns the new data.
    void writeAndCheck(LinuxKernel& kernel, Handle h, std::uint64_t first, std::uint32_t count, std::uint8_t value) {
        const std::vector<std::uint8_t> data(count * 512, value);
        seek(kernel, h, first);
        DWORD moved = 0;
        ASSERT_TRUE(kernel.writeFile(h, data.data(), count * 512, &moved)) << kernel.getLastError();
        for (std::uint64_t s = (first >= 9 ? first - 9 : 0); s < std::min(first + count + 9, kSectors); ++s) {
            const bool written = s >= first && s < first + count;
            EXPECT_EQ(imageSector(s), written ? std::vector<std::uint8_t>(512, value) : pattern(s)) << "sector " << s;
        }
        std::vector<std::uint8_t> back(data.size());
        seek(kernel, h, first);
        ASSERT_TRUE(kernel.readFile(h, back.data(), count * 512, &moved));
        EXPECT_EQ(back, data);
    }

    TempTree dir;
    std::string image;
};

}  // namespace

TEST_F(LoopDeviceTest, SectorsLandExactlyOnA512ByteDevice) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    ASSERT_NE(h, kInvalidHandle) << kernel.getLastError();
    std::string reason;
    ASSERT_TRUE(kernel.claimForWriting(h, reason)) << reason;
    writeAndCheck(kernel, h, 7, 1, 0xA5);
    writeAndCheck(kernel, h, 300, 100, 0x5A);

    DISK_GEOMETRY g{};
    DWORD returned = 0;
    ASSERT_TRUE(kernel.deviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &g, sizeof g, &returned));
    EXPECT_EQ(static_cast<std::uint64_t>(g.Cylinders) * g.TracksPerCylinder * g.SectorsPerTrack, kSectors);
    EXPECT_EQ(g.BytesPerSector, 512u);

    std::vector<std::uint8_t> buffer(1024);
    seek(kernel, h, kSectors - 1);
    EXPECT_TRUE(kernel.readFile(h, buffer.data(), 512, &returned));
    EXPECT_FALSE(kernel.readFile(h, buffer.data(), 512, &returned));
    EXPECT_EQ(kernel.getLastError(), ERROR_SECTOR_NOT_FOUND);

    // A loop device cannot carry ATA commands: the version query fails, nothing breaks.
    GETVERSIONINPARAMS version{};
    EXPECT_FALSE(kernel.deviceIoControl(h, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned));
    EXPECT_NE(kernel.getLastError(), ERROR_SUCCESS);

    // Its name is the kernel's, as node_exporter calls it.
    std::string name;
    EXPECT_TRUE(kernel.deviceName(h, name));
    EXPECT_EQ("/dev/" + name, loop.device());
    kernel.closeHandle(h);
}

TEST_F(LoopDeviceTest, PartialSectorsOfA4096ByteDeviceAreReadModifiedAndWritten) {
    LoopDevice loop(image, 4096);
    ASSERT_TRUE(loop.attached());
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    ASSERT_NE(h, kInvalidHandle) << kernel.getLastError();
    std::string reason;
    ASSERT_TRUE(kernel.claimForWriting(h, reason)) << reason;
    writeAndCheck(kernel, h, 9, 1, 0x11);     // inside one 4096-byte sector
    writeAndCheck(kernel, h, 22, 5, 0x22);    // across a boundary, both ends partial
    writeAndCheck(kernel, h, 40, 8, 0x33);    // exactly one device sector
    writeAndCheck(kernel, h, 1003, 100, 0x44);  // a scan block at an odd start
    writeAndCheck(kernel, h, kSectors - 1, 1, 0x55);  // the last 512 bytes of the device

    std::vector<std::uint8_t> buffer(512);
    DWORD moved = 0;
    seek(kernel, h, 8);
    ASSERT_TRUE(kernel.readFile(h, buffer.data(), 512, &moved));
    EXPECT_EQ(buffer, pattern(8));
    kernel.closeHandle(h);
}

TEST_F(LoopDeviceTest, AnAttachedLoopDeviceIsDiscoveredAsAFixedDrive) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    LinuxKernel kernel;
    kernel.getLogicalDrives();
    bool found = false;
    for (std::size_t n = 0; n < kernel.layout().physicalDrives().size(); ++n) {
        const auto& entry = kernel.layout().physicalDrives()[n];
        if (entry.devicePath != loop.device()) continue;
        found = true;
        EXPECT_EQ(entry.type, DRIVE_FIXED);
        const Handle h = kernel.createFile("\\\\.\\PHYSICALDRIVE" + std::to_string(n), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0);
        ASSERT_NE(h, kInvalidHandle);
        std::vector<std::uint8_t> buffer(512);
        DWORD moved = 0;
        seek(kernel, h, 5);
        ASSERT_TRUE(kernel.readFile(h, buffer.data(), 512, &moved));
        EXPECT_EQ(buffer, pattern(5));
        kernel.closeHandle(h);
    }
    EXPECT_TRUE(found) << loop.device() << " not among the discovered drives";
}

TEST_F(LoopDeviceTest, ADeviceDetachedOrAttachedAgainSinceTheListingIsNeverClaimed) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    LinuxKernel kernel;
    kernel.getLogicalDrives();
    const auto& drives = kernel.layout().physicalDrives();
    const auto listed = std::find_if(drives.begin(), drives.end(),
                                     [&](const auto& entry) { return entry.devicePath == loop.device(); });
    ASSERT_NE(listed, drives.end()) << loop.device() << " not among the discovered drives";
    const std::string path = "\\\\.\\PHYSICALDRIVE" + std::to_string(listed - drives.begin());
    auto openListed = [&] {
        return kernel.createFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0);
    };
    Handle h = openListed();
    ASSERT_NE(h, kInvalidHandle);
    std::string listedIdentity;
    ASSERT_TRUE(kernel.driveIdentity(h, listedIdentity));
    EXPECT_NE(listedIdentity.find(image), std::string::npos) << listedIdentity;
    EXPECT_TRUE(kernel.isListedDevice(h));
    kernel.closeHandle(h);

    // The same device name on another file (between the listing and the scan's open): the
    // number does not follow the name.
    const std::string other = dir.makeImage("other.img", kSectors);
    if (!loop.reattach(other)) GTEST_SKIP() << "another program took " << loop.device() << " meanwhile";
    h = openListed();
    ASSERT_NE(h, kInvalidHandle);
    std::string reason;
    EXPECT_FALSE(kernel.isListedDevice(h));
    EXPECT_FALSE(kernel.claimForWriting(h, reason));
    EXPECT_EQ(reason, "the drive changed since it was listed");
    const std::vector<std::uint8_t> zeros(512, 0);
    DWORD moved = 0;
    EXPECT_FALSE(kernel.writeFile(h, zeros.data(), 512, &moved));
    kernel.closeHandle(h);
    kernel.getLogicalDrives();
    EXPECT_EQ(openListed(), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(imageSector(0), pattern(0));
    EXPECT_EQ(readFileBytes(other, 0, 512), pattern(0));
}

TEST_F(LoopDeviceTest, AClaimHoldsTheDeviceAgainstAMount) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    ASSERT_EQ(runShell("mkfs.ext2 -q -F " + loop.device()), 0);
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    std::string reason;
    ASSERT_TRUE(kernel.claimForWriting(h, reason)) << reason;
    EXPECT_TRUE(kernel.claimForWriting(h, reason)) << "a second claim on the same handle: " << reason;
    // Another program (here: another kernel object) cannot claim it meanwhile.
    LinuxKernel other{std::vector<std::string>{loop.device()}};
    const Handle h2 = open(other);
    EXPECT_FALSE(other.claimForWriting(h2, reason));
    EXPECT_EQ(other.getLastError(), ERROR_SHARING_VIOLATION);
    other.closeHandle(h2);
    dir.makeDir("mnt");
    std::string out;
    const bool mounted = runShell("mount -t ext2 " + loop.device() + " " + dir.path("mnt"), &out) == 0;
    if (mounted) runShell("umount " + dir.path("mnt"));
    EXPECT_FALSE(mounted) << "the kernel let a claimed device be mounted";
    kernel.closeHandle(h);
}

TEST_F(LoopDeviceTest, AMountedFilesystemRefusesTheClaim) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    dir.makeDir("mnt");
    const std::string problem = loop.mountExt2(loop.device(), dir.path("mnt"));
    if (!problem.empty()) GTEST_SKIP() << "cannot mount here: " << problem;
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    ASSERT_NE(h, kInvalidHandle);
    std::string reason;
    EXPECT_FALSE(kernel.claimForWriting(h, reason));
    EXPECT_EQ(kernel.getLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(reason, loop.device() + " is mounted on " + dir.path("mnt"));
    kernel.closeHandle(h);
}

TEST_F(LoopDeviceTest, AMountedPartitionRefusesTheClaimOfTheWholeDisk) {
    writeMbr(image, kSectors);
    LoopDevice loop(image, 512, true);
    ASSERT_TRUE(loop.attached());
    const std::string partition = loop.device() + "p1";
    if (access(partition.c_str(), F_OK) != 0)
        GTEST_SKIP() << "the kernel made no partition " << partition << " from the table (no partition scanning here)";
    dir.makeDir("mnt");
    const std::string problem = loop.mountExt2(partition, dir.path("mnt"));
    if (!problem.empty()) GTEST_SKIP() << "cannot mount here: " << problem;
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    std::string reason;
    EXPECT_FALSE(kernel.claimForWriting(h, reason));
    EXPECT_EQ(kernel.getLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(reason, partition + " is mounted on " + dir.path("mnt"));
    kernel.closeHandle(h);
}

TEST_F(LoopDeviceTest, ActiveSwapRefusesTheClaim) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    const std::string problem = loop.enableSwap();
    if (!problem.empty()) GTEST_SKIP() << "swap cannot be enabled here: " << problem;
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    std::string reason;
    EXPECT_FALSE(kernel.claimForWriting(h, reason));
    EXPECT_EQ(kernel.getLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(reason, loop.device() + " is active swap");
    kernel.closeHandle(h);
}

TEST_F(LoopDeviceTest, ADeviceMapperHolderRefusesTheClaim) {
    LoopDevice loop(image, 512);
    ASSERT_TRUE(loop.attached());
    const std::string name = "varim-test-" + std::to_string(getpid());
    std::string out;
    if (runShell("dmsetup create " + name + " --table '0 " + std::to_string(kSectors) + " linear " + loop.device() +
                     " 0'",
                 &out) != 0)
        GTEST_SKIP() << "device mapper unavailable: " << out;
    struct Remove {
        std::string name;
        ~Remove() { runShell("dmsetup remove " + name); }
    } remove{name};
    LinuxKernel kernel{std::vector<std::string>{loop.device()}};
    const Handle h = open(kernel);
    std::string reason;
    EXPECT_FALSE(kernel.claimForWriting(h, reason));
    EXPECT_EQ(kernel.getLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(reason.rfind(loop.device() + " is held by dm-", 0), 0u) << reason;
    kernel.closeHandle(h);
}
