#pragma once
// One open drive (a block device or a disk image file) moved in whole 512-byte sectors, with
// O_DIRECT, so reads and writes reach the device instead of the page cache (a re-read that
// came from the cache would verify nothing). A transfer of whole device sectors from
// page-aligned memory goes to the device in one call; any other goes through an aligned
// bounce buffer allocated once when the file is opened. Where the device's logical sector is
// larger than 512 bytes, a transfer that covers part of one is done as a read-modify-write
// of the whole sector.
//
// Image files on filesystems that refuse O_DIRECT (tmpfs, some network filesystems) are
// opened normally instead: each write is followed by fdatasync so it is durable before the
// call returns, and reads may be answered from the page cache (there is no device below
// such a file whose surface could be checked).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/limits.h"
#include "platform/linux/linux_namespace.h"
#include "platform/win_types.h"

namespace platform::linux {

class SectorFile {
public:
    static constexpr std::uint32_t kSectorBytes = platform::kSectorBytes;
    // The largest piece moved through the bounce buffer at once; longer transfers are split.
    static constexpr std::uint32_t kChunkBytes = 512 * 1024;

    // Opens path for reading only. Null with error set to a Windows code when the path cannot
    // be opened or is neither a block device nor a regular file.
    static std::unique_ptr<SectorFile> open(const std::string& path, DWORD& error);
    ~SectorFile();
    SectorFile(const SectorFile&) = delete;
    SectorFile& operator=(const SectorFile&) = delete;

    // Reads bytes (a multiple of 512) at a 512-aligned offset. ERROR_SUCCESS or a Windows
    // code; a transfer reaching past the end fails with ERROR_SECTOR_NOT_FOUND and moves
    // nothing. data is the caller's.
    DWORD read(std::uint64_t offset, void* data, std::uint32_t bytes);
    // Writes the same way; durable on the device (or image file) when it returns success.
    // ERROR_ACCESS_DENIED until reopenForWriting succeeded.
    DWORD write(std::uint64_t offset, const void* data, std::uint32_t bytes);

    // Replaces the read-only descriptor by one for reading and writing, with O_EXCL for a block
    // device (the kernel refuses that with EBUSY while the device is mounted or held). The new
    // descriptor must reach the same device or file as the old one, else ERROR_DEV_NOT_EXIST.
    // ERROR_SUCCESS or a Windows code; on failure the read-only descriptor stays in use.
    DWORD reopenForWriting();
    bool writable() const { return writable_; }

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    bool isBlockDevice() const { return blockDevice_; }
    bool usesDirectIo() const { return direct_; }
    // The unit transfers are aligned to: the logical sector size of a device, 512 for files.
    std::uint32_t alignmentUnit() const { return unit_; }
    // Size in bytes as of now (BLKGETSIZE64, or the file size), 0 when it cannot be read.
    std::uint64_t currentSize() const;
    // Aligned scratch memory of scratchBytes() bytes that the pass-through uses for its data.
    std::uint8_t* scratch() { return buffer_.get(); }
    std::size_t scratchBytes() const { return bufferBytes_; }

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const;
    };
    SectorFile() = default;
    DWORD transfer(std::uint64_t offset, std::uint8_t* readInto, const std::uint8_t* writeFrom, std::uint32_t bytes);
    bool movesInPlace(std::uint64_t offset, const std::uint8_t* data, std::uint32_t bytes) const;
    DWORD readChunk(std::uint64_t offset, std::uint8_t* data, std::uint32_t bytes);
    DWORD writeChunk(std::uint64_t offset, const std::uint8_t* data, std::uint32_t bytes);
    DWORD readFully(std::uint64_t offset, std::uint8_t* into, std::size_t bytes);
    DWORD writeFully(std::uint64_t offset, const std::uint8_t* from, std::size_t bytes);
    bool fallBackToBuffered();

    int fd_ = -1;
    bool writable_ = false;
    std::string path_;
    bool blockDevice_ = false;
    bool direct_ = false;
    std::uint32_t unit_ = kSectorBytes;
    std::uint64_t sizeBytes_ = 0;  // whole 512-byte sectors only
    std::unique_ptr<std::uint8_t, FreeDeleter> buffer_;
    std::size_t bufferBytes_ = 0;
};

}  // namespace platform::linux
