// Drive discovery from a fake sysfs tree: which block devices count, their order, and the
// drive letters and physical drive numbers they stand for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/drive_layout.h"
#include "platform/linux/linux_kernel.h"
#include "temp_tree.h"

using namespace platform;
using platform::linux::DriveLayout;
using platform::linux::LinuxKernel;
using platform::linux::naturalNameLess;

namespace {

// Adds /sys/block/NAME with its removable flag; loop devices get a backing file.
void addDisk(const TempTree& sys, const std::string& name, bool removable = false) {
    sys.write("block/" + name + "/removable", removable ? "1\n" : "0\n");
    sys.write("block/" + name + "/dev", "8:0\n");
    if (name.rfind("loop", 0) == 0) sys.write("block/" + name + "/loop/backing_file", "/images/" + name + ".img\n");
}

std::vector<std::string> physicalNames(const DriveLayout& layout) {
    std::vector<std::string> names;
    for (const auto& entry : layout.physicalDrives()) names.push_back(entry.name);
    return names;
}

DWORD letterBit(char letter) { return DWORD{1} << (letter - 'A'); }

}  // namespace

TEST(NaturalNameOrder, LetterRunsByLengthAndDigitRunsByValue) {
    EXPECT_TRUE(naturalNameLess("sda", "sdb"));
    EXPECT_TRUE(naturalNameLess("sdz", "sdaa"));
    EXPECT_FALSE(naturalNameLess("sdaa", "sdz"));
    EXPECT_TRUE(naturalNameLess("sdaa", "sdab"));
    EXPECT_TRUE(naturalNameLess("loop2", "loop10"));
    EXPECT_TRUE(naturalNameLess("nvme0n1", "nvme1n1"));
    EXPECT_TRUE(naturalNameLess("nvme0n2", "nvme0n10"));
    EXPECT_TRUE(naturalNameLess("nvme9n1", "nvme10n1"));
    EXPECT_FALSE(naturalNameLess("sda", "sda"));
}

