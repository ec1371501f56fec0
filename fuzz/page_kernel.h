#pragma once
// A kernel with one drive whose S.M.A.R.T. answers are given pages: the identify data, the
// value page and the threshold page (each 512 bytes), so the probe parses exactly those bytes.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/kernel.h"

namespace fuzz {

class PageKernel final : public platform::Kernel {
public:
    using Page = std::array<std::uint8_t, 512>;
    Page identify{};
    Page values{};
    Page thresholds{};

    platform::Handle createFile(std::string_view, platform::DWORD, platform::DWORD, const platform::SecurityAttributes*,
                                platform::DWORD, platform::DWORD) override {
        return 1;
    }
    platform::DWORD setFilePointer(platform::Handle, std::int32_t, std::int32_t*, platform::DWORD) override {
        return platform::INVALID_SET_FILE_POINTER;
    }
    bool readFile(platform::Handle, void*, platform::DWORD, platform::DWORD*) override { return false; }
    bool writeFile(platform::Handle, const void*, platform::DWORD, platform::DWORD*) override { return false; }
    bool deviceIoControl(platform::Handle, platform::DWORD code, const void* in, platform::DWORD inSize, void* out,
                         platform::DWORD outSize, platform::DWORD* returned) override {
        auto* bytes = static_cast<std::uint8_t*>(out);
        if (code == platform::SMART_GET_VERSION) {
            platform::GETVERSIONINPARAMS version{};
            version.fCapabilities = platform::CAP_SMART_CMD;
            std::memcpy(out, &version, std::min<std::size_t>(outSize, sizeof version));
            *returned = outSize;
            return true;
        }
        if (code == platform::SMART_SEND_DRIVE_COMMAND) return true;
        if (code != platform::SMART_RCV_DRIVE_DATA || inSize < 11 || outSize < kHeader) return false;
        const auto* request = static_cast<const std::uint8_t*>(in);
        const std::uint8_t features = request[4];
        const std::uint8_t command = request[10];
        const Page* page = command == platform::ATA_IDENTIFY_DEVICE ? &identify
                           : features == platform::SMART_READ_DATA   ? &values
                           : features == platform::SMART_READ_THRESHOLDS ? &thresholds
                                                                         : nullptr;
        if (page == nullptr) return false;
        std::memcpy(bytes + kHeader, page->data(), std::min<std::size_t>(outSize - kHeader, page->size()));
        *returned = outSize;
        return true;
    }
    bool closeHandle(platform::Handle) override { return true; }
    platform::DWORD getLastError() const override { return 0; }
    platform::DWORD getLogicalDrives() override { return 1u << 2; }
    platform::DWORD getDriveType(std::string_view) override { return platform::DRIVE_FIXED; }
    bool claimForWriting(platform::Handle, std::string&) override { return false; }
    bool flushFileBuffers(platform::Handle) override { return false; }  // nothing is ever written
    bool driveIdentity(platform::Handle, std::string& identity) override {
        identity.clear();
        return false;
    }
    bool isListedDevice(platform::Handle) override { return true; }

private:
    static constexpr std::size_t kHeader = 16;
};

// Fills a page from the fuzz input at offset, zeros where the input has ended.
inline void FillPage(PageKernel::Page& page, const std::uint8_t* data, std::size_t size, std::size_t offset) {
    page.fill(0);
    if (offset < size) std::memcpy(page.data(), data + offset, std::min(page.size(), size - offset));
}

}  // namespace fuzz
