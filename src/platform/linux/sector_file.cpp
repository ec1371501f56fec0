#include "platform/linux/sector_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/errno_map.h"

namespace platform::linux {
namespace {

constexpr std::uint32_t kMemoryAlignment = 4096;
constexpr std::uint32_t kLargestUnit = 64 * 1024;

bool isPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

int openRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The direct-I/O offset alignment the filesystem of an image file asks for: 0 when it
// supports no direct I/O, -1 when the kernel does not say.
long directIoAlignment(int fd) {
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) != 0 || (info.stx_mask & STATX_DIOALIGN) == 0)
        return -1;
    return info.stx_dio_offset_align;
}

}  // namespace

void SectorFile::FreeDeleter::operator()(std::uint8_t* p) const { std::free(p); }

std::unique_ptr<SectorFile> SectorFile::open(const std::string& path, DWORD& error) {
    // Read-only: closing a descriptor that was open for writing makes udev re-read the disk's
    // partition table, and looking at a disk must change nothing.
    const int flags = O_RDONLY | O_CLOEXEC;
    std::unique_ptr<SectorFile> file(new SectorFile);
    file->path_ = path;
    file->direct_ = true;
    int fd = openRetrying(path, flags | O_DIRECT);
    if (fd < 0 && errno == EINVAL) {
        // Filesystems without direct I/O refuse the flag at open; only image files can be there.
        fd = openRetrying(path, flags);
        struct stat st {};
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            error = S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER;
            return nullptr;
        }
        file->direct_ = false;
    }
    if (fd < 0) {
        error = errno == EISDIR ? ERROR_ACCESS_DENIED : windowsErrorFromErrno(errno);
        return nullptr;
    }
    file->fd_ = fd;

    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = windowsErrorFromErrno(errno);
        return nullptr;
    }
    if (S_ISBLK(st.st_mode)) {
        file->blockDevice_ = true;
        int logical = 0;
        if (ioctl(fd, BLKSSZGET, &logical) != 0) {
            error = windowsErrorFromErrno(errno);
            return nullptr;
        }
        if (logical < static_cast<int>(kSectorBytes) || logical > static_cast<int>(kLargestUnit) ||
            !isPowerOfTwo(static_cast<std::uint32_t>(logical))) {
            error = ERROR_NOT_SUPPORTED;
            return nullptr;
        }
        file->unit_ = static_cast<std::uint32_t>(logical);
    } else if (S_ISREG(st.st_mode)) {
        if (file->direct_) {
            const long align = directIoAlignment(fd);
            if (align > static_cast<long>(kSectorBytes) && align <= static_cast<long>(kLargestUnit) &&
                isPowerOfTwo(static_cast<std::uint32_t>(align)))
                file->unit_ = static_cast<std::uint32_t>(align);
            // A tail shorter than the unit could only be written by growing the file.
            const bool unusable = align == 0 || align > static_cast<long>(kLargestUnit) ||
                                  static_cast<std::uint64_t>(st.st_size) % file->unit_ != 0;
            if (unusable && !file->fallBackToBuffered()) {
                error = windowsErrorFromErrno(errno);
                return nullptr;
            }
        }
    } else {
        error = S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_NOT_SUPPORTED;
        return nullptr;
    }
    file->sizeBytes_ = file->currentSize() / kSectorBytes * kSectorBytes;

    file->bufferBytes_ = kChunkBytes + 2 * static_cast<std::size_t>(std::max(file->unit_, kMemoryAlignment));
    const std::size_t alignment = std::max(file->unit_, kMemoryAlignment);
    file->buffer_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(alignment, file->bufferBytes_)));
    if (!file->buffer_) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return file;
}

SectorFile::~SectorFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool SectorFile::fallBackToBuffered() {
    const int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0) return false;
    direct_ = false;
    unit_ = kSectorBytes;
    return true;
}

