#pragma once
// The order of a sorted list box: case-insensitive byte order, the same on every machine and
// locale, so "Drive 10" sorts between "Drive 1" and "Drive 2".
#include <algorithm>
#include <string_view>

namespace app {

inline unsigned char FoldListByte(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// True when a sorts before b.
inline bool ListTextLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return FoldListByte(static_cast<unsigned char>(x)) < FoldListByte(static_cast<unsigned char>(y));
    });
}

}  // namespace app
