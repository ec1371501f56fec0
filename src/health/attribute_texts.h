#pragma once
// The table of the attributes the catalogue knows: id, display name and description.
#include <array>
#include <cstdint>
#include <string_view>

namespace health {

struct AttributeText {
    std::uint8_t id;
    std::string_view name;
    std::string_view description;
};

inline constexpr int kKnownAttributeCount = 58;

// In increasing id order; every id at most once.
extern const std::array<AttributeText, kKnownAttributeCount> kAttributeTexts;

}  // namespace health
