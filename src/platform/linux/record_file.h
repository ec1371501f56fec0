#pragma once
// Small files replaced whole and durably: the new content goes to a temporary file in the same
// folder, is flushed, renamed over the target and the folder flushed, so a crash leaves the old
// content or the new, never a part.
#include <string>
#include <string_view>

#include "platform/linux/linux_namespace.h"

namespace platform::linux {

// Replaces folder/name with content, creating the folder (0755, with missing parents) first.
// False with a reason when it could not; the old content then stays.
bool ReplaceRecordFile(const std::string& folder, const std::string& name, std::string_view content,
                       std::string& reason);
// The whole content of folder/name; false when it does not exist or cannot be read.
bool ReadRecordFile(const std::string& folder, const std::string& name, std::string& content);

// Where this user's scan records live: /var/lib/varim/scans for root, else
// $XDG_STATE_HOME/varim/scans (~/.local/state when it is unset or not absolute). Empty when
// HOME is not an absolute path: nothing is recorded then.
std::string stateScanRecordsFolder();

}  // namespace platform::linux
