#include "platform/profile.h"

#include <fstream>
#include <unordered_set>

#include "platform/blank_text.h"

namespace platform {
namespace {

// Case folding of Windows-1252 letters, so "Ä" and "ä" name the same key as Windows treats them.
char fold(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 0x20);
    if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 0x20);
    if (b == 0x8A || b == 0x8C || b == 0x8E) return static_cast<char>(b + 0x10);
    if (b == 0x9F) return static_cast<char>(0xFF);
    return c;
}

void appendFolded(std::string& out, std::string_view text) {
    for (const char c : text) out.push_back(fold(c));
}

std::string lookupKey(std::string_view section, std::string_view key) {
    std::string result;
    result.reserve(section.size() + key.size() + 1);
    appendFolded(result, TrimBlanks(section));
    result.push_back('\n');
    appendFolded(result, TrimBlanks(key));
    return result;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

bool Profile::forEachLine(std::string_view text, const std::function<bool(const ProfileLine&)>& visit) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    ProfileLine current;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = TrimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        ++current.line;
        if (line.empty() || line.front() == ';') continue;

        current.key = {};
        current.value = {};
        const std::size_t close = line.front() == '[' ? line.find(']') : std::string_view::npos;
        const std::size_t equals = line.find('=');
        if (close != std::string_view::npos) {
            current.kind = ProfileLine::Kind::Section;
            current.section = TrimBlanks(line.substr(1, close - 1));
        } else if (equals != std::string_view::npos) {
            current.kind = ProfileLine::Kind::Value;
            current.key = TrimBlanks(line.substr(0, equals));
            current.value = TrimBlanks(line.substr(equals + 1));
        } else {
            current.kind = ProfileLine::Kind::Other;
            current.key = line;
        }
        if (!visit(current)) return false;
    }
    return true;
}

Profile Profile::fromText(std::string_view text) {
    return parse(std::string(text));
}

Profile Profile::parse(std::string text) {
    Profile profile;
    profile.text_ = std::make_shared<const std::string>(std::move(text));
    std::unordered_set<std::string> seenSections;
    std::string sectionKey;  // folded name of the current section
    bool lookedUp = false;   // Windows looks only at the first section of a name
    forEachLine(*profile.text_, [&](const ProfileLine& line) {
        profile.lines_.push_back(line);
        if (line.kind == ProfileLine::Kind::Section) {
            sectionKey.clear();
            appendFolded(sectionKey, line.section);
            lookedUp = seenSections.insert(sectionKey).second;
        } else if (line.kind == ProfileLine::Kind::Value && lookedUp) {
            std::string mapKey = sectionKey;
            mapKey.push_back('\n');
            appendFolded(mapKey, line.key);
            profile.values_.try_emplace(std::move(mapKey), line.value);
        }
        return true;
    });
    return profile;
}

Profile Profile::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Profile();
    std::string text;
    char chunk[65536];
    while (text.size() < kMaxFileBytes && in.read(chunk, sizeof chunk).gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (text.size() > kMaxFileBytes) text.resize(kMaxFileBytes);
    return parse(std::move(text));
}

std::int32_t Profile::toInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '\n')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos + 1 < text.size() && text[pos] == '0') {
        const char prefix = text[pos + 1];
        if (prefix == 'x' || prefix == 'X') base = 16;
        if (prefix == 'o' || prefix == 'O') base = 8;
        if (prefix == 'b' || prefix == 'B') base = 2;
        if (base != 10) pos += 2;
    }
    std::uint32_t result = 0;  // unsigned arithmetic wraps at 32 bits as the Windows call does
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text[pos]);
        if (digit >= base) break;
        result = result * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (negative) result = 0u - result;
    return static_cast<std::int32_t>(result);
}

std::string_view Profile::stripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::int32_t Profile::getInt(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const {
    const auto found = values_.find(lookupKey(section, key));
    if (found == values_.end()) return defaultValue;
    const std::string_view value = stripQuotes(found->second);
    if (value.empty()) return defaultValue;
    return toInt(value);
}

std::string Profile::getString(std::string_view section, std::string_view key, std::string_view defaultValue,
                               std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string_view value = defaultValue;
    // Windows cuts trailing spaces off the default.
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    const auto found = values_.find(lookupKey(section, key));
    if (found != values_.end()) value = stripQuotes(found->second);
    return std::string(value.substr(0, bufferSize - 1));
}

bool Profile::has(std::string_view section, std::string_view key) const {
    return values_.count(lookupKey(section, key)) != 0;
}

}  // namespace platform
