#pragma once
// One repair journal entry as bytes: which disk, which block, which of its sectors were read,
// their content, and a CRC-32 over all of it, so a damaged entry is recognised and never
// written to a drive.
//
// Layout (integers little-endian):
//   0   8 bytes  "VARIMRJ1", or "VARIMRJ2" for more than 100 sectors
//   8   u32      length of the whole entry, checksum included
//   12  i32      drive number when it was written (for messages only)
//   16  u64      first sector of the block
//   24  u32      sector count (1 to 100; "VARIMRJ2": 1 to kMaxEntrySectors)
//   28  u32      identity length (at most kMaxIdentityBytes)
//   32  F x u8   1 where the sector's content was read, 0 where it could not be (F: 100;
//                "VARIMRJ2": kMaxEntrySectors)
//   32+F         identity text, then sector count x 512 bytes of content
//   end-4 u32    CRC-32 (IEEE) of every byte before it
// A repair that covers whole physical sectors reaching into the neighbouring blocks writes
// more than a block; its entry takes the second layout. Entries of 100 sectors or fewer keep
// the first, so they read the same as before.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_buffers.h"

namespace scan {

inline constexpr std::size_t kMaxIdentityBytes = 512;
inline constexpr std::size_t kEntryHeaderBytes = 132;
inline constexpr std::uint32_t kMaxEntrySectors = kWideSectors;
inline constexpr std::size_t kWideEntryHeaderBytes = 32 + kMaxEntrySectors;
inline constexpr std::size_t kMaxEntryBytes = kWideEntryHeaderBytes + kMaxIdentityBytes + kMaxEntrySectors * 512 + 4;

struct EntryBlock {
    int driveNumber = 0;
    std::int64_t lba = 0;
    std::uint32_t sectors = 0;
    std::array<bool, kMaxEntrySectors> readable{};
};

// Writes the entry into out (kMaxEntryBytes long) and returns its length; 0 when the identity
// is empty or too long, or there are no sectors or more than kMaxEntrySectors. Allocates nothing.
std::size_t EncodeEntry(std::string_view identity, const EntryBlock& block, const unsigned char* content,
                        unsigned char* out);

struct DecodedEntry {
    std::string identity;
    EntryBlock block;
    std::vector<unsigned char> content;  // sectors x 512 bytes
};

// Reads an entry; false with a reason when it is truncated, not an entry, fails its checksum or
// holds a field EncodeEntry never writes (a flag other than 0 or 1, a flag past the block's
// sectors, a first sector above INT64_MAX).
// lbaHint is the block's first sector when the header is there to say it, else -1 (for reports).
bool DecodeEntry(const std::vector<std::uint8_t>& bytes, DecodedEntry& entry, std::int64_t& lbaHint,
                 std::string& reason);

// CRC-32 as zlib and PNG compute it.
std::uint32_t Crc32(const unsigned char* data, std::size_t bytes, std::uint32_t crc = 0);

}  // namespace scan
