#include "cli/atomic_file.h"

#include <cstring>

#include "platform/linux/durable_file.h"

namespace cli {

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
    // The temporary name does not end in the target's extension, so a collector that reads
    // "*.prom" never picks up a half-written file.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string pattern = name + ".XXXXXX";
    platform::linux::DurableResult result;
    // mkstemp-like files are private; the collector usually runs as another user.
    if (platform::linux::ReplaceFileDurably(path, pattern.c_str(), 0644, false, content, result)) return true;
    using platform::linux::DurableStep;
    const std::string temporary = folder + result.temporary;
    std::string what;
    switch (result.failed) {
        case DurableStep::OpenFolder:
        case DurableStep::Create: what = "cannot create a temporary file beside " + path; break;
        case DurableStep::Write: what = "cannot write " + temporary; break;
        case DurableStep::Mode: what = "cannot set the mode of " + temporary; break;
        case DurableStep::Flush: what = "cannot flush " + temporary; break;
        case DurableStep::Close: what = "cannot close " + temporary; break;
        case DurableStep::Place: what = "cannot replace " + path; break;
        case DurableStep::FlushFolder:
        case DurableStep::None: what = "cannot flush the folder of " + path; break;
    }
    error = what + ": " + std::strerror(result.error);
    return false;
}

}  // namespace cli
