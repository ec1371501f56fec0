#pragma once
// Replacing a file so that a reader sees either the old content or the whole new one, never a
// part: the text goes to a temporary file in the same folder, is flushed, and is renamed over
// the target.
#include <string>
#include <string_view>

namespace cli {

// Writes content to path atomically, readable by everyone (mode 0644). False with a reason
// when it could not; the target is then unchanged and no temporary file is left.
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error);

}  // namespace cli
