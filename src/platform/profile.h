#pragma once
// INI reading with the rules of GetPrivateProfileIntA / GetPrivateProfileStringA:
// case-insensitive section and key names, the first occurrence wins, defaults for what is
// missing, integers converted like the Windows call (leading digits, optional sign; text that
// does not start with digits gives 0), string values cut to the caller's buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform {

class Profile {
public:
    // An empty profile (a missing file reads as this).
    Profile() = default;
    // Parses INI text; never fails (malformed lines are skipped as Windows does).
    static Profile fromText(std::string_view text);
    // Reads a file; a missing or unreadable file gives an empty profile.
    static Profile fromFile(const std::string& path);

    // GetPrivateProfileIntA.
    std::int32_t getInt(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    // GetPrivateProfileStringA into a buffer of bufferSize bytes: at most bufferSize - 1
    // characters of the value (or of the default).
    std::string getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          std::size_t bufferSize) const;
    // Whether the section/key exists (not a Windows call; used by strict readers).
    bool has(std::string_view section, std::string_view key) const;

private:
    // lower-cased "section\nkey" -> raw value (trimmed)
    std::unordered_map<std::string, std::string> values_;
};

}  // namespace platform
