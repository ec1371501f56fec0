#pragma once
// Simulated machine descriptions for the window tests.
#include <cstdint>
#include <string>
#include <vector>

namespace uitest {

// One value-page entry: id, worst value and the low 16 bits of the raw value.
struct Attr {
    int id;
    int worst;
    int raw;
};

struct DriveEntry {
    int number;
    std::uint64_t sectors;
    std::string model;
    std::vector<Attr> attributes;
    std::string extra;  // further keys, one per line
};

// A [Machine] section with the given version and fixed letters C.. for drives 0..last, then
// one section per drive.
std::string MachineText(const std::vector<DriveEntry>& drives, const std::string& version = "5.1");

}  // namespace uitest
