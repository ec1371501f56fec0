#include "scan/transfer_batch.h"

#include <cstdlib>

#include "scan/scan_buffers.h"

namespace scan {
namespace {

constexpr std::size_t kAlignment = 4096;

}  // namespace

bool ParseTransferMib(std::string_view text, std::uint32_t& mib) {
    if (text.empty()) return false;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > kLargestTransferMib) return false;
    }
    mib = value;
    return true;
}

std::uint32_t BatchBlocksFor(std::uint32_t mib) {
    if (mib == 0) return 0;
    // Whole groups of 8 blocks (409,600 bytes, a multiple of 4096): every batch then starts and
    // ends on a 4096-byte boundary counted from the scan's start, so a drive with 4096-byte
    // sectors never sees a batch cut one of them. 1 MiB already holds two groups.
    const std::uint64_t blocks = std::uint64_t{mib} * 1024 * 1024 / kBlockBytes;
    return static_cast<std::uint32_t>(blocks / kBatchGroupBlocks * kBatchGroupBlocks);
}

BatchBuffers::BatchBuffers(std::uint32_t blocks) {
    if (blocks == 0) return;
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t bytes = (std::size_t{blocks} * kBlockBytes + kAlignment - 1) / kAlignment * kAlignment;
    content_ = static_cast<unsigned char*>(std::aligned_alloc(kAlignment, bytes));
    verify_ = static_cast<unsigned char*>(std::aligned_alloc(kAlignment, bytes));
    if (content_ && verify_) {
        blocks_ = blocks;
        return;
    }
    std::free(content_);
    std::free(verify_);
    content_ = verify_ = nullptr;
}

BatchBuffers::~BatchBuffers() {
    std::free(content_);
    std::free(verify_);
}

}  // namespace scan
