#pragma once
// Session file contents and safe file handling: values are checked before anything is
// written, and a file is replaced only by a complete new one.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace scan {

inline constexpr std::size_t kLongestResumeText = 18;
inline constexpr std::size_t kLongestEndText = 19;
inline constexpr std::size_t kLongestSessionFile = kLongestResumeText + 2 + kLongestEndText;

// The number check applied to a value being saved: empty stays empty, a leading '0' gives
// "0", otherwise digits only (nothing when another character appears).
std::optional<std::string> CheckedNumberText(std::string_view text);

// Resume digits, CR LF, end digits.
std::string FormatSessionFile(std::string_view resumeText, std::string_view endText);

// Writes bytes to path through a temporary file in the same folder and a rename, so the old
// file stays whole until the new one is complete. False with a reason (strerror) on failure;
// no temporary file is left behind.
bool ReplaceFileContents(const std::string& path, std::string_view bytes, std::string& reason);

enum class SmallFileRead { Read, CannotOpen, TooLarge };
// Reads at most maxBytes from path; TooLarge when the file holds more.
SmallFileRead ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

}  // namespace scan
