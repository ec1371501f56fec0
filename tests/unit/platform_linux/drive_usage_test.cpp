// Finding what keeps a disk busy, on fake sysfs and /proc trees: mounts by device number
// (the disk or any partition), holders of partitions, and the escapes of /proc files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/sysmacros.h>

#include "platform/linux/drive_usage.h"
#include "temp_tree.h"

using platform::linux::findDriveInUse;
using platform::linux::SystemRoots;
using platform::linux::unescapeProcField;

namespace {

// /sys/block/sdb (8:16) with partitions sdb1 (8:17) and sdb2 (8:18), reached as the kernel
// does through /sys/dev/block/8:16.
struct FakeSystem {
    TempTree sys;
    TempTree proc;
    SystemRoots roots{sys.root(), "/dev", proc.root()};
    dev_t disk = makedev(8, 16);

    FakeSystem() {
        sys.write("devices/pci0/block/sdb/dev", "8:16\n");
        sys.makeDir("devices/pci0/block/sdb/holders");
        for (int p = 1; p <= 2; ++p) {
            const std::string dir = "devices/pci0/block/sdb/sdb" + std::to_string(p);
            sys.write(dir + "/partition", std::to_string(p) + "\n");
            sys.write(dir + "/dev", "8:" + std::to_string(16 + p) + "\n");
            sys.makeDir(dir + "/holders");
        }
        sys.makeDir("devices/pci0/block/sdb/queue");  // not a partition
        sys.makeDir("dev/block");
        std::filesystem::create_directory_symlink("../../devices/pci0/block/sdb", sys.path("dev/block/8:16"));
        proc.write("swaps", "Filename\tType\tSize\tUsed\tPriority\n");
        mounts("");
    }
    void mounts(const std::string& lines) {
        proc.write("self/mountinfo", "22 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n" + lines);
    }
};

}  // namespace

TEST(DriveUsage, AFreeDiskHasNoReason) {
    FakeSystem fake;
    EXPECT_EQ(findDriveInUse(fake.disk, fake.roots), std::nullopt);
}

TEST(DriveUsage, AMountedPartitionIsFoundByItsDeviceNumber) {
    FakeSystem fake;
    // The source text does not matter (it may be /dev/root or a by-uuid link); the number does.
    fake.mounts("40 22 8:18 / /home\\040files rw,noatime shared:5 - ext4 /dev/root rw\n");
    EXPECT_EQ(findDriveInUse(fake.disk, fake.roots), "/dev/sdb2 is mounted on /home files");
}

TEST(DriveUsage, AFilesystemOnTheWholeDiskIsFound) {
    FakeSystem fake;
    fake.mounts("41 22 8:16 / /mnt/backup rw - xfs /dev/sdb rw\n");
    EXPECT_EQ(findDriveInUse(fake.disk, fake.roots), "/dev/sdb is mounted on /mnt/backup");
}

TEST(DriveUsage, MountsOfOtherDisksDoNotCount) {
    FakeSystem fake;
    fake.mounts("41 22 8:32 / /mnt/other rw - xfs /dev/sdc rw\n42 22 8:1 / /boot rw - ext4 /dev/sda1 rw\n");
    EXPECT_EQ(findDriveInUse(fake.disk, fake.roots), std::nullopt);
}

TEST(DriveUsage, AHolderOfAPartitionIsNamed) {
    FakeSystem fake;
    fake.sys.makeDir("devices/pci0/block/sdb/sdb1/holders/dm-0");
    EXPECT_EQ(findDriveInUse(fake.disk, fake.roots), "/dev/sdb1 is held by dm-0");
}

TEST(DriveUsage, UnreadableFilesShowNoUse) {
    SystemRoots nowhere{"/nonexistent/sys", "/dev", "/nonexistent/proc"};
    EXPECT_EQ(findDriveInUse(makedev(8, 16), nowhere), std::nullopt);
}

TEST(ProcEscapes, OctalEscapesAreDecodedAndOtherBackslashesKept) {
    EXPECT_EQ(unescapeProcField("/mnt/a\\040b\\011c\\134d"), "/mnt/a b\tc\\d");
    EXPECT_EQ(unescapeProcField("/mnt/x\\9"), "/mnt/x\\9");
    EXPECT_EQ(unescapeProcField("/mnt/end\\04"), "/mnt/end\\04");
}
