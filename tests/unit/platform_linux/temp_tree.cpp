#include "temp_tree.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

std::vector<std::uint8_t> readFileBytes(const std::string& path, std::uint64_t offset, std::size_t bytes) {
    // Whole 4096-byte pages through O_DIRECT, so data written behind the cache (a loop device
    // with direct I/O) is what we see; plain reads where O_DIRECT is refused.
    const std::uint64_t first = offset / 4096 * 4096;
    const std::size_t span = (offset + bytes + 4095) / 4096 * 4096 - first;
    void* raw = std::aligned_alloc(4096, span);
    std::vector<std::uint8_t> out;
    int fd = open(path.c_str(), O_RDONLY | O_DIRECT);
    if (fd < 0) fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0 && raw != nullptr) {
        const ssize_t got = pread(fd, raw, span, static_cast<off_t>(first));
        if (got >= static_cast<ssize_t>(offset - first + bytes)) {
            out.resize(bytes);
            std::memcpy(out.data(), static_cast<std::uint8_t*>(raw) + (offset - first), bytes);
        }
    }
    if (fd >= 0) close(fd);
    std::free(raw);
    return out;
}
