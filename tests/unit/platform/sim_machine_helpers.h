#pragma once
// Builds simulated machines for tests: from text, or from a file written into a fresh
// temporary folder (removed when the helper goes away) so Image paths can be exercised.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/simulated_kernel.h"

namespace platform::sim::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Writes content to name inside the folder; returns the full path.
    std::string write(const std::string& name, const std::string& content) const;

  private:
    std::filesystem::path path_;
};

// A kernel from description text; fails the current test (and returns null) when refused.
std::unique_ptr<SimulatedKernel> machine(const std::string& text);
// The error a description is refused with, or "" when it is accepted. Errors name "test.ini".
std::string refusal(const std::string& text);

// Opens \\.\PHYSICALDRIVE<n> for reading and writing and claims it, as the scan does.
Handle openDrive(SimulatedKernel& kernel, int drive);
// Seeks to a 64-bit byte offset with both halves, as the drive layer does.
bool seekTo(SimulatedKernel& kernel, Handle handle, std::uint64_t offset);
// Reads or writes count sectors at lba (after a seek); the data comes back in out.
bool readAt(SimulatedKernel& kernel, Handle handle, std::uint64_t lba, std::uint32_t count,
            std::vector<std::uint8_t>& out);
bool writeAt(SimulatedKernel& kernel, Handle handle, std::uint64_t lba,
             const std::vector<std::uint8_t>& data);
// count sectors filled with one byte value.
std::vector<std::uint8_t> filled(std::uint32_t count, std::uint8_t value);

}  // namespace platform::sim::testing