std::uint64_t SectorFile::currentSize() const {
    if (blockDevice_) {
        std::uint64_t bytes = 0;
        return ioctl(fd_, BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
    }
    struct stat st {};
    return fstat(fd_, &st) == 0 && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

DWORD SectorFile::read(std::uint64_t offset, void* data, std::uint32_t bytes) {
    return transfer(offset, static_cast<std::uint8_t*>(data), nullptr, bytes);
}

DWORD SectorFile::write(std::uint64_t offset, const void* data, std::uint32_t bytes) {
    if (!writable_) return ERROR_ACCESS_DENIED;
    return transfer(offset, nullptr, static_cast<const std::uint8_t*>(data), bytes);
}

DWORD SectorFile::transfer(std::uint64_t offset, std::uint8_t* readInto, const std::uint8_t* writeFrom,
                           std::uint32_t bytes) {
    if (bytes % kSectorBytes != 0 || offset % kSectorBytes != 0) return ERROR_INVALID_PARAMETER;
    if (offset > sizeBytes_ || bytes > sizeBytes_ - offset) return ERROR_SECTOR_NOT_FOUND;
    // Whole device sectors in memory the device can use as it is go in one call without a copy:
    // a large transfer then reaches the device as one request stream, as a bare loop's does.
    if (movesInPlace(offset, readInto ? readInto : writeFrom, bytes))
        return readInto ? readFully(offset, readInto, bytes) : writeFully(offset, writeFrom, bytes);
    std::uint32_t done = 0;
    while (done < bytes) {
        const std::uint32_t piece = std::min(bytes - done, kChunkBytes);
        const DWORD error = readInto ? readChunk(offset + done, readInto + done, piece)
                                     : writeChunk(offset + done, writeFrom + done, piece);
        if (error != ERROR_SUCCESS) return error;
        done += piece;
    }
    return ERROR_SUCCESS;
}

bool SectorFile::movesInPlace(std::uint64_t offset, const std::uint8_t* data, std::uint32_t bytes) const {
    if (offset % unit_ != 0 || bytes % unit_ != 0) return false;
    // Page alignment satisfies every device's and filesystem's direct-I/O memory rule.
    const std::uintptr_t alignment = std::max(unit_, kMemoryAlignment);
    return !direct_ || reinterpret_cast<std::uintptr_t>(data) % alignment == 0;
}

DWORD SectorFile::readChunk(std::uint64_t offset, std::uint8_t* data, std::uint32_t bytes) {
    const std::uint64_t first = offset / unit_ * unit_;
    const std::uint64_t end = (offset + bytes + unit_ - 1) / unit_ * unit_;
    const DWORD error = readFully(first, buffer_.get(), end - first);
    if (error != ERROR_SUCCESS) return error;
    std::memcpy(data, buffer_.get() + (offset - first), bytes);
    return ERROR_SUCCESS;
}

DWORD SectorFile::writeChunk(std::uint64_t offset, const std::uint8_t* data, std::uint32_t bytes) {
    const std::uint64_t first = offset / unit_ * unit_;
    const std::uint64_t end = (offset + bytes + unit_ - 1) / unit_ * unit_;
    std::uint8_t* buffer = buffer_.get();
    // The parts of the first and last device sectors outside the transfer keep their content.
    if (first < offset) {
        const DWORD error = readFully(first, buffer, unit_);
        if (error != ERROR_SUCCESS) return error;
    }
    if (end > offset + bytes && (end - unit_ > first || first == offset)) {
        const DWORD error = readFully(end - unit_, buffer + (end - unit_ - first), unit_);
        if (error != ERROR_SUCCESS) return error;
    }
    std::memcpy(buffer + (offset - first), data, bytes);
    return writeFully(first, buffer, end - first);
}

DWORD SectorFile::readFully(std::uint64_t offset, std::uint8_t* into, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t got = pread(fd_, into + done, bytes - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            // A filesystem that takes O_DIRECT at open may still refuse our alignment.
            if (errno == EINVAL && direct_ && !blockDevice_ && fallBackToBuffered()) continue;
            return windowsErrorFromErrno(errno);
        }
        if (got == 0) return ERROR_SECTOR_NOT_FOUND;  // the device shrank under us
        done += static_cast<std::size_t>(got);
    }
    return ERROR_SUCCESS;
}

DWORD SectorFile::writeFully(std::uint64_t offset, const std::uint8_t* from, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t put = pwrite(fd_, from + done, bytes - done, static_cast<off_t>(offset + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            if (errno == EINVAL && direct_ && !blockDevice_ && fallBackToBuffered()) continue;
            return windowsErrorFromErrno(errno);
        }
        if (put == 0) return ERROR_SECTOR_NOT_FOUND;
        done += static_cast<std::size_t>(put);
    }
    if (!direct_ && fdatasync(fd_) != 0) return windowsErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD SectorFile::reopenForWriting() {
    if (writable_) return ERROR_SUCCESS;
    const int flags = O_RDWR | O_CLOEXEC | (blockDevice_ ? O_EXCL : 0) | (direct_ ? O_DIRECT : 0);
    const int fd = openRetrying(path_, flags);
    if (fd < 0) return windowsErrorFromErrno(errno);
    // The path may name another device or file by now (a disk replaced, an image renamed over).
    struct stat before {};
    struct stat after {};
    const bool same = fstat(fd_, &before) == 0 && fstat(fd, &after) == 0 &&
                      (blockDevice_ ? S_ISBLK(after.st_mode) && after.st_rdev == before.st_rdev
                                    : after.st_dev == before.st_dev && after.st_ino == before.st_ino);
    if (!same) {
        ::close(fd);
        return ERROR_DEV_NOT_EXIST;
    }
    ::close(fd_);
    fd_ = fd;
    writable_ = true;
    return ERROR_SUCCESS;
}

}  // namespace platform::linux
