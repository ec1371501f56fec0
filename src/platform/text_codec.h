#pragma once
// Windows-1252 <-> UTF-8. The program's own texts are Windows-1252 bytes; they are converted
// only where they meet Qt or the terminal.
#include <string>
#include <string_view>

namespace platform {

// Every byte maps to one code point; the five bytes 1252 leaves undefined map to U+0081 etc.
std::string cp1252ToUtf8(std::string_view text);
// Characters with no Windows-1252 byte become '?'; malformed UTF-8 bytes become '?'.
std::string utf8ToCp1252(std::string_view text);

}  // namespace platform
