#pragma once
// What tells one disk from another, read from sysfs (and from the open file for image files):
// the device number, the kernel's disk sequence number (new at every attach or media change),
// serial number and WWN where the device reports them, a loop device's backing file, and the
// size. Two keys are equal only when every part is.
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "platform/linux/linux_namespace.h"

namespace platform::linux {

struct DeviceKey {
    std::string dev;            // "major:minor" of a block device; empty for an image file
    std::string diskseq;        // empty where the kernel has none
    std::string serial;
    std::string wwid;
    std::string backingFile;    // loop devices: the attached file and where in it the disk starts
    std::string backingOffset;
    std::string backingInode;   // loop devices: "major:minor:inode" of the attached file (LOOP_GET_STATUS64)
    std::string file;           // image files: their path, and "st_dev:st_ino"
    std::string inode;
    std::uint64_t sizeBytes = 0;  // 0 where nothing says

    bool operator==(const DeviceKey&) const = default;
};

// The key of the disk whose sysfs folder is blockDir (/sys/block/NAME or /sys/dev/block/M:m).
DeviceKey readSysfsKey(const std::string& blockDir);
// The key of whatever fd is open on: a block device through sysfsRoot/dev/block, an image file
// through its path, inode and size. False when fd cannot be asked.
bool readOpenFileKey(int fd, const std::string& path, const std::string& sysfsRoot, DeviceKey& key);
// The same for what path names now; false (key empty) when it names nothing.
bool readPathKey(const std::string& path, const std::string& sysfsRoot, DeviceKey& key);
// The identity text Kernel::driveIdentity gives: serial and WWN where known, else the loop
// backing file with its inode, the image file with its inode, or the device number, and
// always the size. Dropping the device number and sequence when a serial or WWN exists keeps
// the text the same after a reboot. A text without serial, WWN or inode begins with
// kUncertainIdentity: another disk of the same size could stand in that place.
std::string identityText(const DeviceKey& key);
// A disk's sector sizes as its queue reports them: logical and physical block size and the
// alignment offset, all in bytes. An image file is 512, 512, 0.
struct SectorSizes {
    std::uint32_t logicalBytes = 512;
    std::uint32_t physicalBytes = 512;
    std::uint32_t alignmentBytes = 0;
};
// Reads them from blockDir (/sys/dev/block/M:m); a partition takes its disk's queue. False
// when the queue's sizes cannot be read or make no sense.
bool readSectorSizes(const std::string& blockDir, SectorSizes& sizes);

// "major:minor" of a device number, as sysfs writes it.
std::string deviceNumberText(dev_t number);

}  // namespace platform::linux
