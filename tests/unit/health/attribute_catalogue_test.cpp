// The catalogue as a user sees it: every id from 0 to 255, compared with the full expected table.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "health/attribute_catalogue.h"

namespace {

struct Text {
    int id;
    std::string_view text;
};

// The names, as the attribute list shows them.
constexpr Text kNames[] = {
    {1, "Read Error Rate"},
    {2, "Throughput Performance"},
    {3, "Spin-Up Time"},
    {4, "Start/Stop Count"},
    {5, "Reallocated Sectors Count"},
    {6, "Read Channel Margin"},
    {7, "Seek Error Rate"},
    {8, "Seek Time Performance"},
    {9, "Power-On Hours"},
    {10, "Spin Retry Count"},
    {11, "Recalibration Retries"},
    {12, "Power Cycle Count"},
    {13, "Soft Read Error Rate"},
    {183, "SATA Downshift Error Count"},
    {184, "End-to-End error"},
    {185, "Head Stability"},
    {186, "Induced Op-Vibration Detection"},
    {187, "Reported Uncorrectable Errors"},
    {188, "Command Timeout"},
    {189, "High Fly Writes"},
    {190, "Temperature Difference from 100"},
    {191, "G-sense error rate"},
    {192, "Power-off Retract Count"},
    {193, "Load Cycle Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocation Event Count"},
    {197, "Current Pending Sector Count"},
    {198, "Uncorrectable Sector Count"},
    {199, "UltraDMA CRC Error Count"},
    {200, "Write Error Rate"},
    {201, "Soft Read Error Rate"},
    {202, "Data Address Mark errors"},
    {203, "Run Out Cancel"},
    {204, "Soft ECC Correction"},
    {205, "Thermal Asperity Rate"},
    {206, "Flying Height"},
    {207, "Spin High Current"},
    {208, "Spin Buzz"},
    {209, "Offline Seek Performance"},
    {211, "Vibration During Write"},
    {212, "Shock During Write"},
    {220, "Disk Shift"},
    {221, "G-Sense Error Rate"},
    {222, "Loaded Hours"},
    {223, "Load/Unload Retry Count."},
    {224, "Load Friction."},
    {225, "Load/Unload Cycle Count"},
    {226, "Load 'In'-time"},
    {227, "Torque Amplification Count"},
    {228, "Power-Off Retract Cycle"},
    {230, "GMR Head Amplitude"},
    {231, "Temperature"},
    {240, "Head Flying Hours"},
    {241, "Total LBAs Written"},
    {242, "Total LBAs Read"},
    {250, "Read Error Retry Rate"},
    {254, "Free Fall Protection"},
};

// The descriptions, as the information list shows them (Windows-1252 bytes).
constexpr Text kDescriptions[] = {
    {1, "Indicates the rate of hardware read errors that occurred when reading data from a disk surface."},
    {2, "Overall throughput performance of a hard disk drive."},
    {3, "Average time of spindle spin up (from zero RPM to fully operational [millisecs])."},
    {4, "Count of spindle start/stop cycles."},
    {5, "Count of reallocated sectors. When the hard drive finds a read/write/verification error it marks this sector as reallocated."},
    {6, "Margin of a channel while reading data. The function of this attribute is not specified."},
    {7, "Count of seek errors. If there is a partial failure in the mechanical positioning system, then seek errors will arise. "},
    {8, "Average performance of seek operations of the magnetic heads. If this attribute is decreasing, it is a sign of problems in the mechanical subsystem."},
    {9, "Count of hours in power-on state. "},
    {10, "Count of retry of spin start attempts. This attribute stores a total count of the spin start attempts to reach the fully operational speed (under the condition that the first attempt was unsuccessful)."},
    {11, "This attribute indicates the number of times recalibration was requested (under the condition that the first attempt was unsuccessful)."},
    {12, "This attribute indicates the count of full hard disk power on/off cycles."},
    {13, "Uncorrected read errors reported to the operating system."},
    {183, "Western Digital and Samsung attribute."},
    {184, "This attribute is a part of HP's SMART IV technology and it means that after transferring through the cache RAM data buffer the parity data between the host and the hard drive did not match."},
    {185, "Western Digital attribute."},
    {186, "Western Digital attribute."},
    {187, "A number of errors that could not be recovered using hardware ECC"},
    {188, "A number of aborted operations due to HDD timeout."},
    {189, "HDD producers implement a Fly Height Monitor that attempts to provide additional protections for write operations by detecting when a recording head is flying outside its normal operating range."},
    {190, "Airflow temperature. "},
    {191, "The number of errors resulting from externally-induced shock & vibration."},
    {192, "Number of times the heads are loaded off the media. Heads can be unloaded without actually powering off."},
    {193, "Count of load/unload cycles into head landing zone position.."},
    {194, "Current internal temperature."},
    {195, "Time between ECC-corrected errors or number of ECC on-the-fly errors."},
    {196, "Count of remap operations. The raw value of this attribute shows the total number of attempts to transfer data from reallocated sectors to a spare area. Both successful & unsuccessful attempts are counted."},
    {197, "Number of unstable sectors (waiting to be remapped, because of read errors). If an unstable sector is subsequently written or read successfully, this value is decreased and the sector is not remapped. "},
    {198, "The total number of uncorrectable errors when reading/writing a sector."},
    {199, "The number of errors in data transfer via the interface cable as determined by ICRC."},
    {200, "The total number of errors when writing a sector."},
    {201, "Number of off-track errors."},
    {202, "Number of Data Address Mark errors."},
    {203, "Number of ECC errors"},
    {204, "Number of errors corrected by software ECC"},
    {205, "Number of errors due to high temperaure."},
    {206, "Height of heads above the disk surface. A flying height that's too low increases the chances of a head crash while a flying height that's too high increases the chances of a read/write error."},
    {207, "Amount of surge current used to spin up the drive."},
    {208, "Number of buzz routines needed to spin up the drive due to insufficient power."},
    {209, "Drive\x92s seek performance during its internal tests."},
    {211, "Vibration During Write"},
    {212, "Shock During Write"},
    {220, "Distance the disk has shifted relative to the spindle (usually due to shock or temperature)."},
    {221, "The number of errors resulting from externally-induced shock & vibration."},
    {222, "Time spent operating under data load (movement of magnetic head armature"},
    {223, "Number of times head changes position."},
    {224, "Resistance caused by friction in mechanical parts while operating."},
    {225, "Total number of load cycles"},
    {226, "Total time of loading on the magnetic heads actuator (time not spent in parking area)."},
    {227, "Number of attempts to compensate for platter speed variations."},
    {228, "The number of times the magnetic armature was retracted automatically as a result of cutting power."},
    {230, "Amplitude of 'thrashing' (distance of repetitive forward/reverse head motion"},
    {231, "Drive Temperature"},
    {240, "Time while head is positioning."},
    {241, "Western Digital attribute"},
    {242, "Western Digital attribute"},
    {250, "Number of errors while reading from a disk."},
    {254, "Number of 'Free Fall Events' detected"},
};

constexpr std::string_view kFallbackName = "Unknown attribute";
constexpr std::string_view kFallbackDescription = "Unknown S.M.A.R.T. detail";

std::map<int, std::string_view> ToMap(const Text* begin, const Text* end) {
    std::map<int, std::string_view> map;
    for (const Text* t = begin; t != end; ++t) map.emplace(t->id, t->text);
    return map;
}

const std::map<int, std::string_view>& ExpectedNames() {
    static const auto map = ToMap(std::begin(kNames), std::end(kNames));
    return map;
}

const std::map<int, std::string_view>& ExpectedDescriptions() {
    static const auto map = ToMap(std::begin(kDescriptions), std::end(kDescriptions));
    return map;
}

std::string_view Expected(const std::map<int, std::string_view>& table, int id, std::string_view fallback) {
    auto found = table.find(id);
    return found == table.end() ? fallback : found->second;
}

health::AttributeCatalogue Built() {
    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();
    return catalogue;
}

TEST(AttributeCatalogue, ExpectedTableHasTheKnownIdsOnce) {
    ASSERT_EQ(ExpectedNames().size(), 58u);
    ASSERT_EQ(ExpectedDescriptions().size(), 58u);
    std::set<int> known;
    for (int id = 1; id <= 13; ++id) known.insert(id);
    for (int id = 183; id <= 209; ++id) known.insert(id);
    for (int id : {211, 212, 230, 231, 240, 241, 242, 250, 254}) known.insert(id);
    for (int id = 220; id <= 228; ++id) known.insert(id);
    std::set<int> named, described;
    for (const auto& [id, text] : ExpectedNames()) named.insert(id);
    for (const auto& [id, text] : ExpectedDescriptions()) described.insert(id);
    EXPECT_EQ(named, known);
    EXPECT_EQ(described, known);
}

TEST(AttributeCatalogue, EveryIdMatchesTheExpectedTable) {
    const health::AttributeCatalogue catalogue = Built();
    for (int id = 0; id <= 255; ++id) {
        const auto byte = static_cast<std::uint8_t>(id);
        EXPECT_EQ(catalogue.AttributeName(byte), Expected(ExpectedNames(), id, kFallbackName)) << "id " << id;
        EXPECT_EQ(catalogue.AttributeDescription(byte), Expected(ExpectedDescriptions(), id, kFallbackDescription))
            << "id " << id;
        // Every text fits a 300-byte entry with its terminator; 196 is the longest.
        EXPECT_LE(catalogue.AttributeDescription(byte).size(), 205u);
    }
    EXPECT_EQ(catalogue.AttributeDescription(196).size(), 205u);
    EXPECT_EQ(static_cast<unsigned char>(catalogue.AttributeDescription(209)[5]), 0x92u);
}

TEST(AttributeCatalogue, NamesAndDescriptionsNeverMixBetweenIds) {
    const health::AttributeCatalogue catalogue = Built();
    // A name is never another id's description, and only the rows whose description repeats
    // their own name (211, 212) have equal texts.
    std::set<std::string_view> descriptions;
    for (int id = 0; id <= 255; ++id) descriptions.insert(catalogue.AttributeDescription(static_cast<std::uint8_t>(id)));
    for (int id = 0; id <= 255; ++id) {
        const auto byte = static_cast<std::uint8_t>(id);
        const std::string_view name = catalogue.AttributeName(byte);
        if (id == 211 || id == 212) {
            EXPECT_EQ(name, catalogue.AttributeDescription(byte));
        } else {
            EXPECT_EQ(descriptions.count(name), 0u) << "id " << id << " name " << name;
        }
    }
    // Only the documented pairs share a description.
    std::map<std::string_view, std::set<int>> owners;
    for (int id = 1; id <= 255; ++id) {
        if (ExpectedDescriptions().count(id)) owners[catalogue.AttributeDescription(static_cast<std::uint8_t>(id))].insert(id);
    }
    for (const auto& [text, ids] : owners) {
        if (ids.size() > 1) {
            EXPECT_TRUE((ids == std::set<int>{185, 186}) || (ids == std::set<int>{191, 221}) ||
                        (ids == std::set<int>{241, 242}))
                << text;
        }
    }
}

TEST(AttributeCatalogue, FallbacksBeforeBuildingAndStableAfterRebuilding) {
    health::AttributeCatalogue catalogue;
    for (int id = 0; id <= 255; ++id) {
        EXPECT_EQ(catalogue.AttributeName(static_cast<std::uint8_t>(id)), kFallbackName);
        EXPECT_EQ(catalogue.AttributeDescription(static_cast<std::uint8_t>(id)), kFallbackDescription);
    }
    catalogue.BuildCatalogue();
    catalogue.BuildCatalogue();
    EXPECT_EQ(catalogue.AttributeName(210), kFallbackName);
    EXPECT_EQ(catalogue.AttributeDescription(210), kFallbackDescription);
    EXPECT_EQ(catalogue.AttributeName(5), "Reallocated Sectors Count");
    EXPECT_EQ(catalogue.AttributeName(0), kFallbackName);
    EXPECT_EQ(catalogue.AttributeDescription(0), kFallbackDescription);
}

}  // namespace
