#pragma once
// The one store of drive data: 32 drive records, the enumeration counters, the index from
// (drive, attribute id) to an attribute and the attribute settings.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "disk/nvme_health.h"
#include "health/attribute_settings.h"
#include "platform/win_types.h"

namespace disk {

inline constexpr int kDriveSlots = 32;
inline constexpr int kMaxAttributes = 30;

struct SmartAttribute {
    std::uint8_t id = 0;
    std::uint32_t raw = 0;  // low 16 bits of the raw field, as the panels and the grid show it
    std::uint8_t current = 0;
    std::uint8_t worst = 0;
    std::int32_t threshold = -1;  // -1 until a threshold page paired it
    std::array<std::uint8_t, 6> rawBytes{};  // the whole raw field, least significant byte first

    // The whole raw field as one 48-bit number.
    std::uint64_t RawValue() const {
        std::uint64_t value = 0;
        for (int i = 5; i >= 0; --i) value = (value << 8) | rawBytes[static_cast<std::size_t>(i)];
        return value;
    }
};

// Offsets and widths of the decoded identify texts.
inline constexpr int kSerialOffset = 20, kSerialWidth = 20;
inline constexpr int kFirmwareOffset = 46, kFirmwareWidth = 8;
inline constexpr int kModelOffset = 54, kModelWidth = 40;

// How the drive's health was read: ATA S.M.A.R.T. commands, or the NVMe health log.
enum class Transport : std::uint8_t { Ata, Nvme };

struct PhysicalDrive {
    platform::GETVERSIONINPARAMS versionInfo{};
    std::uint8_t identify[256]{};
    std::array<SmartAttribute, kMaxAttributes> attributes{};
    std::uint8_t attributeCount = 0;
    std::uint8_t number = 0;
    std::string errorText;
    Transport transport = Transport::Ata;
    // NVMe drives only: the health log of the last probe, valid when nvmeHealthRead.
    bool nvmeHealthRead = false;
    NvmeHealth nvme{};
    // NVMe drives only: the warning and critical composite temperature thresholds from
    // Identify Controller (WCTEMP, CCTEMP) in Kelvin; 0 where the drive reports none.
    std::uint16_t nvmeWarningKelvin = 0;
    std::uint16_t nvmeCriticalKelvin = 0;

    // Decoded identify texts, each at most its width, ending at the first zero byte.
    std::string_view model() const;
    std::string_view serial() const;
    std::string_view firmware() const;
};

class DriveTable {
public:
    // Empty records and counters; loads the attribute settings file of this executable
    // (SettingsPathFor).
    explicit DriveTable(const std::string& executablePath);

    // Record n (0..31; the caller keeps n in range).
    PhysicalDrive& DriveAt(int n) { return drives_[static_cast<std::size_t>(n)]; }
    const PhysicalDrive& DriveAt(int n) const { return drives_[static_cast<std::size_t>(n)]; }
    // The attribute of drive n with this id through the index (the later one when a page
    // lists an id twice), or nullptr.
    const SmartAttribute* FindAttribute(int n, std::uint8_t id) const;
    SmartAttribute* FindAttribute(int n, std::uint8_t id);
    // Points key n*65536+id at slot of drive n (repointing an existing key); ignores a drive
    // number or slot out of range.
    void IndexAttribute(int n, std::uint8_t id, int slot);
    // Empties the whole index.
    void ClearIndex();
    // Removes drive n's index entries.
    void ClearIndexOf(int n);

    std::uint8_t drivesRead = 0;
    std::uint8_t fixedLettersSeen = 0;

    // Whether drive n's probe succeeded in the last enumeration (false for n out of range).
    bool ProbedInLastEnumeration(int n) const {
        return n >= 0 && n < kDriveSlots && probed_[static_cast<std::size_t>(n)];
    }
    // Records drive n's probe result for this enumeration; ignores n out of range.
    void SetProbed(int n, bool probed) {
        if (n >= 0 && n < kDriveSlots) probed_[static_cast<std::size_t>(n)] = probed;
    }
    // Forgets every probe result (the start of an enumeration).
    void ClearProbed() { probed_.fill(false); }

    // The attribute settings loaded at construction.
    const health::AttributeSettings& settings() const { return settings_; }

private:
    std::array<PhysicalDrive, kDriveSlots> drives_{};
    std::array<bool, kDriveSlots> probed_{};
    // key n*65536+id -> slot in drive n's attributes (a slot, not a pointer, so copies stay valid)
    std::map<std::uint32_t, std::uint8_t> attributeIndex_;
    health::AttributeSettings settings_;
};

// The drive's World Wide Name from IDENTIFY words 108..111 (the first 256 bytes of the data),
// when the drive says it reports one; 0 otherwise.
std::uint64_t AtaWorldWideName(const std::uint8_t* identify);

// Decodes one ATA identify text in place: byte pairs swapped, whitespace trimmed, written back
// from the field's start with a terminator when shorter than width.
void DecodeIdentifyText(std::uint8_t* field, int width);

}  // namespace disk
