// The reference for the scan's throughput: the same read, write-back and re-read of 51200-byte
// blocks with O_DIRECT, and nothing else (no pump, no window, no repair). With BATCH_MIB, the
// transfers are BATCH_MIB MiB each instead, compared 51200 bytes at a time as the scan does.
//   bench_bare_scan_loop DEVICE [SECTORS [BATCH_MIB]]
// Prints the seconds taken and the throughput over the scanned bytes.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t kBlockSectors = 100;
constexpr std::size_t kBlockBytes = kBlockSectors * 512;

std::uint64_t DeviceSectors(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return 0;
    if (S_ISREG(info.st_mode)) return static_cast<std::uint64_t>(info.st_size) / 512;
    std::uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) return 0;
    return bytes / 512;
}

bool Transfer(bool write, int fd, unsigned char* buffer, std::size_t bytes, std::uint64_t offset) {
    const ssize_t done = write ? ::pwrite(fd, buffer, bytes, static_cast<off_t>(offset))
                               : ::pread(fd, buffer, bytes, static_cast<off_t>(offset));
    return done == static_cast<ssize_t>(bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DEVICE [SECTORS]\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_DIRECT);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::uint64_t sectors = DeviceSectors(fd);
    if (argc > 2) sectors = std::strtoull(argv[2], nullptr, 10);
    const std::uint64_t batchMib = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
    const std::uint64_t transferSectors = batchMib > 0 ? batchMib * 2048 : kBlockSectors;
    const std::size_t transferBytes = transferSectors * 512;
    void* blockMemory = nullptr;
    void* verifyMemory = nullptr;
    if (::posix_memalign(&blockMemory, 4096, transferBytes) != 0 ||
        ::posix_memalign(&verifyMemory, 4096, transferBytes) != 0)
        return 1;
    auto* block = static_cast<unsigned char*>(blockMemory);
    auto* verify = static_cast<unsigned char*>(verifyMemory);

    std::uint64_t bad = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t lba = 0; lba < sectors; lba += transferSectors) {
        const std::uint64_t count = sectors - lba < transferSectors ? sectors - lba : transferSectors;
        const std::size_t bytes = count * 512;
        const std::uint64_t offset = lba * 512;
        Transfer(false, fd, block, bytes, offset);
        const bool written = Transfer(true, fd, block, bytes, offset);
        const bool reread = Transfer(false, fd, verify, bytes, offset);
        for (std::size_t at = 0; at < bytes; at += kBlockBytes) {
            const std::size_t piece = bytes - at < kBlockBytes ? bytes - at : kBlockBytes;
            if (!written || !reread || std::memcmp(block + at, verify + at, piece) != 0) ++bad;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::close(fd);
    std::printf("sectors %llu bad %llu seconds %.3f MBps %.1f\n", static_cast<unsigned long long>(sectors),
                static_cast<unsigned long long>(bad), seconds, static_cast<double>(sectors) * 512 / 1e6 / seconds);
    std::free(blockMemory);
    std::free(verifyMemory);
    return 0;
}
