#include "health/attribute_catalogue.h"

#include "health/attribute_texts.h"

namespace health {

AttributeCatalogue::AttributeCatalogue() {
    for (int i = 0; i < kEntries; ++i) {
        names_[i] = kUnknownAttributeName;
        descriptions_[i] = kUnknownAttributeDescription;
    }
}

void AttributeCatalogue::BuildCatalogue() {
    for (int i = 0; i < kEntries; ++i) {
        descriptions_[i] = kUnknownAttributeDescription;
        names_[i] = kUnknownAttributeName;
    }
    for (const AttributeText& row : kAttributeTexts) descriptions_[row.id] = row.description;
    for (const AttributeText& row : kAttributeTexts) names_[row.id] = row.name;
}

std::string_view AttributeCatalogue::AttributeName(std::uint8_t id) const { return names_[id]; }

std::string_view AttributeCatalogue::AttributeDescription(std::uint8_t id) const { return descriptions_[id]; }

}  // namespace health
