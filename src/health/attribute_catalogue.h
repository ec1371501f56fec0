#pragma once
// Attribute id -> display name and description (Windows-1252 texts), with fallback texts for
// ids the catalogue does not know.
#include <cstdint>
#include <string_view>

namespace health {

inline constexpr std::string_view kUnknownAttributeName = "Unknown attribute";
inline constexpr std::string_view kUnknownAttributeDescription = "Unknown S.M.A.R.T. detail";

class AttributeCatalogue {
public:
    // Every id starts with the fallback texts.
    AttributeCatalogue();
    // Fills both tables: fallbacks everywhere, then the known descriptions, then the names.
    void BuildCatalogue();
    // The display name of an id; the fallback for unknown ids (and before BuildCatalogue).
    std::string_view AttributeName(std::uint8_t id) const;
    // The description of an id; the fallback for unknown ids (and before BuildCatalogue).
    std::string_view AttributeDescription(std::uint8_t id) const;

private:
    static constexpr int kEntries = 300;
    std::string_view names_[kEntries];
    std::string_view descriptions_[kEntries];
};

}  // namespace health
