#pragma once
// Where a simulated drive keeps its sectors: sparse memory (all zero at start) or an image
// file (created sparse). Both move whole sectors and never look at faults.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/limits.h"

namespace platform::sim {

inline constexpr std::uint32_t kSectorBytes = platform::kSectorBytes;

class SectorStore {
  public:
    virtual ~SectorStore() = default;
    // Copies count sectors from lba into out (count * 512 bytes); false on an I/O failure.
    virtual bool read(std::uint64_t lba, std::uint64_t count, std::uint8_t* out) = 0;
    // Stores count sectors at lba from data; false on an I/O failure.
    virtual bool write(std::uint64_t lba, std::uint64_t count, const std::uint8_t* data) = 0;
};

// Memory in 64 KiB chunks allocated on the first non-zero write, so a drive of billions of
// sectors costs only what was written.
std::unique_ptr<SectorStore> makeMemoryStore();
// An image file of at least sectors * 512 bytes, created or grown sparse. Returns nothing and
// sets error when the file cannot be opened or sized.
std::unique_ptr<SectorStore> makeImageStore(const std::string& path, std::uint64_t sectors,
                                            std::string& error);

}  // namespace platform::sim
