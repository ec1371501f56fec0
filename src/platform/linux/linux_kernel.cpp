#include "platform/linux/linux_kernel.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <linux/hdreg.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/ata_passthrough.h"
#include "platform/linux/errno_map.h"
#include "platform/linux/nvme_passthrough.h"
#include "platform/linux/smart_requests.h"
#include "platform/storage_query.h"

namespace platform::linux {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\PHYSICALDRIVE";
constexpr DWORD kGenericAll = 0x10000000u;
constexpr DWORD kFixedMedia = 12;
constexpr std::size_t kMaxDriveDigits = 4;
constexpr const char* kChangedSinceListed = "the drive changed since it was listed";

// The n of "\\.\PHYSICALDRIVEn" (the prefix in any case, n in decimal without leading zeros),
// or -1 for any other path.
long physicalDriveNumber(std::string_view path) {
    if (path.size() <= kDevicePrefix.size() || path.size() > kDevicePrefix.size() + kMaxDriveDigits) return -1;
    for (std::size_t i = 0; i < kDevicePrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(path[i])) != kDevicePrefix[i]) return -1;
    const std::string_view digits = path.substr(kDevicePrefix.size());
    if (digits.size() > 1 && digits[0] == '0') return -1;
    long number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

LinuxKernel::LinuxKernel() : LinuxKernel(SystemRoots{}) {}

LinuxKernel::LinuxKernel(SystemRoots roots)
    : roots_(std::move(roots)), discovers_(true), layout_(DriveLayout::fromSysfs(roots_.sysfs, roots_.dev)) {}

LinuxKernel::LinuxKernel(std::vector<std::string> devicePaths, SystemRoots roots)
    : roots_(std::move(roots)), discovers_(false), layout_(DriveLayout::fromPaths(devicePaths)) {
    // Each path is bound to what it names now; a path that names nothing yet is bound to
    // nothing, so whatever appears there later is not taken for the listed drive.
    for (const DriveEntry& entry : layout_.physicalDrives()) {
        DeviceKey key;
        readPathKey(entry.devicePath, roots_.sysfs, key);
        listedKeys_.push_back(key);
    }
}

LinuxKernel::~LinuxKernel() = default;

bool LinuxKernel::fail(DWORD error) {
    lastError_ = error;
    return false;
}

bool LinuxKernel::succeed() {
    lastError_ = ERROR_SUCCESS;
    return true;
}

LinuxKernel::OpenDrive* LinuxKernel::find(Handle handle) {
    const auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : &it->second;
}

std::string LinuxKernel::devicePathOf(Handle handle) const {
    const auto it = handles_.find(handle);
    return it == handles_.end() ? std::string() : it->second.file->path();
}

Handle LinuxKernel::createFile(std::string_view path, DWORD desiredAccess, DWORD /*shareMode*/,
                               const SecurityAttributes* /*security*/, DWORD creationDisposition,
                               DWORD /*flagsAndAttributes*/) {
    // Drives are only ever opened as they are; nothing here may create or truncate a file.
    // Linux has no share modes: exclusive use is what claimForWriting takes. Handles are
    // never inherited (O_CLOEXEC) because this program starts no child that could use them.
    if (creationDisposition != OPEN_EXISTING) {
        fail(ERROR_INVALID_PARAMETER);
        return kInvalidHandle;
    }
    const long number = physicalDriveNumber(path);
    const DriveEntry* entry = number < 0 ? nullptr : layout_.physicalDrive(static_cast<std::size_t>(number));
    if (entry == nullptr) {
        fail(ERROR_FILE_NOT_FOUND);
        return kInvalidHandle;
    }
    OpenDrive drive;
    drive.canRead = (desiredAccess & (GENERIC_READ | kGenericAll)) != 0;
    drive.canWrite = (desiredAccess & (GENERIC_WRITE | kGenericAll)) != 0;
    drive.name = entry->name;
    drive.listedKey = discovers_ ? entry->key : listedKeys_[static_cast<std::size_t>(number)];
    DWORD error = ERROR_SUCCESS;
    drive.file = SectorFile::open(entry->devicePath, error);
    if (!drive.file) {
        fail(error);
        return kInvalidHandle;
    }
    const Handle handle = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(handle, std::move(drive));
    succeed();
    return handle;
}

DWORD LinuxKernel::setFilePointer(Handle handle, std::int32_t distanceLow, std::int32_t* distanceHigh,
                                  DWORD moveMethod) {
    OpenDrive* drive = find(handle);
    if (drive == nullptr) {
        fail(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t distance = distanceLow;
    if (distanceHigh != nullptr)
        distance = static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                             static_cast<std::uint32_t>(distanceLow));
    std::int64_t base = 0;
    switch (moveMethod) {
    case FILE_BEGIN:
        break;
    case FILE_CURRENT:
        base = static_cast<std::int64_t>(drive->position);
        break;
    case FILE_END:
        base = static_cast<std::int64_t>(drive->file->currentSize());
        break;
    default:
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if ((distance > 0 && base > INT64_MAX - distance)) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    const std::int64_t target = base + distance;
    if (target < 0) {
        fail(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the caller can only be told a 32-bit position.
    if (distanceHigh == nullptr && target > static_cast<std::int64_t>(UINT32_MAX - 1)) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    drive->position = static_cast<std::uint64_t>(target);
    if (distanceHigh != nullptr) *distanceHigh = static_cast<std::int32_t>(drive->position >> 32);
    succeed();
    return static_cast<DWORD>(drive->position & 0xFFFFFFFFu);
}

bool LinuxKernel::readFile(Handle handle, void* buffer, DWORD bytes, DWORD* transferred) {
    if (transferred != nullptr) *transferred = 0;
    OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    if (!drive->canRead) return fail(ERROR_ACCESS_DENIED);
    if (bytes > 0 && buffer == nullptr) return fail(ERROR_INVALID_PARAMETER);
    const DWORD error = drive->file->read(drive->position, buffer, bytes);
    if (error != ERROR_SUCCESS) return fail(error);
    drive->position += bytes;
    if (transferred != nullptr) *transferred = bytes;
    return succeed();
}

bool LinuxKernel::writeFile(Handle handle, const void* buffer, DWORD bytes, DWORD* transferred) {
    if (transferred != nullptr) *transferred = 0;
    OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    // Only a claimed handle writes: looking at a drive never changes it.
    if (!drive->claimed) return fail(ERROR_ACCESS_DENIED);
    if (bytes > 0 && buffer == nullptr) return fail(ERROR_INVALID_PARAMETER);
    const DWORD error = drive->file->write(drive->position, buffer, bytes);
    if (error != ERROR_SUCCESS) return fail(error);
    drive->position += bytes;
    if (transferred != nullptr) *transferred = bytes;
    return succeed();
}

bool LinuxKernel::geometry(OpenDrive& drive, void* out, DWORD outSize, DWORD* returned) {
    if (out == nullptr || outSize < sizeof(DISK_GEOMETRY)) return fail(ERROR_INSUFFICIENT_BUFFER);
    const std::uint64_t sectors = drive.file->currentSize() / SectorFile::kSectorBytes;
    DISK_GEOMETRY result{};
    result.Cylinders = static_cast<std::int64_t>(sectors);
    result.TracksPerCylinder = 1;
    result.SectorsPerTrack = 1;
    result.BytesPerSector = SectorFile::kSectorBytes;
    result.MediaType = kFixedMedia;
    // The kernel's own heads and sectors per track are used only where they describe the
    // disk exactly, so that cylinders x tracks x sectors is always the sector count.
    hd_geometry hd{};
    if (drive.file->isBlockDevice() && ioctl(drive.file->fd(), HDIO_GETGEO, &hd) == 0 && hd.heads > 0 &&
        hd.sectors > 0 && sectors % (std::uint64_t{hd.heads} * hd.sectors) == 0) {
        result.Cylinders = static_cast<std::int64_t>(sectors / (std::uint64_t{hd.heads} * hd.sectors));
        result.TracksPerCylinder = hd.heads;
        result.SectorsPerTrack = hd.sectors;
    }
    std::memcpy(out, &result, sizeof result);
    if (returned != nullptr) *returned = sizeof result;
    return succeed();
}

bool LinuxKernel::deviceIoControl(Handle handle, DWORD code, const void* in, DWORD inSize, void* out,
                                  DWORD outSize, DWORD* returned) {
    if (returned != nullptr) *returned = 0;
    OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    if (code == IOCTL_DISK_GET_DRIVE_GEOMETRY) return geometry(*drive, out, outSize, returned);
    if (code == IOCTL_STORAGE_QUERY_PROPERTY && IsAlignmentQuery(in, inSize))
        return alignment(*drive, out, outSize, returned);
    if (code == IOCTL_STORAGE_QUERY_PROPERTY || code == IOCTL_STORAGE_PROTOCOL_COMMAND)
        return nvmeQuery(*drive, code, in, inSize, out, outSize, returned);
    if (code != SMART_GET_VERSION && code != SMART_SEND_DRIVE_COMMAND && code != SMART_RCV_DRIVE_DATA)
        return fail(ERROR_INVALID_FUNCTION);
    // Only a device can carry ATA commands; an image file has no drive behind it.
    if (!drive->file->isBlockDevice()) return fail(ERROR_INVALID_FUNCTION);
    SgIoChannel channel(drive->file->fd());
    const IoctlAnswer answer =
        code == SMART_GET_VERSION
            ? smartGetVersion(channel, drive->file->scratch(), out, outSize)
            : smartDriveCommand(channel, code, in, inSize, out, outSize, drive->file->scratch(),
                                drive->file->scratchBytes());
    if (returned != nullptr) *returned = answer.returned;
    return answer.ok ? succeed() : fail(answer.error);
}

bool LinuxKernel::alignment(OpenDrive& drive, void* out, DWORD outSize, DWORD* returned) {
    SectorSizes sizes;
    if (drive.file->isBlockDevice()) {
        struct stat st {};
        if (fstat(drive.file->fd(), &st) != 0) return fail(windowsErrorFromErrno(errno));
        if (!readSectorSizes(roots_.sysfs + "/dev/block/" + deviceNumberText(st.st_rdev), sizes))
            return fail(ERROR_INVALID_FUNCTION);
    }
    if (!WriteAlignmentAnswer(sizes.logicalBytes, sizes.physicalBytes, sizes.alignmentBytes, out, outSize))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    if (returned != nullptr) *returned = sizeof(STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR);
    return succeed();
}

bool LinuxKernel::nvmeQuery(OpenDrive& drive, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                            DWORD* returned) {
    if (!drive.file->isBlockDevice() || !isNvmeNamespace(drive.file->path())) return fail(ERROR_INVALID_FUNCTION);
    const IoctlAnswer answer =
        code == IOCTL_STORAGE_PROTOCOL_COMMAND
            ? nvmeProtocolCommand(drive.file->fd(), in, inSize, out, outSize)
            : nvmeQueryProperty(drive.file->fd(), in, inSize, out, outSize, drive.file->scratch(),
                                drive.file->scratchBytes());
    if (returned != nullptr) *returned = answer.returned;
    return answer.ok ? succeed() : fail(answer.error);
}

bool LinuxKernel::closeHandle(Handle handle) {
    if (handles_.erase(handle) == 0) return fail(ERROR_INVALID_HANDLE);
    return succeed();
}

DWORD LinuxKernel::getLastError() const { return lastError_; }

DWORD LinuxKernel::getLogicalDrives() {
    if (discovers_) layout_ = DriveLayout::rebind(layout_, DriveLayout::fromSysfs(roots_.sysfs, roots_.dev));
    succeed();
    return layout_.logicalDriveMask();
}

DWORD LinuxKernel::getDriveType(std::string_view root) {
    const bool wellFormed = (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) &&
                            root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0])) != 0;
    succeed();
    return wellFormed ? layout_.driveType(root[0]) : DRIVE_NO_ROOT_DIR;
}

bool LinuxKernel::currentKey(const OpenDrive& drive, DeviceKey& key) const {
    const SectorFile& file = *drive.file;
    // A file standing in for a disk of a sysfs tree (tests) is known by that tree's entry.
    if (discovers_ && !file.isBlockDevice()) {
        key = readSysfsKey(roots_.sysfs + "/block/" + drive.name);
        return true;
    }
    if (!readOpenFileKey(file.fd(), file.path(), roots_.sysfs, key)) return false;
    // The size the open device reports itself, whatever sysfs says.
    if (file.isBlockDevice()) key.sizeBytes = file.currentSize();
    return true;
}

bool LinuxKernel::driveIdentity(Handle handle, std::string& identity) {
    identity.clear();
    const OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    DeviceKey key;
    if (!currentKey(*drive, key)) return fail(windowsErrorFromErrno(errno));
    identity = identityText(key);
    return succeed();
}

bool LinuxKernel::isListedDevice(Handle handle) {
    const OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    DeviceKey key;
    if (!currentKey(*drive, key)) return fail(ERROR_DEV_NOT_EXIST);
    // A listing read from sysfs alone never asked a loop device for its backing inode; there the
    // disk sequence number, new at every attach, tells another file apart.
    if (drive->listedKey.backingInode.empty()) key.backingInode.clear();
    if (key != drive->listedKey) return fail(ERROR_DEV_NOT_EXIST);
    return succeed();
}

bool LinuxKernel::deviceName(Handle handle, std::string& name) {
    name.clear();
    const OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    const SectorFile& file = *drive->file;
    if (discovers_) {
        name = drive->name;
        return succeed();
    }
    // An explicit path may be a link (/dev/disk/by-id/...): the device number names the disk.
    std::string path = file.path();
    struct stat st {};
    if (file.isBlockDevice() && fstat(file.fd(), &st) == 0) {
        char target[4096];
        const std::string link = roots_.sysfs + "/dev/block/" + deviceNumberText(st.st_rdev);
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length > 0) path.assign(target, static_cast<std::size_t>(length));
    }
    const std::size_t slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return fail(ERROR_INVALID_FUNCTION);
    return succeed();
}

bool LinuxKernel::claimForWriting(Handle handle, std::string& reason) {
    OpenDrive* drive = find(handle);
    if (drive == nullptr) {
        reason = "the drive is not open";
        return fail(ERROR_INVALID_HANDLE);
    }
    SectorFile& file = *drive->file;
    if (!drive->canWrite) {
        reason = file.path() + " was opened without write access";
        return fail(ERROR_ACCESS_DENIED);
    }
    // The handle already holds the drive; an exclusive reopen would now collide with itself.
    if (drive->claimed) return succeed();
    if (!isListedDevice(handle)) {
        reason = kChangedSinceListed;
        return false;
    }
    if (!file.isBlockDevice()) {
        const DWORD reopened = file.reopenForWriting();
        if (reopened != ERROR_SUCCESS) {
            reason = reopened == ERROR_DEV_NOT_EXIST ? kChangedSinceListed : file.path() + " cannot be opened for writing";
            return fail(reopened);
        }
        // Two writers on one image file would undo each other's repairs.
        if (flock(file.fd(), LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            reason = file.path() + (error == EWOULDBLOCK ? " is in use by another program" : " cannot be locked");
            return fail(error == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : windowsErrorFromErrno(error));
        }
        drive->claimed = true;
        return succeed();
    }
    struct stat st {};
    if (fstat(file.fd(), &st) != 0) {
        const int error = errno;
        reason = file.path() + ": " + std::strerror(error);
        return fail(windowsErrorFromErrno(error));
    }
    if (auto inUse = findDriveInUse(st.st_rdev, roots_)) {
        reason = *inUse;
        return fail(ERROR_SHARING_VIOLATION);
    }
    const DWORD error = file.reopenForWriting();
    if (error != ERROR_SUCCESS) {
        reason = error == ERROR_SHARING_VIOLATION ? file.path() + " is in use by another program or the kernel"
                 : error == ERROR_DEV_NOT_EXIST   ? std::string(kChangedSinceListed)
                                                  : file.path() + " cannot be opened for exclusive use";
        return fail(error);
    }
    // Another disk may have been attached under the same device number since the check above.
    if (!isListedDevice(handle)) {
        reason = kChangedSinceListed;
        return false;
    }
    drive->claimed = true;
    return succeed();
}

bool LinuxKernel::flushFileBuffers(Handle handle) {
    OpenDrive* drive = find(handle);
    if (drive == nullptr) return fail(ERROR_INVALID_HANDLE);
    // On a block device this also makes the drive empty its own write cache.
    if (fdatasync(drive->file->fd()) != 0) return fail(windowsErrorFromErrno(errno));
    return succeed();
}

}  // namespace platform::linux
