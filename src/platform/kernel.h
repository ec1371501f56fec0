#pragma once
// The operating system's kernel as far as this program uses it: files, devices, ioctls,
// drive letters and the last error. Arguments and results keep the Windows meaning, so the
// drive layer above is a literal translation of what it sends; LinuxKernel and
// SimulatedKernel answer it.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// SECURITY_ATTRIBUTES without the descriptor pointer: only its presence is recorded.
struct SecurityAttributes {
    DWORD nLength = 0;
    bool hasDescriptor = false;
    bool inheritHandle = false;
};
inline constexpr DWORD kSecurityAttributesSize = 24;  // sizeof(SECURITY_ATTRIBUTES) on Win64

class Kernel {
public:
    virtual ~Kernel() = default;

    // CreateFileA: a new handle owned by the caller, or kInvalidHandle with the last error set.
    virtual Handle createFile(std::string_view path, DWORD desiredAccess, DWORD shareMode,
                              const SecurityAttributes* security, DWORD creationDisposition,
                              DWORD flagsAndAttributes) = 0;
    // SetFilePointer: returns the new position's low 32 bits (high part written back through
    // distanceHigh when given), or INVALID_SET_FILE_POINTER with the last error set.
    virtual DWORD setFilePointer(Handle handle, std::int32_t distanceLow, std::int32_t* distanceHigh,
                                 DWORD moveMethod) = 0;
    // ReadFile at the current position; false with the last error set on failure. The
    // position advances by the bytes transferred; the caller owns the buffer.
    virtual bool readFile(Handle handle, void* buffer, DWORD bytes, DWORD* transferred) = 0;
    // WriteFile at the current position; false with the last error set on failure.
    virtual bool writeFile(Handle handle, const void* buffer, DWORD bytes, DWORD* transferred) = 0;
    // DeviceIoControl with caller-owned buffers; false with the last error set on failure.
    virtual bool deviceIoControl(Handle handle, DWORD code, const void* in, DWORD inSize, void* out,
                                 DWORD outSize, DWORD* returned) = 0;
    // CloseHandle: releases a handle from createFile; false for an unknown handle.
    virtual bool closeHandle(Handle handle) = 0;
    // GetLastError: the error code of this thread's last failed call.
    virtual DWORD getLastError() const = 0;
    // GetLogicalDrives: bit p set when drive letter 'A' + p exists; 0 when there are none.
    virtual DWORD getLogicalDrives() = 0;
    // GetDriveTypeA for a root such as "C:\": one of the DRIVE_* values.
    virtual DWORD getDriveType(std::string_view root) = 0;
    // Made by the scan before its first write: exclusive use of the drive behind an open
    // handle. False, with the last error set and a human reason, when the drive is in use
    // (mounted filesystem, swap, holders) or cannot be claimed.
    virtual bool claimForWriting(Handle handle, std::string& reason) = 0;
    // FlushFileBuffers: everything written through the handle is on stable storage (the
    // drive's own cache included) when it returns true; false with the last error set.
    virtual bool flushFileBuffers(Handle handle) {
        (void)handle;
        return false;
    }
    // Text naming the device behind an open handle in this run and in later ones: its serial
    // number or WWN where the device reports one, else what locates it (backing file, device
    // number), always with its size in bytes. Equal texts mean the same device. False with the
    // last error set for an unknown handle or a device that cannot be asked.
    virtual bool driveIdentity(Handle handle, std::string& identity) = 0;
    // True when the device behind an open handle is still the one its drive number was bound to
    // when the drives were first listed (same device, same size). False with the last error
    // set when another device, or the same one resized, now answers to that number.
    virtual bool isListedDevice(Handle handle) = 0;
    // The operating system's short name of the disk behind an open handle ("sda", "nvme0n1"),
    // the name monitoring tools use for it; false when it has none.
    virtual bool deviceName(Handle handle, std::string& name) {
        (void)handle;
        name.clear();
        return false;
    }
};

}  // namespace platform
