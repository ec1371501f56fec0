#include "platform/linux/record_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/durable_file.h"

namespace platform::linux {
namespace {

std::string Why(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool MakeFolders(const std::string& folder, std::string& reason) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            reason = Why("cannot create", part);
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReplaceRecordFile(const std::string& folder, const std::string& name, std::string_view content,
                       std::string& reason) {
    if (folder.empty()) {
        reason = "there is no folder for it";
        return false;
    }
    if (!MakeFolders(folder, reason)) return false;
    return ReplaceReadableFile(folder + "/" + name, content, reason);
}

bool ReadRecordFile(const std::string& folder, const std::string& name, std::string& content) {
    if (folder.empty()) return false;
    const int fd = ::open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    content.clear();
    char buffer[4096];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > 65536) {  // a record is a few hundred bytes: this is something else
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

std::string stateScanRecordsFolder() {
    if (::geteuid() == 0) return "/var/lib/varim/scans";
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/varim/scans";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return std::string(home) + "/.local/state/varim/scans";
}

}  // namespace platform::linux
