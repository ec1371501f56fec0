#pragma once
// Which drive letters and physical drive numbers exist on this machine, and which Linux
// block device stands behind each. Non-removable whole disks come first (letters C, D, ...
// of type fixed, physical drives 0, 1, ...), then disks the kernel marks removable (their own
// letters, and physical drives numbered after the fixed ones), then CD/DVD drives (letters
// only). At most 24 letters exist, C to Z. Once bound (rebind), a drive number names the same
// disk for as long as the layout lives: numbers of disks that went away stay empty.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/device_identity.h"
#include "platform/linux/linux_namespace.h"
#include "platform/win_types.h"

namespace platform::linux {

struct DriveEntry {
    std::string name;        // kernel name ("sda"), or the path itself for an explicit list
    std::string devicePath;  // what open() is given
    DWORD type = DRIVE_FIXED;
    DeviceKey key;           // read from sysfs when the disk was found; empty for an explicit list
    bool present() const { return !devicePath.empty(); }
};

class DriveLayout {
public:
    // Whole disks listed in SYSFS/block, device nodes in devDir. An unreadable sysfs gives
    // an empty layout.
    static DriveLayout fromSysfs(const std::string& sysfsRoot, const std::string& devDir);
    // Drive n is paths[n]; every one is fixed and gets a letter from C on.
    static DriveLayout fromPaths(const std::vector<std::string>& paths);
    // The disks of `found` numbered as in `earlier`: a disk whose key equals that of a number
    // of `earlier` keeps the number (under its current name), a number whose disk is gone
    // becomes empty and stays so, and disks not seen before take numbers after every earlier
    // one, in the order of `found`.
    static DriveLayout rebind(const DriveLayout& earlier, const DriveLayout& found);

    // GetLogicalDrives mask: bit p for letter 'A' + p.
    DWORD logicalDriveMask() const;
    // GetDriveTypeA answer for a letter (either case); DRIVE_NO_ROOT_DIR when it is unused.
    DWORD driveType(char letter) const;
    // \\.\PHYSICALDRIVEn: nullptr when there is no such drive (or its number is empty).
    const DriveEntry* physicalDrive(std::size_t number) const;
    // Element n is drive n; an empty number has an entry without a device path.
    const std::vector<DriveEntry>& physicalDrives() const { return physical_; }

private:
    void assignLetters();

    std::vector<DriveEntry> physical_;  // fixed first, then removable (until rebound)
    std::vector<DriveEntry> cdroms_;
    DWORD letterTypes_[26] = {};        // DRIVE_UNKNOWN (0) where no letter exists
};

// The order drives of one kind are listed in: letter runs compare by length first (sdz
// before sdaa), digit runs by value (loop2 before loop10).
bool naturalNameLess(std::string_view a, std::string_view b);

}  // namespace platform::linux
