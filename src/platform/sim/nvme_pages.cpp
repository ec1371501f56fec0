#include "platform/sim/nvme_pages.h"

#include <string>

namespace platform::sim {
namespace {

// NVMe identify texts are ASCII, first character first, padded with spaces.
void putText(NvmeIdentifyPage& page, std::size_t offset, std::size_t width, const std::string& text) {
    for (std::size_t i = 0; i < width; ++i) page[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

void putLittleEndian(NvmeHealthPage& page, std::size_t offset, std::size_t bytes, std::uint64_t value) {
    for (std::size_t i = 0; i < bytes && i < 8; ++i) page[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

NvmeIdentifyPage nvmeIdentifyPage(const DriveSpec& drive) {
    NvmeIdentifyPage page{};
    const std::string serial = reportedSerial(drive);
    putText(page, 4, 20, serial);
    putText(page, 24, 40, drive.model);
    putText(page, 64, 8, drive.firmware);
    for (std::size_t i = 0; i < 2; ++i) {
        page[266 + i] = static_cast<std::uint8_t>(drive.nvmeWarningThresholdKelvin >> (8 * i));
        page[268 + i] = static_cast<std::uint8_t>(drive.nvmeCriticalThresholdKelvin >> (8 * i));
    }
    return page;
}

NvmeHealthPage nvmeHealthPage(const DriveSpec& drive) {
    NvmeHealthPage page{};
    const auto& f = drive.nvmeFields;
    page[0] = static_cast<std::uint8_t>(f[0]);
    putLittleEndian(page, 1, 2, f[1]);
    page[3] = static_cast<std::uint8_t>(f[2]);
    page[4] = static_cast<std::uint8_t>(f[3]);
    page[5] = static_cast<std::uint8_t>(f[4]);
    // The ten counters are 16 bytes each from byte 32; the values given fit the low 8.
    for (std::size_t i = 5; i < f.size(); ++i) putLittleEndian(page, 32 + 16 * (i - 5), 8, f[i]);
    putLittleEndian(page, 192, 4, drive.nvmeWarningTempMinutes);
    putLittleEndian(page, 196, 4, drive.nvmeCriticalTempMinutes);
    for (std::size_t i = 0; i < drive.nvmeSensorsKelvin.size(); ++i)
        putLittleEndian(page, 200 + 2 * i, 2, drive.nvmeSensorsKelvin[i]);
    return page;
}

}  // namespace platform::sim
