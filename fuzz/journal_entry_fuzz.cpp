// The repair journal entry decoder. The first input byte chooses how the rest is taken: as a
// whole entry, or as an entry without its checksum, which is then appended, so inputs get past
// the CRC and reach every field. An accepted entry has sizes within bounds and encodes back to
// exactly the bytes it was decoded from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "scan/journal_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if ((data[0] & 1) != 0) {
        const std::uint32_t crc = scan::Crc32(bytes.data(), bytes.size());
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    }
    scan::DecodedEntry entry;
    std::int64_t lba = 0;
    std::string reason;
    if (!scan::DecodeEntry(bytes, entry, lba, reason)) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    FUZZ_CHECK(entry.block.lba == lba && lba >= 0);
    FUZZ_CHECK(entry.block.sectors <= scan::kBlockSectors);
    FUZZ_CHECK(!entry.identity.empty() && entry.identity.size() <= scan::kMaxIdentityBytes);
    FUZZ_CHECK(entry.content.size() == std::size_t{entry.block.sectors} * 512);
    for (std::size_t i = entry.block.sectors; i < scan::kBlockSectors; ++i) FUZZ_CHECK(!entry.block.readable[i]);

    const auto out = std::make_unique<unsigned char[]>(scan::kMaxEntryBytes);
    const std::size_t length = scan::EncodeEntry(entry.identity, entry.block, entry.content.data(), out.get());
    FUZZ_CHECK(length == bytes.size());
    FUZZ_CHECK(std::equal(bytes.begin(), bytes.end(), out.get()));
    return 0;
}
