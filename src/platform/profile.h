#pragma once
// INI reading with the rules of GetPrivateProfileIntA / GetPrivateProfileStringA:
// case-insensitive section and key names, the first occurrence wins, defaults for what is
// missing, integers converted like the Windows call (leading digits, optional sign; text that
// does not start with digits gives 0), string values cut to the caller's buffer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// One meaningful line of an INI text, for readers that refuse what they do not know. Blank
// lines and lines starting with ';' are not visited. The views point into the parsed text.
struct ProfileLine {
    enum class Kind {
        Section,  // "[name]": section holds the name, key and value are empty
        Value,    // "key = value" (value trimmed, quotes kept as written)
        Other,    // any other text (no '='); key holds the trimmed line
    };
    Kind kind = Kind::Other;
    std::string_view section;  // the section the line belongs to (empty before the first header)
    std::string_view key;
    std::string_view value;
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

    // Visits every section header, key line and unrecognised line of text in file order, with
    // the same splitting and trimming as fromText, until visit returns false. Returns whether
    // every line was visited. Allocates nothing per line, so a reader that stops at its first
    // complaint costs nothing on an enormous file.
    static bool forEachLine(std::string_view text, const std::function<bool(const ProfileLine&)>& visit);
    // The lines forEachLine visits, kept with the profile (their views point into its own copy
    // of the text).
    const std::vector<ProfileLine>& lines() const { return lines_; }

    // Windows' integer conversion of a value text: leading whitespace, optional sign, decimal
    // digits or a 0x/0o/0b prefix, stopping at the first other character, wrapping at 32 bits.
    static std::int32_t toInt(std::string_view text);
    // Removes one pair of matching surrounding quotes ('...' or "...") as Windows does.
    static std::string_view stripQuotes(std::string_view value);

  private:
    static Profile parse(std::string text);

    // lower-cased "section\nkey" -> value (trimmed), for the first occurrence of a section only
    std::unordered_map<std::string, std::string> values_;
    std::shared_ptr<const std::string> text_;  // shared, so copies keep the views valid
    std::vector<ProfileLine> lines_;
};

}  // namespace platform
