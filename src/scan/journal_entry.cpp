#include "scan/journal_entry.h"

#include <cstring>

namespace scan {
namespace {

constexpr char kMagic[8] = {'V', 'A', 'R', 'I', 'M', 'R', 'J', '1'};
constexpr char kWideMagic[8] = {'V', 'A', 'R', 'I', 'M', 'R', 'J', '2'};

// The sector flags and header of a layout: 100 sectors, or kMaxEntrySectors for the wide one.
std::size_t FlagCount(bool wide) { return wide ? kMaxEntrySectors : kBlockSectors; }
std::size_t HeaderBytes(bool wide) { return 32 + FlagCount(wide); }

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

void Put32(unsigned char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
void Put64(unsigned char* at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
std::uint32_t Get32(const unsigned char* at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}
std::uint64_t Get64(const unsigned char* at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

}  // namespace

std::uint32_t Crc32(const unsigned char* data, std::size_t bytes, std::uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < bytes; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::size_t EncodeEntry(std::string_view identity, const EntryBlock& block, const unsigned char* content,
                        unsigned char* out) {
    if (identity.empty() || identity.size() > kMaxIdentityBytes || block.sectors == 0 || block.sectors > kMaxEntrySectors)
        return 0;
    const bool wide = block.sectors > kBlockSectors;
    const std::size_t header = HeaderBytes(wide);
    const std::size_t contentBytes = std::size_t{block.sectors} * 512;
    const std::size_t length = header + identity.size() + contentBytes + 4;
    std::memcpy(out, wide ? kWideMagic : kMagic, sizeof kMagic);
    Put32(out + 8, static_cast<std::uint32_t>(length));
    Put32(out + 12, static_cast<std::uint32_t>(block.driveNumber));
    Put64(out + 16, static_cast<std::uint64_t>(block.lba));
    Put32(out + 24, block.sectors);
    Put32(out + 28, static_cast<std::uint32_t>(identity.size()));
    for (std::size_t i = 0; i < FlagCount(wide); ++i) out[32 + i] = block.readable[i] ? 1 : 0;
    std::memcpy(out + header, identity.data(), identity.size());
    std::memcpy(out + header + identity.size(), content, contentBytes);
    Put32(out + length - 4, Crc32(out, length - 4));
    return length;
}

bool DecodeEntry(const std::vector<std::uint8_t>& bytes, DecodedEntry& entry, std::int64_t& lbaHint,
                 std::string& reason) {
    lbaHint = -1;
    const unsigned char* data = bytes.data();
    const bool wide = bytes.size() >= 28 && std::memcmp(data, kWideMagic, sizeof kWideMagic) == 0;
    if (bytes.size() < 28 || (!wide && std::memcmp(data, kMagic, sizeof kMagic) != 0)) {
        reason = "the entry is damaged (not a repair journal entry, or cut short)";
        return false;
    }
    lbaHint = static_cast<std::int64_t>(Get64(data + 16));
    const std::size_t header = HeaderBytes(wide);
    if (bytes.size() < header + 4 || Get32(data + 8) != bytes.size()) {
        reason = "the entry is damaged (cut short)";
        return false;
    }
    const std::uint32_t sectors = Get32(data + 24);
    const std::uint32_t identityBytes = Get32(data + 28);
    if (sectors == 0 || sectors > FlagCount(wide) || identityBytes == 0 || identityBytes > kMaxIdentityBytes ||
        bytes.size() != header + identityBytes + std::size_t{sectors} * 512 + 4) {
        reason = "the entry is damaged (its sizes do not add up)";
        return false;
    }
    if (Crc32(data, bytes.size() - 4) != Get32(data + bytes.size() - 4)) {
        reason = "the entry is damaged (checksum mismatch)";
        return false;
    }
    // Flags are 0 or 1 and none is set past the block's sectors, and the block starts at a
    // sector a drive can have: anything else was never written by EncodeEntry.
    for (std::size_t i = 0; i < FlagCount(wide); ++i) {
        if (data[32 + i] > 1 || (i >= sectors && data[32 + i] != 0)) {
            reason = "the entry is damaged (its sector flags are not valid)";
            return false;
        }
    }
    if (lbaHint < 0) {
        reason = "the entry is damaged (its first sector is out of range)";
        return false;
    }
    entry.block.driveNumber = static_cast<int>(Get32(data + 12));
    entry.block.lba = lbaHint;
    entry.block.sectors = sectors;
    entry.block.readable.fill(false);
    for (std::size_t i = 0; i < FlagCount(wide); ++i) entry.block.readable[i] = data[32 + i] != 0;
    entry.identity.assign(reinterpret_cast<const char*>(data + header), identityBytes);
    const unsigned char* content = data + header + identityBytes;
    entry.content.assign(content, content + std::size_t{sectors} * 512);
    return true;
}

}  // namespace scan
