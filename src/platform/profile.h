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
#include <vector>

namespace platform {

// One meaningful line of an INI text, in file order, for readers that refuse what they do not
// know. Blank lines and lines starting with ';' are not listed.
struct ProfileLine {
    enum class Kind {
        Section,  // "[name]": section holds the name, key and value are empty
        Value,    // "key = value" (value trimmed, quotes kept as written)
        Other,    // any other text (no '='); key holds the trimmed line
    };
    Kind kind = Kind::Other;
    std::string section;  // the section the line belongs to (empty before the first header)
    std::string key;
    std::string value;
    std::size_t line = 0;  // 1-based line number
};

class Profile {
public:
    // An empty profile (a missing file reads as this).
    Profile() = default;
    // Parses INI text; never fails (malformed lines are skipped as Windows does).
    static Profile fromText(std::string_view text);
    // Reads a file; a missing or unreadable file gives an empty profile. Only the first
    // kMaxFileBytes of a larger file are read.
    static Profile fromFile(const std::string& path);
    static constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

    // GetPrivateProfileIntA.
    std::int32_t getInt(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    // GetPrivateProfileStringA into a buffer of bufferSize bytes: at most bufferSize - 1
    // characters of the value (or of the default).
    std::string getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          std::size_t bufferSize) const;
    // Whether the section/key exists (not a Windows call; used by strict readers).
    bool has(std::string_view section, std::string_view key) const;

    // Every section header, key line and unrecognised line in file order.
    const std::vector<ProfileLine>& lines() const { return lines_; }

    // Windows' integer conversion of a value text: leading whitespace, optional sign, decimal
    // digits or a 0x/0o/0b prefix, stopping at the first other character, wrapping at 32 bits.
    static std::int32_t toInt(std::string_view text);
    // Removes one pair of matching surrounding quotes ('...' or "...") as Windows does.
    static std::string_view stripQuotes(std::string_view value);

private:
    // lower-cased "section\nkey" -> value (trimmed), for the first occurrence of a section only
    std::unordered_map<std::string, std::string> values_;
    std::vector<ProfileLine> lines_;
};

}  // namespace platform
