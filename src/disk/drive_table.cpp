#include "disk/drive_table.h"

#include <cstring>

namespace disk {

namespace {

constexpr std::uint32_t KeyOf(int n, std::uint8_t id) { return static_cast<std::uint32_t>(n) * 65536u + id; }

bool ValidDrive(int n) { return n >= 0 && n < kDriveSlots; }

// The text at the start of an identify field: up to the first zero byte, at most width bytes.
std::string_view FieldText(const std::uint8_t* identify, int offset, int width) {
    const char* start = reinterpret_cast<const char*>(identify + offset);
    const void* zero = std::memchr(start, 0, static_cast<std::size_t>(width));
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - start)
                                    : static_cast<std::size_t>(width);
    return std::string_view(start, length);
}

bool IsTrimmedSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::string_view PhysicalDrive::model() const { return FieldText(identify, kModelOffset, kModelWidth); }

std::string_view PhysicalDrive::serial() const { return FieldText(identify, kSerialOffset, kSerialWidth); }

std::string_view PhysicalDrive::firmware() const { return FieldText(identify, kFirmwareOffset, kFirmwareWidth); }

DriveTable::DriveTable(const std::string& executablePath) {
    health::LoadAttributeSettings(settings_, executablePath);
}

const SmartAttribute* DriveTable::FindAttribute(int n, std::uint8_t id) const {
    if (!ValidDrive(n)) return nullptr;
    auto found = attributeIndex_.find(KeyOf(n, id));
    if (found == attributeIndex_.end()) return nullptr;
    return &drives_[static_cast<std::size_t>(n)].attributes[found->second];
}

SmartAttribute* DriveTable::FindAttribute(int n, std::uint8_t id) {
    return const_cast<SmartAttribute*>(static_cast<const DriveTable&>(*this).FindAttribute(n, id));
}

void DriveTable::IndexAttribute(int n, std::uint8_t id, int slot) {
    if (!ValidDrive(n) || slot < 0 || slot >= kMaxAttributes) return;
    attributeIndex_[KeyOf(n, id)] = static_cast<std::uint8_t>(slot);
}

void DriveTable::ClearIndex() { attributeIndex_.clear(); }

void DriveTable::ClearIndexOf(int n) {
    if (!ValidDrive(n)) return;
    attributeIndex_.erase(attributeIndex_.lower_bound(KeyOf(n, 0)), attributeIndex_.lower_bound(KeyOf(n + 1, 0)));
}

void DecodeIdentifyText(std::uint8_t* field, int width) {
    if (field == nullptr || width <= 0) return;
    if (width > 256) width = 256;
    // ATA strings carry two characters per little-endian word, the first in the high byte.
    // An odd width leaves its last byte unpaired; it is dropped rather than read past the field.
    std::uint8_t buffer[257] = {};
    for (int k = 0; 2 * k + 1 < width; ++k) {
        buffer[2 * k] = field[2 * k + 1];
        buffer[2 * k + 1] = field[2 * k];
    }
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(buffer));
    std::size_t first = 0;
    while (first < length && IsTrimmedSpace(buffer[first])) ++first;
    std::size_t last = length;
    while (last > first && IsTrimmedSpace(buffer[last - 1])) --last;

    const std::size_t size = static_cast<std::size_t>(width);
    const std::size_t textLength = last - first;
    std::memmove(field, buffer + first, textLength < size ? textLength : size);
    if (textLength < size) std::memset(field + textLength, 0, size - textLength);
}

}  // namespace disk

namespace disk {

std::uint64_t AtaWorldWideName(const std::uint8_t* identify) {
    const auto word = [identify](int n) {
        return static_cast<std::uint64_t>(identify[2 * n] | (identify[2 * n + 1] << 8));
    };
    // Words 84 and 87 each carry a "WWN supported" bit (8), valid when bits 15:14 read 01.
    const auto says = [&](int n) { return (word(n) & 0xC100) == 0x4100; };
    if (!says(84) && !says(87)) return 0;
    return (word(108) << 48) | (word(109) << 32) | (word(110) << 16) | word(111);
}

}  // namespace disk
