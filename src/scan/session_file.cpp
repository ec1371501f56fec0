#include "scan/session_file.h"

#include <cstdio>
#include <cstring>

#include "platform/linux/durable_file.h"
#include "scan/scan_engine.h"
#include "scan/scan_session.h"

namespace scan {
namespace {

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::optional<std::string> CheckedNumberText(std::string_view text) {
    if (text.empty()) return std::string();
    if (text.front() == '0') return std::string("0");
    if (!AllDigits(text)) return std::nullopt;
    return std::string(text);
}

std::string FormatSessionFile(std::string_view resumeText, std::string_view endText) {
    std::string bytes(resumeText);
    bytes.append("\r\n").append(endText);
    return bytes;
}

std::optional<SessionValues> ParseSessionFile(std::string_view bytes) {
    if (bytes.size() > kLongestSessionFile) return std::nullopt;
    const std::size_t lineEnd = bytes.find("\r\n");
    if (lineEnd == std::string_view::npos || lineEnd == 0 || lineEnd > kLongestResumeText) return std::nullopt;
    const std::string_view resume = bytes.substr(0, lineEnd);
    const std::string_view end = bytes.substr(lineEnd + 2);
    if (end.size() > kLongestEndText || !AllDigits(resume) || !AllDigits(end)) return std::nullopt;
    // Both must be sectors the Scan command accepts.
    std::int64_t value = 0;
    if (!ParseRangeField(resume, value) || !ParseRangeField(end, value)) return std::nullopt;
    return SessionValues{std::string(resume), std::string(end)};
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string& reason) {
    // A new session file gets the permissions any new file of this user gets (its umask).
    platform::linux::DurableResult result;
    if (platform::linux::ReplaceFileDurably(path, ".varim-session-XXXXXX", 0666, true, bytes, result)) return true;
    reason = std::strerror(result.error);
    return false;
}

SmallFileRead ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return SmallFileRead::CannotOpen;
    bytes.assign(maxBytes + 1, '\0');
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return SmallFileRead::CannotOpen;  // a folder opens but cannot be read
    if (got > maxBytes) return SmallFileRead::TooLarge;
    bytes.resize(got);
    return SmallFileRead::Read;
}

}  // namespace scan
