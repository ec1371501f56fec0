// The simulated machine file. A refusal names the file and a line; an accepted machine keeps
// every drive within the simulation's limits, each drive number once.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/sim/machine_description.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::sim::MachineDescription machine;
    std::string error;
    const bool accepted = platform::sim::parseMachineDescription(text, "/machines", "fuzz.ini", machine, error);
    if (!accepted) {
        FUZZ_CHECK(error.rfind("fuzz.ini:", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(machine.drives.size() <= static_cast<std::size_t>(platform::sim::kMaxDrives));
    std::set<int> numbers;
    for (const platform::sim::DriveSpec& drive : machine.drives) {
        FUZZ_CHECK(numbers.insert(drive.number).second);
        FUZZ_CHECK(drive.number >= 0 && drive.number < platform::sim::kMaxDrives);
        FUZZ_CHECK(drive.sectors <= platform::sim::kMaxSectors);
    }
    for (const platform::sim::LetterSpec& letter : machine.letters) FUZZ_CHECK(letter.letter >= 'A' && letter.letter <= 'Z');
    return 0;
}
