#pragma once
// A small Kernel for drive-layer tests that need answers no well-behaved machine gives:
// garbage pages, partial transfers, odd seek results. Every answer is scripted by the test.
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/kernel.h"

namespace disk_test {

using platform::DWORD;
using platform::Handle;

class ScriptedKernel : public platform::Kernel {
public:
    // The answer to one deviceIoControl: success flag, bytes copied to the output (cut to the
    // size offered) and the error set on failure.
    struct Answer {
        bool ok = true;
        std::vector<std::uint8_t> output;
        DWORD error = 0;
    };
    using IoctlScript = std::function<Answer(DWORD code, const std::uint8_t* in, DWORD inSize, DWORD outSize)>;

    DWORD logicalDrives = 0;
    std::map<char, DWORD> driveTypes;                 // letter -> DRIVE_*; others DRIVE_NO_ROOT_DIR
    std::map<std::string, DWORD> openErrors;          // path -> error (absent: opens)
    IoctlScript ioctl = [](DWORD, const std::uint8_t*, DWORD, DWORD) { return Answer{false, {}, 1}; };
    DWORD readTransferred = ~0u;                      // ~0u: the whole request
    bool readOk = true;
    std::uint8_t readFill = 0xAB;
    std::function<DWORD(std::int32_t low, std::int32_t* high)> seek;  // default: moves exactly

    std::vector<std::string> paths;  // createFile paths in order
    int opened = 0;
    int closed = 0;
    DWORD lastError = 0;

    Handle createFile(std::string_view path, DWORD, DWORD, const platform::SecurityAttributes*, DWORD,
                      DWORD) override {
        paths.emplace_back(path);
        auto error = openErrors.find(std::string(path));
        if (error != openErrors.end()) {
            lastError = error->second;
            return platform::kInvalidHandle;
        }
        ++opened;
        return 100 + opened;
    }
    DWORD setFilePointer(Handle, std::int32_t low, std::int32_t* high, DWORD) override {
        if (seek) return seek(low, high);
        return static_cast<DWORD>(low);
    }
    bool readFile(Handle, void* buffer, DWORD bytes, DWORD* transferred) override {
        if (!readOk) {
            lastError = platform::ERROR_CRC;
            return false;
        }
        const DWORD moved = readTransferred == ~0u ? bytes : readTransferred;
        std::memset(buffer, readFill, moved);
        *transferred = moved;
        lastError = 0;
        return true;
    }
    bool writeFile(Handle, const void*, DWORD bytes, DWORD* transferred) override {
        *transferred = readTransferred == ~0u ? bytes : readTransferred;
        return true;
    }
    bool deviceIoControl(Handle, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override {
        const Answer answer = ioctl(code, static_cast<const std::uint8_t*>(in), inSize, outSize);
        const std::size_t n = answer.output.size() < outSize ? answer.output.size() : outSize;
        if (n > 0) std::memcpy(out, answer.output.data(), n);
        *returned = static_cast<DWORD>(n);
        lastError = answer.ok ? 0 : answer.error;
        return answer.ok;
    }
    bool closeHandle(Handle) override {
        ++closed;
        return true;
    }
    DWORD getLastError() const override { return lastError; }
    DWORD getLogicalDrives() override { return logicalDrives; }
    DWORD getDriveType(std::string_view root) override {
        auto found = driveTypes.find(root.empty() ? '?' : root[0]);
        return found == driveTypes.end() ? platform::DRIVE_NO_ROOT_DIR : found->second;
    }
    bool claimForWriting(Handle, std::string&) override { return true; }
    bool flushFileBuffers(Handle) override {
        lastError = platform::ERROR_INVALID_FUNCTION;
        return false;
    }
    bool driveIdentity(Handle, std::string& identity) override {
        identity = "scripted";
        return true;
    }
    bool isListedDevice(Handle) override { return true; }
};

}  // namespace disk_test
