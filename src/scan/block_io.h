#pragma once
// Sector transfers at explicit positions on one open drive, never past its last sector.
#include <cstdint>

#include "disk/drive_access.h"

namespace scan {

class BlockIo {
public:
    BlockIo(disk::DriveAccess& drives, platform::Handle handle, std::uint64_t driveSectors)
        : drives_(drives), handle_(handle), driveSectors_(driveSectors) {}

    // How many of the `wanted` sectors from lba lie on the drive (0 past its end).
    std::uint32_t SectorsOnDrive(std::int64_t lba, std::uint32_t wanted) const;
    // Positions the drive at a sector; false when the position could not be set.
    bool Seek(std::int64_t lba);
    // Transfers at the current position; false on failure (the position is then unknown).
    bool Read(void* buffer, std::uint32_t sectors);
    bool Write(const void* buffer, std::uint32_t sectors);
    // Seek then transfer; a failed seek transfers nothing, so nothing lands at a wrong place.
    // A transfer of 0 sectors succeeds without touching the drive.
    bool ReadAt(std::int64_t lba, void* buffer, std::uint32_t sectors);
    bool WriteAt(std::int64_t lba, const void* buffer, std::uint32_t sectors);
    // Everything written so far is on the medium, past the drive's own cache.
    bool Flush();

private:
    disk::DriveAccess& drives_;
    platform::Handle handle_;
    std::uint64_t driveSectors_;
};

}  // namespace scan
