#pragma once
// The Kernel interface on Linux: the machine's block devices stand for the physical drives
// and drive letters, sector I/O bypasses the page cache, and the S.M.A.R.T. requests travel
// as ATA commands through SG_IO.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel.h"
#include "platform/linux/device_identity.h"
#include "platform/linux/drive_layout.h"
#include "platform/linux/drive_usage.h"
#include "platform/linux/linux_namespace.h"
#include "platform/linux/sector_file.h"

namespace platform::linux {

class LinuxKernel final : public Kernel {
public:
    // This machine's drives, found under /sys/block and opened under /dev. The list is read
    // again on every getLogicalDrives(), so each enumeration sees the disks of that moment,
    // but a drive number keeps naming the disk it was first given to (see DriveLayout::rebind).
    // Drives are opened read-only; only claimForWriting opens one for writing.
    LinuxKernel();
    // The same, with other roots for sysfs, the device nodes and /proc (tests use fake trees).
    explicit LinuxKernel(SystemRoots roots);
    // Exactly these drives: \\.\PHYSICALDRIVEn is devicePaths[n] (a block device or a disk
    // image file), and letters C, D, ... are fixed drives in the same order.
    explicit LinuxKernel(std::vector<std::string> devicePaths, SystemRoots roots = {});
    ~LinuxKernel() override;

    Handle createFile(std::string_view path, DWORD desiredAccess, DWORD shareMode, const SecurityAttributes* security,
                      DWORD creationDisposition, DWORD flagsAndAttributes) override;
    DWORD setFilePointer(Handle handle, std::int32_t distanceLow, std::int32_t* distanceHigh, DWORD moveMethod) override;
    bool readFile(Handle handle, void* buffer, DWORD bytes, DWORD* transferred) override;
    bool writeFile(Handle handle, const void* buffer, DWORD bytes, DWORD* transferred) override;
    bool deviceIoControl(Handle handle, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override;
    bool closeHandle(Handle handle) override;
    DWORD getLastError() const override;
    DWORD getLogicalDrives() override;
    DWORD getDriveType(std::string_view root) override;
    bool claimForWriting(Handle handle, std::string& reason) override;
    bool flushFileBuffers(Handle handle) override;
    bool driveIdentity(Handle handle, std::string& identity) override;
    bool isListedDevice(Handle handle) override;
    // The kernel name of the disk ("sda", "nvme0n1"); an image file gives its file name.
    bool deviceName(Handle handle, std::string& name) override;

    // The drives as last discovered (physical drive n is element n).
    const DriveLayout& layout() const { return layout_; }
    // The device path behind a handle, or empty for an unknown handle.
    std::string devicePathOf(Handle handle) const;

private:
    struct OpenDrive {
        std::unique_ptr<SectorFile> file;
        std::string name;      // the disk's kernel name when it was opened
        DeviceKey listedKey;   // what its drive number was bound to
        std::uint64_t position = 0;
        bool canRead = false;
        bool canWrite = false;  // asked for; granted only by claimForWriting
        bool claimed = false;   // claimForWriting succeeded on this handle
    };

    OpenDrive* find(Handle handle);
    bool currentKey(const OpenDrive& drive, DeviceKey& key) const;
    bool fail(DWORD error);
    bool succeed();
    bool geometry(OpenDrive& drive, void* out, DWORD outSize, DWORD* returned);
    bool alignment(OpenDrive& drive, void* out, DWORD outSize, DWORD* returned);
    bool nvmeQuery(OpenDrive& drive, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                   DWORD* returned);

    SystemRoots roots_;
    bool discovers_ = true;
    DriveLayout layout_;
    std::vector<DeviceKey> listedKeys_;  // explicit paths: what each named when constructed
    std::map<Handle, OpenDrive> handles_;
    Handle nextHandle_ = 0x100;
    DWORD lastError_ = ERROR_SUCCESS;
};

}  // namespace platform::linux