TEST(DriveLayoutFromSysfs, ListsWholeDisksInAStableOrderAndSkipsEverythingElse) {
    TempTree sys;
    // Created out of order on purpose: readdir order must not matter.
    for (const char* name : {"sdaa", "loop10", "sdb", "nvme1n1", "vda", "sdz", "loop2", "nvme0n1", "sda", "mmcblk0",
                             "xvda", "hda"})
        addDisk(sys, name);
    // Not disks we list: partitions never sit in /sys/block, but these do.
    for (const char* name : {"zram0", "dm-0", "md0", "ram0", "mmcblk0boot0", "mmcblk0rpmb", "nvme0c0n1", "sda1"})
        addDisk(sys, name);
    sys.write("block/loop3/removable", "0\n");  // a loop device with nothing attached
    sys.makeDir("block/loop3/loop");

    const DriveLayout layout = DriveLayout::fromSysfs(sys.root(), "/dev");
    EXPECT_EQ(physicalNames(layout),
              (std::vector<std::string>{"sda", "sdb", "sdz", "sdaa", "hda", "vda", "xvda", "nvme0n1", "nvme1n1",
                                        "mmcblk0", "loop2", "loop10"}));
    ASSERT_NE(layout.physicalDrive(0), nullptr);
    EXPECT_EQ(layout.physicalDrive(0)->devicePath, "/dev/sda");
    EXPECT_EQ(layout.physicalDrive(12), nullptr);
    for (char letter = 'C'; letter < 'C' + 12; ++letter) EXPECT_EQ(layout.driveType(letter), DRIVE_FIXED) << letter;
    EXPECT_EQ(layout.driveType('C' + 12), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(layout.driveType('A'), DRIVE_NO_ROOT_DIR);
}

TEST(DriveLayoutFromSysfs, RemovableDisksAndOpticalDrivesFollowTheFixedOnes) {
    TempTree sys;
    addDisk(sys, "sda", true);  // a USB stick sorting first by name
    addDisk(sys, "sdb");
    addDisk(sys, "sr0", true);
    addDisk(sys, "sdc", true);
    addDisk(sys, "nvme0n1");
    addDisk(sys, "sdd");
    sys.write("block/sdd/device/type", "5\n");  // a SCSI CD/DVD drive named like a disk

    const DriveLayout layout = DriveLayout::fromSysfs(sys.root(), "/dev");
    EXPECT_EQ(physicalNames(layout), (std::vector<std::string>{"sdb", "nvme0n1", "sda", "sdc"}));
    EXPECT_EQ(layout.driveType('C'), DRIVE_FIXED);
    EXPECT_EQ(layout.driveType('d'), DRIVE_FIXED);
    EXPECT_EQ(layout.driveType('E'), DRIVE_REMOVABLE);
    EXPECT_EQ(layout.driveType('F'), DRIVE_REMOVABLE);
    EXPECT_EQ(layout.driveType('G'), DRIVE_CDROM);
    EXPECT_EQ(layout.driveType('H'), DRIVE_CDROM);
    EXPECT_EQ(layout.logicalDriveMask(),
              letterBit('C') | letterBit('D') | letterBit('E') | letterBit('F') | letterBit('G') | letterBit('H'));
}

TEST(DriveLayoutFromSysfs, HiddenDisksAndMissingTreesGiveNoDrives) {
    TempTree sys;
    addDisk(sys, "sda");
    sys.write("block/sda/hidden", "1\n");
    EXPECT_TRUE(DriveLayout::fromSysfs(sys.root(), "/dev").physicalDrives().empty());
    EXPECT_EQ(DriveLayout::fromSysfs(sys.path("nothing-here"), "/dev").logicalDriveMask(), 0u);
}

TEST(DriveLayoutFromSysfs, AtMostTwentyFourLettersButEveryDiskIsAPhysicalDrive) {
    TempTree sys;
    std::string name = "sda";
    for (int i = 0; i < 27; ++i) {
        addDisk(sys, name);
        name.back() = static_cast<char>(name.back() + 1);
    }
    const DriveLayout layout = DriveLayout::fromSysfs(sys.root(), "/dev");
    EXPECT_EQ(layout.physicalDrives().size(), 26u);  // sda..sdz; the 27th name is not a disk name
    EXPECT_EQ(layout.logicalDriveMask(), 0x03FFFFFCu);  // C..Z
    EXPECT_EQ(layout.driveType('Z'), DRIVE_FIXED);
    ASSERT_NE(layout.physicalDrive(25), nullptr);
    EXPECT_EQ(layout.physicalDrive(25)->name, "sdz");
}

TEST(DriveLayoutFromPaths, EachPathIsAFixedDriveInOrder) {
    const DriveLayout layout = DriveLayout::fromPaths({"/dev/sdb", "/tmp/disk.img"});
    EXPECT_EQ(layout.logicalDriveMask(), letterBit('C') | letterBit('D'));
    EXPECT_EQ(layout.driveType('D'), DRIVE_FIXED);
    ASSERT_NE(layout.physicalDrive(1), nullptr);
    EXPECT_EQ(layout.physicalDrive(1)->devicePath, "/tmp/disk.img");
}

TEST(LinuxKernelDiscovery, LettersAndDrivePathsFollowTheSysfsTreeOfTheMoment) {
    TempTree sys;
    TempTree dev;
    addDisk(sys, "sdb");
    addDisk(sys, "sr0", true);
    dev.makeImage("sdb", 8);
    dev.makeImage("sda", 4);

    LinuxKernel kernel(linux::SystemRoots{sys.root(), dev.root(), "/proc"});
    EXPECT_EQ(kernel.getLogicalDrives(), letterBit('C') | letterBit('D'));
    EXPECT_EQ(kernel.getDriveType("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(kernel.getDriveType("d:"), DRIVE_CDROM);
    EXPECT_EQ(kernel.getDriveType("E:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(kernel.getDriveType("C:\\Windows"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(kernel.getDriveType(""), DRIVE_NO_ROOT_DIR);

    Handle h = kernel.createFile("\\\\.\\PHYSICALDRIVE0", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_SUCCESS);
    EXPECT_EQ(kernel.devicePathOf(h), dev.path("sdb"));
    EXPECT_TRUE(kernel.closeHandle(h));
    EXPECT_EQ(kernel.createFile("\\\\.\\PHYSICALDRIVE1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);

    // A disk plugged in later shows up at the next enumeration and renumbers the drives.
    addDisk(sys, "sda");
    EXPECT_EQ(kernel.getLogicalDrives(), letterBit('C') | letterBit('D') | letterBit('E'));
    EXPECT_EQ(kernel.getDriveType("E:\\"), DRIVE_CDROM);
    h = kernel.createFile("\\\\.\\physicaldrive0", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(kernel.devicePathOf(h), dev.path("sda"));
    kernel.closeHandle(h);
}
