#pragma once
// printf-style formatting into a std::string, for the messages shown outside the block loop.
#include <string>

namespace scan {

std::string FormatText(const char* format, ...);

}  // namespace scan
