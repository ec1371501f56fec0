#include "cli/atomic_file.h"

#include "platform/linux/durable_file.h"

namespace cli {

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
    return platform::linux::ReplaceReadableFile(path, content, error);
}

}  // namespace cli
