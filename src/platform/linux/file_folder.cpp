#include "platform/linux/file_folder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::linux {
namespace {

constexpr const char* kPartSuffix = ".part";

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

bool WriteAll(int fd, const void* data, std::size_t bytes) {
    const auto* from = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t done = ::write(fd, from, bytes);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        from += done;
        bytes -= static_cast<std::size_t>(done);
    }
    return true;
}

// Creates path and its missing parents (mode 0700), each new one made durable in its parent.
// Works in a fixed buffer: the first entry is written from inside the scan's block loop.
bool MakeFolders(const char* path) {
    char prefix[PATH_MAX];
    const std::size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof prefix) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(prefix, path, length + 1);
    std::size_t parentEnd = 0;  // where the parent of the current prefix ends (0: none yet)
    for (std::size_t end = 1; end <= length; ++end) {
        if (end < length && prefix[end] != '/') continue;
        const char next = prefix[end];
        prefix[end] = '\0';
        struct stat st {};
        if (::stat(prefix, &st) != 0) {
            if (::mkdir(prefix, 0700) != 0 && errno != EEXIST) return false;
            // The new folder's name is durable in its parent ("/" for a top-level one, "." for a relative one).
            const std::size_t cut = parentEnd == 0 && prefix[0] == '/' ? 1 : parentEnd;
            const char kept = prefix[cut];
            prefix[cut] = '\0';
            const int parentFd = ::open(cut == 0 ? "." : prefix, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            prefix[cut] = kept;
            if (parentFd >= 0) {
                ::fsync(parentFd);
                ::close(parentFd);
            }
        } else if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        prefix[end] = next;
        parentEnd = end;
    }
    return true;
}

}  // namespace

FileDurableFolder::FileDurableFolder(std::string path) : path_(std::move(path)) {}

FileDurableFolder::~FileDurableFolder() {
    for (Held& held : held_)
        if (held.fd >= 0) ::close(held.fd);
    if (folderFd_ >= 0) ::close(folderFd_);
}

bool FileDurableFolder::Failure(const char* what, const char* name, int error, std::string& reason) const {
    reason = std::string(what) + " " + path_ + (name ? std::string("/") + name : std::string()) + ": " +
             std::strerror(error);
    return false;
}

bool FileDurableFolder::OpenFolder(std::string& reason) {
    if (folderFd_ >= 0) return true;
    if (path_.empty()) {
        reason = "no folder for it is known (HOME is not set)";
        return false;
    }
    if (!MakeFolders(path_.c_str())) return Failure("cannot create", nullptr, errno, reason);
    folderFd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) return Failure("cannot open", nullptr, errno, reason);
    return true;
}

FileDurableFolder::Held* FileDurableFolder::HeldEntry(const char* name) {
    for (Held& held : held_)
        if (held.fd >= 0 && std::strcmp(held.name.data(), name) == 0) return &held;
    return nullptr;
}

bool FileDurableFolder::Put(const char* name, const void* data, std::size_t bytes, std::string& reason) {
    if (!OpenFolder(reason)) return false;
    if (std::strlen(name) + std::strlen(kPartSuffix) >= Held{}.name.size()) {
        reason = std::string("the entry name ") + name + " is too long";
        return false;
    }
    Held* slot = &held_[0];
    for (Held& held : held_)
        if (held.fd < 0) slot = &held;
    // All slots taken by entries left pending: the oldest is let go (it stays on disk, and the
    // drive it belongs to is still claimed by this process, so nobody can write it back meanwhile).
    if (slot->fd >= 0) {
        ::close(slot->fd);
        slot->fd = -1;
    }
    char part[sizeof slot->name];
    std::snprintf(part, sizeof part, "%s%s", name, kPartSuffix);
    const int fd = ::openat(folderFd_, part, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return Failure("cannot create", part, errno, reason);
    // Held from the start, so a process that starts meanwhile takes neither the part nor the entry.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (!WriteAll(fd, data, bytes) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlinkat(folderFd_, part, 0);
        return Failure("cannot write", part, error, reason);
    }
    // link() never replaces: an older entry for the same block is left as it is.
    if (::linkat(folderFd_, part, folderFd_, name, 0) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlinkat(folderFd_, part, 0);
        if (error == EEXIST) {
            reason = path_ + "/" + name + " is still pending from an earlier run";
            return false;
        }
        return Failure("cannot link", name, error, reason);
    }
    ::unlinkat(folderFd_, part, 0);
    if (::fsync(folderFd_) != 0) {
        const int error = errno;
        ::unlinkat(folderFd_, name, 0);
        ::close(fd);
        return Failure("cannot flush", nullptr, error, reason);
    }
    std::snprintf(slot->name.data(), slot->name.size(), "%s", name);
    slot->fd = fd;
    return true;
}

bool FileDurableFolder::Remove(const char* name, std::string& reason) {
    if (!OpenFolder(reason)) return false;
    if (::unlinkat(folderFd_, name, 0) != 0 && errno != ENOENT) return Failure("cannot remove", name, errno, reason);
    // Durable before the drive is used again: a stale entry must never be written back later.
    if (::fsync(folderFd_) != 0) return Failure("cannot flush", nullptr, errno, reason);
    if (Held* held = HeldEntry(name)) {
        ::close(held->fd);
        held->fd = -1;
        held->name[0] = '\0';
    }
    return true;
}

std::vector<std::string> FileDurableFolder::Pending() {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path_.c_str());
    if (dir == nullptr) return names;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || HeldEntry(name.c_str()) != nullptr) continue;
        const int fd = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat st {};
        // Another living process holds its entries locked: its repair is still running.
        const bool free = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (free && EndsWith(name, kPartSuffix))
            ::unlinkat(::dirfd(dir), name.c_str(), 0);  // never completed, so never relied on
        else if (free)
            names.push_back(name);
        ::close(fd);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool FileDurableFolder::Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) {
    const std::string path = path_ + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return Failure("cannot open", name.c_str(), errno, reason);
    data.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return Failure("cannot read", name.c_str(), error, reason);
        }
        if (got == 0) break;
        data.insert(data.end(), chunk, chunk + got);
    }
    ::close(fd);
    return true;
}

std::string stateJournalFolder() {
    if (::geteuid() == 0) return "/var/lib/varim/repair-journal";
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/varim/repair-journal";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return std::string(home) + "/.local/state/varim/repair-journal";
}

}  // namespace platform::linux
