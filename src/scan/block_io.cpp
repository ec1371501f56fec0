#include "scan/block_io.h"

namespace scan {

std::uint32_t BlockIo::SectorsOnDrive(std::int64_t lba, std::uint32_t wanted) const {
    if (lba < 0 || static_cast<std::uint64_t>(lba) >= driveSectors_) return 0;
    const std::uint64_t left = driveSectors_ - static_cast<std::uint64_t>(lba);
    return left < wanted ? static_cast<std::uint32_t>(left) : wanted;
}

bool BlockIo::Seek(std::int64_t lba) {
    return drives_.SeekDrive(handle_, static_cast<std::uint64_t>(lba) * disk::kSectorSize);
}

bool BlockIo::Read(void* buffer, std::uint32_t sectors) {
    return drives_.ReadSectors(handle_, buffer, sectors * disk::kSectorSize);
}

bool BlockIo::Write(const void* buffer, std::uint32_t sectors) {
    return drives_.WriteSectors(handle_, buffer, sectors * disk::kSectorSize);
}

bool BlockIo::ReadAt(std::int64_t lba, void* buffer, std::uint32_t sectors) {
    if (sectors == 0) return true;
    return Seek(lba) && Read(buffer, sectors);
}

bool BlockIo::WriteAt(std::int64_t lba, const void* buffer, std::uint32_t sectors) {
    if (sectors == 0) return true;
    return Seek(lba) && Write(buffer, sectors);
}

bool BlockIo::Flush() { return drives_.FlushDrive(handle_); }

}  // namespace scan
