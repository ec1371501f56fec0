#include "app/attribute_lines.h"

namespace app {

std::vector<std::string> WrapDescription(std::string_view text) {
    std::vector<std::string> lines;
    while (text.size() >= 50) {
        // A text of 50 to 55 characters is cut 14 characters before its end, so its last line
        // is not a lone word.
        const std::size_t start = text.size() <= 55 ? text.size() - 14 : 50;
        const std::size_t cut = text.find(' ', start);
        if (cut == std::string_view::npos) break;
        lines.emplace_back(text.substr(0, cut));
        text.remove_prefix(cut);
    }
    lines.emplace_back(text);
    return lines;
}

}  // namespace app
