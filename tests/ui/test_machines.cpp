#include "test_machines.h"

#include <algorithm>

namespace uitest {

std::string MachineText(const std::vector<DriveEntry>& drives, const std::string& version) {
    int last = 0;
    for (const DriveEntry& drive : drives) last = std::max(last, drive.number);
    std::string text = "[Machine]\nVersion = " + version + "\nLetters =";
    for (int n = 0; n <= last; ++n) text += std::string(" ") + static_cast<char>('C' + n) + ":fixed";
    text += "\n";
    for (const DriveEntry& drive : drives) {
        text += "[Drive" + std::to_string(drive.number) + "]\n";
        text += "Sectors = " + std::to_string(drive.sectors) + "\n";
        text += "Model = " + drive.model + "\n";
        int slot = 0;
        for (const Attr& a : drive.attributes) {
            text += "Attribute." + std::to_string(slot++) + " = " + std::to_string(a.id) + ", 0x0022, 100, " +
                    std::to_string(a.worst) + ", " + std::to_string(a.raw & 0xFF) + " " +
                    std::to_string((a.raw >> 8) & 0xFF) + " 0 0 0 0\n";
        }
        text += drive.extra;
    }
    return text;
}

}  // namespace uitest
