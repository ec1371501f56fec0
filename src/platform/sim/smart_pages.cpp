#include "platform/sim/smart_pages.h"

#include <algorithm>
#include <string>

namespace platform::sim {
namespace {

void putWord(Page& page, std::size_t word, std::uint16_t value) {
    page[2 * word] = static_cast<std::uint8_t>(value & 0xFF);
    page[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Byte 511 makes the sum of all 512 bytes zero modulo 256, as the S.M.A.R.T. pages and the
// identify data's integrity word require.
void putChecksum(Page& page) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + page[i]);
    page[511] = static_cast<std::uint8_t>(0x100 - sum);
}

std::uint64_t largestDivisorUpTo(std::uint64_t value, std::uint64_t limit) {
    for (std::uint64_t d = limit; d > 1; --d) {
        if (value % d == 0) return d;
    }
    return 1;
}

}  // namespace

DriveGeometry geometryOf(const DriveSpec& drive) {
    if (drive.hasGeometry) return {drive.cylinders, drive.tracksPerCylinder, drive.sectorsPerTrack};
    if (drive.sectors == 0) return {0, 1, 1};
    const std::uint64_t perTrack = largestDivisorUpTo(drive.sectors, 63);
    const std::uint64_t tracks = largestDivisorUpTo(drive.sectors / perTrack, 255);
    return {static_cast<std::int64_t>(drive.sectors / perTrack / tracks), static_cast<DWORD>(tracks),
            static_cast<DWORD>(perTrack)};
}

void putAtaText(Page& page, std::size_t firstWord, std::size_t width, std::string_view text) {
    for (std::size_t i = 0; i < width; ++i) {
        const auto c = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
        // Character 2k goes to the word's high byte (the odd byte of the pair in memory).
        page[2 * firstWord + (i ^ 1)] = c;
    }
}

Page identifyPage(const DriveSpec& drive, const DriveGeometry& geometry) {
    Page page{};
    const std::uint64_t lba28 = std::min<std::uint64_t>(drive.sectors, 0x0FFFFFFF);
    const auto cylinders = static_cast<std::uint16_t>(std::clamp<std::int64_t>(geometry.cylinders, 0, 16383));
    const auto heads = static_cast<std::uint16_t>(std::min<DWORD>(geometry.tracksPerCylinder, 16));
    const auto perTrack = static_cast<std::uint16_t>(std::min<DWORD>(geometry.sectorsPerTrack, 63));
    putWord(page, 0, 0x0040);  // fixed, non-removable ATA device
    putWord(page, 1, cylinders);
    putWord(page, 3, heads);
    putWord(page, 6, perTrack);
    const std::string serial = reportedSerial(drive);
    putAtaText(page, 10, 20, serial);
    putAtaText(page, 23, 8, drive.firmware);
    putAtaText(page, 27, 40, drive.model);
    putWord(page, 47, 0x8010);  // up to 16 sectors per READ/WRITE MULTIPLE
    putWord(page, 49, 0x0300);  // LBA and DMA supported
    putWord(page, 53, 0x0007);  // words 54-58, 64-70 and 88 valid
    putWord(page, 54, cylinders);
    putWord(page, 55, heads);
    putWord(page, 56, perTrack);
    const std::uint64_t chs = std::uint64_t{cylinders} * heads * perTrack;
    putWord(page, 57, static_cast<std::uint16_t>(chs & 0xFFFF));
    putWord(page, 58, static_cast<std::uint16_t>((chs >> 16) & 0xFFFF));
    putWord(page, 60, static_cast<std::uint16_t>(lba28 & 0xFFFF));
    putWord(page, 61, static_cast<std::uint16_t>(lba28 >> 16));
    putWord(page, 80, 0x00FE);  // ATA/ATAPI-1 to 7
    putWord(page, 82, 0x4069);  // S.M.A.R.T., power management, write cache, look-ahead, NOP
    putWord(page, 83, 0x4400);  // 48-bit addressing
    // Bit 8 of words 84 and 87: words 108..111 hold the World Wide Name.
    const std::uint16_t wwnSupported = drive.wwn != 0 ? 0x0100 : 0;
    putWord(page, 84, static_cast<std::uint16_t>(0x4000 | wwnSupported));
    const bool smartEnabled = drive.smart == SmartSupport::Yes;
    putWord(page, 85, static_cast<std::uint16_t>(0x4068 | (smartEnabled ? 1 : 0)));
    putWord(page, 86, 0x0400);
    putWord(page, 87, static_cast<std::uint16_t>(0x4000 | wwnSupported));
    for (std::size_t i = 0; i < 4; ++i) {
        putWord(page, 100 + i, static_cast<std::uint16_t>((drive.sectors >> (16 * i)) & 0xFFFF));
    }
    for (std::size_t i = 0; i < 4; ++i)
        putWord(page, 108 + i, static_cast<std::uint16_t>((drive.wwn >> (48 - 16 * i)) & 0xFFFF));
    page[510] = 0xA5;  // integrity word signature; the checksum is its high byte
    putChecksum(page);
    return page;
}

Page valuePage(const DriveSpec& drive) {
    Page page{};
    putWord(page, 0, 0x0010);  // data structure revision
    for (std::size_t n = 0; n < drive.attributes.size(); ++n) {
        const AttributeSpec& a = drive.attributes[n];
        if (!a.present) continue;
        std::uint8_t* entry = page.data() + 2 + 12 * n;
        entry[0] = a.id;
        entry[1] = static_cast<std::uint8_t>(a.flags & 0xFF);
        entry[2] = static_cast<std::uint8_t>(a.flags >> 8);
        entry[3] = a.current;
        entry[4] = a.worst;
        std::copy(a.raw.begin(), a.raw.end(), entry + 5);
    }
    page[362] = 0x82;  // offline data collection completed without error
    page[368] = 0x03;  // offline collection capabilities
    page[370] = 0x03;  // S.M.A.R.T. capabilities: saves attributes over power cycles
    putChecksum(page);
    return page;
}

Page thresholdPage(const DriveSpec& drive) {
    Page page{};
    putWord(page, 0, 0x0010);
    for (std::size_t n = 0; n < drive.thresholds.size(); ++n) {
        const ThresholdSpec& t = drive.thresholds[n];
        if (!t.present) continue;
        page[2 + 12 * n] = t.id;
        page[3 + 12 * n] = t.threshold;
    }
    putChecksum(page);
    return page;
}

}  // namespace platform::sim
