#include "sim_machine_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace platform::sim::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varim-sim-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const std::string file = (path_ / name).string();
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::unique_ptr<SimulatedKernel> machine(const std::string& text) {
    std::string error;
    auto kernel = SimulatedKernel::fromText(text, "", "test.ini", error);
    EXPECT_NE(kernel, nullptr) << error;
    return kernel;
}

std::string refusal(const std::string& text) {
    std::string error;
    auto kernel = SimulatedKernel::fromText(text, "", "test.ini", error);
    return kernel ? std::string() : error;
}

Handle openDrive(SimulatedKernel& kernel, int drive) {
    const Handle handle = kernel.createFile("\\\\.\\PHYSICALDRIVE" + std::to_string(drive), GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0);
    // Claimed as the scan claims it, so writes reach the drive; a drive in use stays unclaimed.
    std::string reason;
    if (handle != kInvalidHandle) kernel.claimForWriting(handle, reason);
    return handle;
}

bool seekTo(SimulatedKernel& kernel, Handle handle, std::uint64_t offset) {
    std::int32_t high = static_cast<std::int32_t>(offset >> 32);
    const DWORD low =
        kernel.setFilePointer(handle, static_cast<std::int32_t>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return kernel.getLastError() == 0 && low == static_cast<DWORD>(offset & 0xFFFFFFFFu) &&
           high == static_cast<std::int32_t>(offset >> 32);
}

bool readAt(SimulatedKernel& kernel, Handle handle, std::uint64_t lba, std::uint32_t count,
            std::vector<std::uint8_t>& out) {
    out.assign(std::size_t{count} * 512, 0xEE);
    DWORD done = 0;
    return seekTo(kernel, handle, lba * 512) &&
           kernel.readFile(handle, out.data(), static_cast<DWORD>(out.size()), &done);
}

bool writeAt(SimulatedKernel& kernel, Handle handle, std::uint64_t lba,
             const std::vector<std::uint8_t>& data) {
    DWORD done = 0;
    return seekTo(kernel, handle, lba * 512) &&
           kernel.writeFile(handle, data.data(), static_cast<DWORD>(data.size()), &done);
}

std::vector<std::uint8_t> filled(std::uint32_t count, std::uint8_t value) {
    return std::vector<std::uint8_t>(std::size_t{count} * 512, value);
}

}  // namespace platform::sim::testing
