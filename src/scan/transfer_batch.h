#pragma once
// Large transfers: a batch of whole blocks read, written back and re-read at once, then judged
// block by block. The batch buffers are allocated once per scan, before its block loop.
#include <cstdint>
#include <string_view>

namespace scan {

// The largest transfer size a user may ask for: two buffers of it are held during a scan.
inline constexpr std::uint32_t kLargestTransferMib = 256;

// Parses a transfer size in MiB: decimal digits only, 0 to kLargestTransferMib.
bool ParseTransferMib(std::string_view text, std::uint32_t& mib);

// Batches hold whole groups of this many blocks.
inline constexpr std::uint32_t kBatchGroupBlocks = 8;

// 100-sector blocks in a transfer of `mib` MiB, rounded down to whole groups of 8; 0 for 0.
std::uint32_t BatchBlocksFor(std::uint32_t mib);

class BatchBuffers {
public:
    // Room for `blocks` blocks, aligned for direct I/O. When the memory cannot be had, blocks()
    // is 0 and the scan transfers block by block.
    explicit BatchBuffers(std::uint32_t blocks);
    ~BatchBuffers();
    BatchBuffers(const BatchBuffers&) = delete;
    BatchBuffers& operator=(const BatchBuffers&) = delete;

    // How many blocks each buffer holds (0: no batches).
    std::uint32_t blocks() const { return blocks_; }
    // The batch as read and written back; then its re-read, compared block by block.
    unsigned char* content() { return content_; }
    unsigned char* verify() { return verify_; }

private:
    std::uint32_t blocks_ = 0;
    unsigned char* content_ = nullptr;
    unsigned char* verify_ = nullptr;
};

}  // namespace scan
