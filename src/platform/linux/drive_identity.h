#pragma once
// What names a disk across runs of the program, for the repair journal: a journal entry is
// written back only to the disk it was taken from.
#include <string>

#include "platform/linux/drive_usage.h"
#include "platform/linux/linux_namespace.h"

namespace platform::linux {

// The identity of the disk or image file open as fd, or empty when it cannot be read:
//   "wwid <id>, <bytes> bytes" or "serial <id>, <bytes> bytes" where sysfs names the disk
//   (so the same disk matches after a reboot moved it from sdb to sdc);
//   "loop <backing file> at <offset>, <bytes> bytes" for a loop device;
//   "device <major>:<minor>, <bytes> bytes" for a block device sysfs says nothing more about;
//   "file <st_dev>:<inode>, <bytes> bytes" for a disk image file.
std::string driveIdentityOf(int fd, const SystemRoots& roots);

}  // namespace platform::linux
