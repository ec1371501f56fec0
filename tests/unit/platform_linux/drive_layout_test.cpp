// Drive discovery from a fake sysfs tree: which block devices count, their order, and the
// drive letters and physical drive numbers they stand for.
#include <gtest/gtest.h>

#include <filesystem>
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
    std::string name;
    EXPECT_TRUE(kernel.deviceName(h, name));
    EXPECT_EQ(name, "sdb");
    EXPECT_TRUE(kernel.closeHandle(h));
    EXPECT_EQ(kernel.createFile("\\\\.\\PHYSICALDRIVE1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);

    // A disk plugged in later takes a number after the existing ones; sdb keeps drive 0.
    addDisk(sys, "sda");
    EXPECT_EQ(kernel.getLogicalDrives(), letterBit('C') | letterBit('D') | letterBit('E'));
    EXPECT_EQ(kernel.getDriveType("D:\\"), DRIVE_FIXED);
    EXPECT_EQ(kernel.getDriveType("E:\\"), DRIVE_CDROM);
    h = kernel.createFile("\\\\.\\physicaldrive0", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(kernel.devicePathOf(h), dev.path("sdb"));
    kernel.closeHandle(h);
}

namespace {

// A disk with its identity: device number, serial (empty: none) and size in sectors.
void addDisk(const TempTree& sys, const TempTree& dev, const std::string& name, const std::string& number,
             const std::string& serial, int sectors) {
    addDisk(sys, name);
    sys.write("block/" + name + "/dev", number + "\n");
    sys.write("block/" + name + "/size", std::to_string(sectors) + "\n");
    if (!serial.empty()) sys.write("block/" + name + "/device/serial", serial + "\n");
    dev.makeImage(name, static_cast<std::uint64_t>(sectors));
}

// What each drive number names now: the disk's name, or "-" for an empty number.
std::vector<std::string> numbered(LinuxKernel& kernel) {
    kernel.getLogicalDrives();
    std::vector<std::string> names;
    for (std::size_t n = 0; n < kernel.layout().physicalDrives().size(); ++n) {
        const auto* entry = kernel.layout().physicalDrive(n);
        names.push_back(entry == nullptr ? "-" : entry->name);
    }
    return names;
}

}  // namespace

TEST(LinuxKernelDiscovery, ADriveNumberNamesTheSameDiskForTheWholeRun) {
    TempTree sys;
    TempTree dev;
    addDisk(sys, dev, "sdb", "8:16", "SERIAL-B", 8);
    addDisk(sys, dev, "sdc", "8:32", "", 8);
    addDisk(sys, dev, "loop0", "7:0", "", 8);
    LinuxKernel kernel(linux::SystemRoots{sys.root(), dev.root(), "/proc"});
    EXPECT_EQ(numbered(kernel), (std::vector<std::string>{"sdb", "sdc", "loop0"}));
    auto open = [&](int n) {
        return kernel.createFile("\\\\.\\PHYSICALDRIVE" + std::to_string(n), GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, OPEN_EXISTING, 0);
    };
    const Handle onLoop = open(2);
    ASSERT_NE(onLoop, kInvalidHandle);
    EXPECT_TRUE(kernel.isListedDevice(onLoop));

    // Appearing: sorted first by name, numbered last.
    addDisk(sys, dev, "sda", "8:0", "SERIAL-A", 8);
    EXPECT_EQ(numbered(kernel), (std::vector<std::string>{"sdb", "sdc", "loop0", "sda"}));

    // Vanishing: the number stays empty, its letter goes, and opening it finds no drive.
    std::filesystem::remove_all(sys.path("block/sdc"));
    EXPECT_EQ(numbered(kernel), (std::vector<std::string>{"sdb", "-", "loop0", "sda"}));
    EXPECT_EQ(kernel.getLogicalDrives(), letterBit('C') | letterBit('E') | letterBit('F'));
    EXPECT_EQ(open(1), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);

    // Renamed with the same identity: the same number under the new name.
    std::filesystem::rename(sys.path("block/sdb"), sys.path("block/sdd"));
    std::filesystem::rename(dev.path("sdb"), dev.path("sdd"));
    EXPECT_EQ(numbered(kernel), (std::vector<std::string>{"sdd", "-", "loop0", "sda"}));

    // The same name on another disk (a loop device attached to another file, a disk swapped,
    // one grown): never the listed number, and a handle opened before tells it is not listed.
    sys.write("block/loop0/loop/backing_file", "/images/other.img\n");
    sys.write("block/sda/size", "16\n");
    addDisk(sys, dev, "sdc", "8:32", "", 8);  // back as it was: still a new number
    EXPECT_EQ(numbered(kernel), (std::vector<std::string>{"sdd", "-", "-", "-", "sda", "sdc", "loop0"}));
    EXPECT_FALSE(kernel.isListedDevice(onLoop));
    EXPECT_EQ(kernel.getLastError(), ERROR_DEV_NOT_EXIST);
    std::string reason;
    EXPECT_FALSE(kernel.claimForWriting(onLoop, reason));
    EXPECT_EQ(reason, "the drive changed since it was listed");
    kernel.closeHandle(onLoop);
    EXPECT_EQ(open(2), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);
}
