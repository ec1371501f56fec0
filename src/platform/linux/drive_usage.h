#pragma once
// Finds what keeps a disk busy before it is written: a mounted filesystem, active swap, or a
// holder (device mapper, RAID, LVM) on the disk itself or on any of its partitions.
#include <optional>
#include <string>
#include <sys/types.h>

#include "platform/linux/linux_namespace.h"

namespace platform::linux {

struct SystemRoots {
    std::string sysfs = "/sys";
    std::string dev = "/dev";
    std::string proc = "/proc";
};

// A human reason such as "/dev/sdb1 is mounted on /home", "/dev/sda2 is active swap" or
// "/dev/sdb is held by dm-0" for the first use found of the whole disk with device number
// disk; nothing when the disk is free. Files that cannot be read count as showing no use
// (the exclusive open that follows still guards against the kernel's own users).
std::optional<std::string> findDriveInUse(dev_t disk, const SystemRoots& roots);

// Undoes the octal escapes (\040 and so on) of /proc/self/mountinfo and /proc/swaps.
std::string unescapeProcField(const std::string& field);

}  // namespace platform::linux
