#pragma once
// Writing a file so that a crash or power cut at any moment leaves either what was there before or
// the whole new content: a temporary file in the same folder, flushed, put in place under its
// name, and the folder flushed so the name itself is on stable storage.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/linux/linux_namespace.h"

namespace platform::linux {

// The step a durable write failed at.
enum class DurableStep { None, OpenFolder, Create, Write, Mode, Flush, Close, Place, FlushFolder };

struct DurableWrite {
    int folderFd = -1;                // the folder, opened
    const char* name = nullptr;       // the file's name inside it
    // The temporary name inside the folder. A trailing "XXXXXX" becomes random letters until a free
    // name is found; a fixed name that already exists is a leftover of an interrupted write and is
    // removed first (only the name: a link or anything else planted there is never followed).
    const char* temporary = nullptr;
    unsigned mode = 0600;              // permission bits of the new file
    bool umaskApplies = false;         // true: mode as the process's umask leaves it (as any new file)
    bool replace = true;               // false: an existing name is never replaced (Place fails, EEXIST)
    bool keepOpen = false;             // true: the file stays open and flock()ed, its descriptor in fd
};

struct DurableResult {
    DurableStep failed = DurableStep::None;
    int error = 0;              // errno of the failed step
    char temporary[256] = {};   // the temporary name used
    int fd = -1;                // with keepOpen, the written file once in place
};

// Writes bytes durably as how.name. True once the content and the name are on stable storage;
// false with the step and errno, the temporary file removed, and a name that was never replaced
// left as it was. Allocates nothing.
bool WriteFileDurably(const DurableWrite& how, const void* data, std::size_t bytes, DurableResult& result);

// The same for a path (its folder is opened as any path is, links followed): the file is replaced
// by the whole new content or left as it was. `temporary` as above, inside the path's folder.
bool ReplaceFileDurably(const std::string& path, const char* temporary, unsigned mode, bool umaskApplies,
                        std::string_view bytes, DurableResult& result);

// ReplaceFileDurably with a temporary name of the file's own name and six random letters, mode
// 0644 (others read it: a collector, the metrics); false with a human reason naming the step.
bool ReplaceReadableFile(const std::string& path, std::string_view bytes, std::string& reason);

}  // namespace platform::linux
