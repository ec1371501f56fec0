#include "health/self_test_texts.h"

#include <array>
#include <cstdio>

namespace health {
namespace {

constexpr std::array<const char*, 16> kAtaStatus = {
    "completed without error",
    "aborted by the host",
    "interrupted by a reset",
    "fatal error: could not complete",
    "failed: unknown element",
    "failed: electrical element",
    "failed: servo or seek element",
    "failed: read element",
    "failed: handling damage",
    "reserved (9)",
    "reserved (10)",
    "reserved (11)",
    "reserved (12)",
    "reserved (13)",
    "reserved (14)",
    "in progress",
};

constexpr std::array<const char*, 16> kNvmeStatus = {
    "completed without error",
    "aborted by a Device Self-test command",
    "aborted by a controller reset",
    "aborted by a namespace removal",
    "aborted by a format",
    "fatal error: could not complete",
    "failed: unknown segment",
    "failed: one or more segments",
    "aborted for an unknown reason",
    "aborted by a sanitize",
    "reserved (10)",
    "reserved (11)",
    "reserved (12)",
    "reserved (13)",
    "reserved (14)",
    "entry not used",
};

std::string hex(const char* prefix, std::uint32_t value) {
    char text[48];
    std::snprintf(text, sizeof text, "%s0x%X", prefix, value);
    return text;
}

}  // namespace

std::string SelfTestTypeName(LogTransport transport, int type) {
    const int base = transport == LogTransport::Ata ? (type & 0x7F) : type;
    if (transport == LogTransport::Ata && type == 0) return "offline";
    if (base == 1) return "short";
    if (base == 2) return "extended";
    if (base == 3 && transport == LogTransport::Ata) return "conveyance";
    return "vendor";
}

std::string SelfTestStatusText(LogTransport transport, int statusCode) {
    const auto& texts = transport == LogTransport::Ata ? kAtaStatus : kNvmeStatus;
    return texts[static_cast<std::size_t>(statusCode & 0xF)];
}

bool SelfTestPassed(LogTransport, int statusCode) { return (statusCode & 0xF) == 0; }

bool SelfTestFailed(LogTransport transport, int statusCode) {
    const int code = statusCode & 0xF;
    if (transport == LogTransport::Ata) return code >= 3 && code <= 8;
    return code >= 5 && code <= 7;
}

std::string DriveErrorText(LogTransport transport, std::uint32_t status) {
    if (transport == LogTransport::Ata) {
        // The error register's bits, most telling first.
        if (status & 0x40) return "uncorrectable data";
        if (status & 0x10) return "sector not found";
        if (status & 0x80) return "interface CRC error";
        if (status & 0x01) return "address mark not found";
        if (status & 0x04) return "command aborted";
        return hex("error register ", status);
    }
    // Status field: phase tag in bit 0, status code in bits 8:1, status code type in 11:9.
    const std::uint32_t code = (status >> 1) & 0xFF;
    const std::uint32_t type = (status >> 9) & 0x7;
    if (type == 2 && code == 0x81) return "unrecovered read error";
    if (type == 2 && code == 0x80) return "write fault";
    if (type == 2 && code == 0x82) return "end-to-end guard check error";
    if (type == 0 && code == 0x80) return "LBA out of range";
    if (type == 0 && code == 0x04) return "data transfer error";
    if (type == 0 && code == 0x06) return "internal error";
    char text[48];
    std::snprintf(text, sizeof text, "status type %u code 0x%02X", type, code);
    return text;
}

}  // namespace health
