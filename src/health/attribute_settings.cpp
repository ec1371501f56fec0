#include "health/attribute_settings.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile.h"

namespace health {

namespace {

constexpr std::size_t kTextBufferSize = 1024;
constexpr std::string_view kSectionPrefix = "attrib";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The i for which a section name reads as "Attrib<i>" with 0 <= i < count (names compare
// without case, and "Attrib%d" never has a sign or leading zeros), or -1.
std::int32_t SectionNumberOf(std::string_view name, std::int32_t count) {
    if (name.size() <= kSectionPrefix.size()) return -1;
    for (std::size_t k = 0; k < kSectionPrefix.size(); ++k)
        if (Lower(name[k]) != kSectionPrefix[k]) return -1;
    const std::string_view digits = name.substr(kSectionPrefix.size());
    if (digits.size() > 1 && digits[0] == '0') return -1;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value >= count) return -1;
    }
    return static_cast<std::int32_t>(value);
}

// The section numbers below count that the file holds, plus the first number that it does not
// hold (when there is one), in increasing order. Every other number names a missing section,
// which reads exactly like the first missing one and is then dropped as a duplicate of id 0,
// so reading only these sections gives the same store as reading them all.
std::vector<std::int32_t> SectionsWorthReading(const platform::Profile& profile, std::int32_t count) {
    std::vector<std::int32_t> numbers;
    for (const platform::ProfileLine& line : profile.lines()) {
        if (line.kind != platform::ProfileLine::Kind::Section) continue;
        const std::int32_t number = SectionNumberOf(line.section, count);
        if (number >= 0) numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::int32_t firstMissing = 0;
    for (std::int32_t n : numbers) {
        if (n != firstMissing) break;
        ++firstMissing;
    }
    if (firstMissing < count)
        numbers.insert(std::lower_bound(numbers.begin(), numbers.end(), firstMissing), firstMissing);
    return numbers;
}

}  // namespace

const AttributeSetting* AttributeSettings::FindSetting(std::uint8_t id) const {
    auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : &found->second;
}

bool AttributeSettings::insert(const AttributeSetting& setting) { return entries_.emplace(setting.id, setting).second; }

void AttributeSettings::clear() { entries_.clear(); }

std::string SettingsPathFor(const std::string& executablePath) {
    if (executablePath.size() < 3) return "ini";
    return executablePath.substr(0, executablePath.size() - 3) + "ini";
}

void LoadAttributeSettings(AttributeSettings& store, const std::string& executablePath) {
    store.clear();
    const std::string path = SettingsPathFor(executablePath);
    const platform::Profile profile = platform::Profile::fromFile(path);

    const std::int32_t count = profile.getInt("General", "Max Attributes", 0);
    if (count <= 0) return;

    char section[32];
    for (std::int32_t i : SectionsWorthReading(profile, count)) {
        std::snprintf(section, sizeof section, "Attrib%d", static_cast<int>(i));
        AttributeSetting setting;
        setting.id = static_cast<std::uint8_t>(profile.getInt(section, "Id", 0) & 0xFF);
        setting.critical = profile.getInt(section, "Critical", 0);
        setting.name = profile.getString(section, "Name", "", kTextBufferSize);
        setting.details = profile.getString(section, "Details", "", kTextBufferSize);
        store.insert(setting);
    }
}

}  // namespace health
