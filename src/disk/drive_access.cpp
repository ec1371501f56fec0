#include "disk/drive_access.h"

#include <cstring>

#include "platform/storage_query.h"

namespace disk {

namespace {

using platform::DWORD;

constexpr DWORD kGeometryBufferSize = 2400;

}  // namespace

std::string DriveAccess::DevicePath(int driveNumber) {
    return "\\\\.\\PHYSICALDRIVE" + std::to_string(driveNumber);
}

platform::Handle DriveAccess::OpenDrive(int driveNumber, OpenProfile profile) {
    shortTransfer_ = false;
    const std::string path = DevicePath(driveNumber);
    const DWORD access = platform::GENERIC_READ | platform::GENERIC_WRITE;
    const DWORD share = platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE;
    if (profile == OpenProfile::Probe) {
        return kernel_.createFile(path, access, share, nullptr, platform::OPEN_EXISTING,
                                  platform::FILE_ATTRIBUTE_SYSTEM);
    }
    platform::SecurityAttributes security;
    security.nLength = platform::kSecurityAttributesSize;
    security.hasDescriptor = false;
    security.inheritHandle = true;
    return kernel_.createFile(path, access, share, &security, platform::OPEN_EXISTING, 0);
}

void DriveAccess::CloseDrive(platform::Handle handle) { kernel_.closeHandle(handle); }

bool DriveAccess::FlushDrive(platform::Handle handle) {
    shortTransfer_ = false;
    return kernel_.flushFileBuffers(handle);
}

bool DriveAccess::DriveIdentity(platform::Handle handle, std::string& identity) {
    shortTransfer_ = false;
    return kernel_.driveIdentity(handle, identity);
}

bool DriveAccess::SeekDrive(platform::Handle handle, std::uint64_t byteOffset) {
    shortTransfer_ = false;
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(byteOffset & 0xFFFFFFFFu));
    const auto high = static_cast<std::int32_t>(static_cast<std::uint32_t>(byteOffset >> 32));
    std::int32_t newHigh = high;
    const DWORD newLow = kernel_.setFilePointer(handle, low, &newHigh, platform::FILE_BEGIN);
    // INVALID_SET_FILE_POINTER is also a valid low part, so the new position itself decides.
    if (newLow == platform::INVALID_SET_FILE_POINTER && kernel_.getLastError() != platform::ERROR_SUCCESS)
        return false;
    return newLow == static_cast<DWORD>(low) && newHigh == high;
}

bool DriveAccess::ReadSectors(platform::Handle handle, void* buffer, std::uint32_t bytes) {
    shortTransfer_ = false;
    DWORD transferred = 0;
    if (!kernel_.readFile(handle, buffer, bytes, &transferred)) return false;
    // A partial transfer leaves the rest of the buffer holding older bytes: not a success.
    shortTransfer_ = transferred != bytes;
    return !shortTransfer_;
}

bool DriveAccess::WriteSectors(platform::Handle handle, const void* buffer, std::uint32_t bytes) {
    shortTransfer_ = false;
    DWORD transferred = 0;
    if (!kernel_.writeFile(handle, buffer, bytes, &transferred)) return false;
    shortTransfer_ = transferred != bytes;
    return !shortTransfer_;
}

platform::DISK_GEOMETRY DriveAccess::GetGeometry(platform::Handle handle) {
    shortTransfer_ = false;
    alignas(8) std::uint8_t output[kGeometryBufferSize] = {};
    DWORD returned = 0;
    platform::DISK_GEOMETRY geometry{};
    if (kernel_.deviceIoControl(handle, platform::IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, output,
                                kGeometryBufferSize, &returned)) {
        std::memcpy(&geometry, output, sizeof geometry);
    }
    return geometry;
}

bool DriveAccess::SendSmart(platform::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                            void* out, std::uint32_t outSize) {
    shortTransfer_ = false;
    DWORD returned = 0;
    return kernel_.deviceIoControl(handle, code, in, inSize, out, outSize, &returned);
}

bool DriveAccess::QueryProperty(platform::Handle handle, const void* in, std::uint32_t inSize, void* out,
                                std::uint32_t outSize, std::uint32_t& returned) {
    shortTransfer_ = false;
    DWORD written = 0;
    const bool ok =
        kernel_.deviceIoControl(handle, platform::IOCTL_STORAGE_QUERY_PROPERTY, in, inSize, out, outSize, &written);
    returned = written;
    return ok;
}

bool DriveAccess::GetSectorSizes(platform::Handle handle, SectorSizes& sizes) {
    sizes = SectorSizes{};
    alignas(8) std::uint8_t query[platform::kStoragePropertyQueryBytes] = {};
    platform::STORAGE_PROPERTY_QUERY_HEADER header{platform::StorageAccessAlignmentProperty,
                                                   platform::PropertyStandardQuery};
    std::memcpy(query, &header, sizeof header);
    platform::STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR answer{};
    std::uint32_t returned = 0;
    if (!QueryProperty(handle, query, sizeof query, &answer, sizeof answer, returned) || returned < sizeof answer)
        return false;
    sizes.logicalBytes = answer.BytesPerLogicalSector;
    sizes.physicalBytes = answer.BytesPerPhysicalSector;
    sizes.alignmentBytes = answer.BytesOffsetForSectorAlignment;
    return true;
}

bool DriveAccess::ProtocolCommand(platform::Handle handle, const void* in, std::uint32_t inSize, void* out,
                                  std::uint32_t outSize) {
    shortTransfer_ = false;
    DWORD written = 0;
    return kernel_.deviceIoControl(handle, platform::IOCTL_STORAGE_PROTOCOL_COMMAND, in, inSize, out, outSize,
                                   &written);
}

bool DriveAccess::ClaimForWriting(platform::Handle handle, std::string& reason) {
    shortTransfer_ = false;
    return kernel_.claimForWriting(handle, reason);
}

std::string DriveAccess::DeviceName(platform::Handle handle) {
    shortTransfer_ = false;
    std::string name;
    if (!kernel_.deviceName(handle, name)) name.clear();
    return name;
}

bool DriveAccess::IsListedDevice(platform::Handle handle) {
    shortTransfer_ = false;
    return kernel_.isListedDevice(handle);
}

std::uint32_t DriveAccess::LastError() const {
    return shortTransfer_ ? platform::ERROR_HANDLE_EOF : kernel_.getLastError();
}

std::uint32_t DriveAccess::LogicalDrives() { return kernel_.getLogicalDrives(); }

std::uint32_t DriveAccess::DriveType(char letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    return kernel_.getDriveType(std::string_view(root, 3));
}

std::uint64_t SectorCountOf(const platform::DISK_GEOMETRY& geometry) {
    if (geometry.Cylinders <= 0) return 0;
    // A nonsensical geometry saturates instead of wrapping to a small, plausible size.
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(geometry.Cylinders),
                               static_cast<std::uint64_t>(geometry.TracksPerCylinder), &product) ||
        __builtin_mul_overflow(product, static_cast<std::uint64_t>(geometry.SectorsPerTrack), &product))
        return UINT64_MAX;
    return product;
}

}  // namespace disk
