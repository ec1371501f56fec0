// The identify page through the probe, and its three text fields. Each decoded text is the
// field's bytes swapped in pairs, cut at the first zero byte and trimmed of whitespace on both
// sides; every byte outside the three fields is kept as the drive sent it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "disk/drive_access.h"
#include "disk/drive_probe.h"
#include "disk/drive_table.h"
#include "fuzz_check.h"
#include "page_kernel.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string ExpectedText(const std::uint8_t* field, int width) {
    std::string swapped;
    for (int k = 0; 2 * k < width; ++k) {
        swapped += static_cast<char>(field[2 * k + 1]);
        swapped += static_cast<char>(field[2 * k]);
    }
    swapped.resize(static_cast<std::size_t>(width));
    std::string text = swapped.substr(0, swapped.find('\0'));
    while (!text.empty() && IsBlank(text.back())) text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    return text.substr(first);
}

bool InsideTexts(int offset) {
    return (offset >= disk::kSerialOffset && offset < disk::kSerialOffset + disk::kSerialWidth) ||
           (offset >= disk::kFirmwareOffset && offset < disk::kFirmwareOffset + disk::kFirmwareWidth) ||
           (offset >= disk::kModelOffset && offset < disk::kModelOffset + disk::kModelWidth);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::PageKernel kernel;
    disk::DriveTable table("");
    fuzz::FillPage(kernel.identify, data, size, 0);
    disk::DriveAccess access(kernel);
    FUZZ_CHECK(disk::ProbeDrive(access, table, 0));

    const disk::PhysicalDrive& drive = table.DriveAt(0);
    const std::uint8_t* sent = kernel.identify.data();
    FUZZ_CHECK(drive.model() == ExpectedText(sent + disk::kModelOffset, disk::kModelWidth));
    FUZZ_CHECK(drive.serial() == ExpectedText(sent + disk::kSerialOffset, disk::kSerialWidth));
    FUZZ_CHECK(drive.firmware() == ExpectedText(sent + disk::kFirmwareOffset, disk::kFirmwareWidth));
    for (int offset = 0; offset < static_cast<int>(sizeof drive.identify); ++offset)
        if (!InsideTexts(offset)) FUZZ_CHECK(drive.identify[offset] == sent[offset]);
    return 0;
}
