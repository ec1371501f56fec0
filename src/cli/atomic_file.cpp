#include "cli/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

bool Fail(std::string& error, const std::string& what) {
    error = what + ": " + std::strerror(errno);
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
    // The temporary name does not end in the target's extension, so a collector that reads
    // "*.prom" never picks up a half-written file.
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return Fail(error, "cannot create a temporary file beside " + path);
    auto abandon = [&](const std::string& what) {
        const int saved = errno;
        close(fd);
        unlink(temporary.c_str());
        errno = saved;
        return Fail(error, what);
    };
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return abandon("cannot write " + temporary);
        written += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private; the collector usually runs as another user.
    if (fchmod(fd, 0644) != 0) return abandon("cannot set the mode of " + temporary);
    if (fsync(fd) != 0) return abandon("cannot flush " + temporary);
    if (close(fd) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
        return Fail(error, "cannot close " + temporary);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
        return Fail(error, "cannot replace " + path);
    }
    // The rename itself is durable once the folder is flushed.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

}  // namespace cli
