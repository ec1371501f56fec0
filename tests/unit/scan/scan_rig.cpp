#include "scan_rig.h"

#include <gtest/gtest.h>

#include "platform/win_types.h"

namespace scantest {

ScanRig::ScanRig(const std::string& driveKeys, std::uint64_t sectors) {
    const std::string text = "[Drive0]\nSectors = " + std::to_string(sectors) + "\nModel = " + model + "\n" + driveKeys;
    std::string error;
    kernel = platform::sim::SimulatedKernel::fromText(text, ".", "test.ini", error);
    if (!kernel) {
        ADD_FAILURE() << "machine refused: " << error;
        kernel = platform::sim::SimulatedKernel::fromText("[Drive0]\nSectors = 1000\n", ".", "test.ini", error);
    }
    drives = std::make_unique<disk::DriveAccess>(*kernel);
    engine = std::make_unique<scan::ScanEngine>(*drives, surface, clock, state,
                                                [this](int n) { return n == 0 ? model : std::string(); });
    session = std::make_unique<scan::ScanSession>(surface, state);
}

scan::ScanOutcome ScanRig::Run(const std::string& start, const std::string& end, scan::ScanMode mode) {
    surface.setControlText(kStartField, start);
    surface.setControlText(kEndField, end);
    const bool regenerate = mode == scan::ScanMode::Regenerate;
    auto previous = surface.answerMessageBox;
    surface.answerMessageBox = [previous, regenerate](const testsupport::MessageBoxCall& call) {
        const int answer = previous(call);
        if (call.text.rfind("Do you want to regenerate", 0) == 0) return regenerate ? platform::IDYES : platform::IDNO;
        return answer;
    };
    scan::ScanOutcome outcome = engine->Scan(fields);
    surface.answerMessageBox = previous;
    return outcome;
}

void ScanRig::FillPattern(std::uint64_t first, std::uint64_t count) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count) * 512);
    for (std::uint64_t s = 0; s < count; ++s)
        for (std::uint32_t i = 0; i < 512; ++i) data[s * 512 + i] = PatternByte(first + s, i);
    kernel->pokeSectors(0, first, data);
}

std::vector<std::uint64_t> ScanRig::Damaged(std::uint64_t first, std::uint64_t count,
                                            const std::set<std::uint64_t>& except) const {
    std::vector<std::uint64_t> damaged;
    const std::vector<std::uint8_t> data = kernel->peekSectors(0, first, static_cast<std::uint32_t>(count));
    for (std::uint64_t s = 0; s < count; ++s) {
        if (except.count(first + s)) continue;
        for (std::uint32_t i = 0; i < 512; ++i) {
            if (data[s * 512 + i] != PatternByte(first + s, i)) {
                damaged.push_back(first + s);
                break;
            }
        }
    }
    return damaged;
}

std::vector<Transfer> ScanRig::Transfers() const {
    std::vector<Transfer> transfers;
    for (const auto& call : kernel->calls()) {
        if (call.operation != "readFile" && call.operation != "writeFile") continue;
        transfers.push_back({call.operation == "writeFile", call.offset / 512, call.bytes / 512, call.result});
    }
    return transfers;
}

std::string Messages(const testsupport::FakeSurface& surface) {
    std::string joined;
    for (const auto& call : surface.messageBoxes) joined += "[" + call.caption + "] " + call.text + "\n";
    return joined;
}

}  // namespace scantest
