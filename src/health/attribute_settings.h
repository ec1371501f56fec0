#pragma once
// The user's attribute settings file (an INI file beside the executable): per attribute id a
// name, a details text and a critical flag. Loaded once; no view shows it.
#include <cstdint>
#include <map>
#include <string>

namespace health {

struct AttributeSetting {
    std::int32_t critical = 0;
    std::uint8_t id = 0;
    std::string name;     // at most 1023 characters
    std::string details;  // at most 1023 characters
};

class AttributeSettings {
public:
    // The entry for this id, or nullptr.
    const AttributeSetting* FindSetting(std::uint8_t id) const;
    // Inserts unless the id is already present (the first entry wins); true when inserted.
    bool insert(const AttributeSetting& setting);
    void clear();
    std::size_t size() const { return entries_.size(); }
    const std::map<std::uint8_t, AttributeSetting>& entries() const { return entries_; }

private:
    std::map<std::uint8_t, AttributeSetting> entries_;
};

// The settings file for an executable: its path with the last three characters replaced
// by "ini" (a path shorter than three characters gives just "ini").
std::string SettingsPathFor(const std::string& executablePath);

// Empties the store and reads the settings file of this executable into it. A missing or
// unreadable file leaves the store empty; nothing is reported.
void LoadAttributeSettings(AttributeSettings& store, const std::string& executablePath);

}  // namespace health
