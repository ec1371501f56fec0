#pragma once
// The only road to the drives: a thin, literal layer over platform::Kernel. Holds no drive
// state; every handle belongs to the operation that opened it.
#include <cstdint>
#include <string>

#include "platform/kernel.h"
#include "platform/limits.h"

namespace disk {

enum class OpenProfile {
    Probe,   // S.M.A.R.T. probe: no security attributes, FILE_ATTRIBUTE_SYSTEM
    Sector,  // scan, speed test, views: inheritable handle, flags 0
};

inline constexpr std::uint32_t kSectorSize = platform::kSectorBytes;

// How the drive stores its sectors: the size it is addressed in, the size it reads and writes
// internally, and the bytes from its start to the first physical sector boundary.
struct SectorSizes {
    std::uint32_t logicalBytes = kSectorSize;
    std::uint32_t physicalBytes = kSectorSize;
    std::uint32_t alignmentBytes = 0;
};

class DriveAccess {
public:
    explicit DriveAccess(platform::Kernel& kernel) : kernel_(kernel) {}

    // "\\.\PHYSICALDRIVE<n>", decimal without leading zeros.
    static std::string DevicePath(int driveNumber);
    // Opens drive n for read and write with read and write sharing; kInvalidHandle on failure
    // (LastError tells why). The caller closes the handle.
    platform::Handle OpenDrive(int driveNumber, OpenProfile profile);
    // Closes a handle from OpenDrive.
    void CloseDrive(platform::Handle handle);
    // Sets the position to a byte offset from the start (low 32 bits, and a pointer to the high
    // 32 bits); false when the position did not become that offset.
    bool SeekDrive(platform::Handle handle, std::uint64_t byteOffset);
    // Reads bytes (a multiple of 512) at the position into the caller's buffer; false on failure,
    // and false for a partial transfer (LastError then gives ERROR_HANDLE_EOF).
    bool ReadSectors(platform::Handle handle, void* buffer, std::uint32_t bytes);
    // Writes bytes (a multiple of 512) at the position from the caller's buffer; false on failure,
    // and false for a partial transfer (LastError then gives ERROR_HANDLE_EOF).
    bool WriteSectors(platform::Handle handle, const void* buffer, std::uint32_t bytes);
    // The drive geometry; all zeros when the request fails.
    platform::DISK_GEOMETRY GetGeometry(platform::Handle handle);
    // A S.M.A.R.T. request with caller-owned buffers; false on failure.
    bool SendSmart(platform::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                   std::uint32_t outSize);
    // IOCTL_STORAGE_QUERY_PROPERTY with caller-owned buffers (in and out may be the same);
    // false on failure, returned set to the bytes the kernel wrote.
    bool QueryProperty(platform::Handle handle, const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                       std::uint32_t& returned);
    // IOCTL_STORAGE_QUERY_PROPERTY for StorageAccessAlignmentProperty; false when the drive
    // does not answer (sizes then stay 512, 512, 0).
    bool GetSectorSizes(platform::Handle handle, SectorSizes& sizes);
    // IOCTL_STORAGE_PROTOCOL_COMMAND (an NVMe admin command without data) with caller-owned
    // buffers; false on failure or when the device reports an error status.
    bool ProtocolCommand(platform::Handle handle, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize);
    // Exclusive use before the first write; false with a reason when the drive is in use.
    bool ClaimForWriting(platform::Handle handle, std::string& reason);
    // Everything written through the handle is on stable storage, the drive's cache included.
    bool FlushDrive(platform::Handle handle);
    // Text naming the drive behind the handle, the same in later runs (Kernel::driveIdentity);
    // false when it cannot be told.
    bool DriveIdentity(platform::Handle handle, std::string& identity);
    // The system's short name of the drive behind the handle (Kernel::deviceName); empty when
    // it has none.
    std::string DeviceName(platform::Handle handle);
    // Whether the drive behind the handle is still the one its number was listed with.
    bool IsListedDevice(platform::Handle handle);
    // The error code of the last failed operation (GetLastError, or ERROR_HANDLE_EOF after a
    // partial transfer).
    std::uint32_t LastError() const;
    // GetLogicalDrives: bit p set when drive letter 'A' + p exists.
    std::uint32_t LogicalDrives();
    // GetDriveTypeA for the root "<letter>:\\": one of the DRIVE_* values.
    std::uint32_t DriveType(char letter);

private:
    platform::Kernel& kernel_;
    bool shortTransfer_ = false;  // the last read or write moved fewer bytes than asked
};

// Sector count from a geometry: the full 64-bit product Cylinders x Tracks x Sectors
// (0 for a failed request).
std::uint64_t SectorCountOf(const platform::DISK_GEOMETRY& geometry);

}  // namespace disk
