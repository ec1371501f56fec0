#include "platform/sim/sector_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace platform::sim {
namespace {

constexpr std::uint64_t kChunkBytes = 64 * 1024;
using Chunk = std::array<std::uint8_t, kChunkBytes>;

class MemoryStore final : public SectorStore {
  public:
    bool read(std::uint64_t lba, std::uint64_t count, std::uint8_t* out) override {
        std::uint64_t offset = lba * kSectorBytes;
        std::uint64_t remaining = count * kSectorBytes;
        while (remaining > 0) {
            const std::uint64_t inChunk = offset % kChunkBytes;
            const std::uint64_t piece = std::min(remaining, kChunkBytes - inChunk);
            const auto found = chunks_.find(offset / kChunkBytes);
            if (found == chunks_.end()) {
                std::memset(out, 0, piece);
            } else {
                std::memcpy(out, found->second->data() + inChunk, piece);
            }
            out += piece, offset += piece, remaining -= piece;
        }
        return true;
    }

    bool write(std::uint64_t lba, std::uint64_t count, const std::uint8_t* data) override {
        std::uint64_t offset = lba * kSectorBytes;
        std::uint64_t remaining = count * kSectorBytes;
        while (remaining > 0) {
            const std::uint64_t inChunk = offset % kChunkBytes;
            const std::uint64_t piece = std::min(remaining, kChunkBytes - inChunk);
            auto found = chunks_.find(offset / kChunkBytes);
            if (found == chunks_.end()) {
                // Zeros over an untouched chunk change nothing: the repair's zero passes over a
                // huge drive then cost no memory.
                const bool allZero = std::all_of(data, data + piece, [](std::uint8_t b) { return b == 0; });
                if (!allZero) {
                    auto chunk = std::make_unique<Chunk>();
                    chunk->fill(0);
                    found = chunks_.emplace(offset / kChunkBytes, std::move(chunk)).first;
                }
            }
            if (found != chunks_.end()) std::memcpy(found->second->data() + inChunk, data, piece);
            data += piece, offset += piece, remaining -= piece;
        }
        return true;
    }

  private:
    std::unordered_map<std::uint64_t, std::unique_ptr<Chunk>> chunks_;
};

class ImageStore final : public SectorStore {
  public:
    explicit ImageStore(int fd) : fd_(fd) {}
    ~ImageStore() override { ::close(fd_); }

    bool read(std::uint64_t lba, std::uint64_t count, std::uint8_t* out) override {
        std::uint64_t offset = lba * kSectorBytes;
        std::uint64_t remaining = count * kSectorBytes;
        while (remaining > 0) {
            const ssize_t n =
                ::pread(fd_, out, std::min<std::uint64_t>(remaining, 1u << 30), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) {  // the image was shortened behind our back: what is missing reads as zeros
                std::memset(out, 0, remaining);
                return true;
            }
            out += n, offset += static_cast<std::uint64_t>(n), remaining -= static_cast<std::uint64_t>(n);
        }
        return true;
    }

    bool write(std::uint64_t lba, std::uint64_t count, const std::uint8_t* data) override {
        std::uint64_t offset = lba * kSectorBytes;
        std::uint64_t remaining = count * kSectorBytes;
        while (remaining > 0) {
            const ssize_t n =
                ::pwrite(fd_, data, std::min<std::uint64_t>(remaining, 1u << 30), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n, offset += static_cast<std::uint64_t>(n), remaining -= static_cast<std::uint64_t>(n);
        }
        return true;
    }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<SectorStore> makeMemoryStore() {
    return std::make_unique<MemoryStore>();
}

std::unique_ptr<SectorStore> makeImageStore(const std::string& path, std::uint64_t sectors,
                                            std::string& error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open the image " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "the image " + path + " is not a regular file";
        ::close(fd);
        return nullptr;
    }
    const std::uint64_t bytes = sectors * kSectorBytes;
    if (static_cast<std::uint64_t>(info.st_size) < bytes && ::ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        error = "cannot grow the image " + path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<ImageStore>(fd);
}

}  // namespace platform::sim
