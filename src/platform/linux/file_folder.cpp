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
#include <sys/statfs.h>
#include <unistd.h>

#include "platform/linux/durable_file.h"

namespace platform::linux {
namespace {

constexpr const char* kPartSuffix = ".part";
// Far more than any entry holds: a file larger than this is not one, and is not read into memory.
constexpr off_t kLargestEntry = 16 * 1024 * 1024;

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
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

// The path of an open folder, for messages only.
std::string PathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length <= 0) return "a folder above it";
    return std::string(path, static_cast<std::size_t>(length));
}

// Filesystems that live in memory: what they hold is gone after a power cut.
bool LivesInMemory(long type) {
    constexpr long kTmpfs = 0x01021994;
    constexpr long kRamfs = static_cast<long>(0x858458f6);
    return type == kTmpfs || type == kRamfs;
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

bool FileDurableFolder::Trusted(int fd, std::string& reason) const {
    const uid_t user = ::geteuid();
    struct stat st {};
    if (::fstat(fd, &st) != 0) return Failure("cannot examine", nullptr, errno, reason);
    char mode[8];
    if (st.st_uid != user) {
        reason = path_ + " belongs to another user (uid " + std::to_string(st.st_uid) + "), so it could hold entries "
                 "this user never wrote";
        return false;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        reason = path_ + " can be written by other users (mode " + mode + ")";
        return false;
    }
    // Every folder above must be safe from others too, or one of them could swap this one (as a
    // sticky folder such as /tmp keeps others from renaming what is not theirs, it is fine).
    int current = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (current < 0) return Failure("cannot examine", nullptr, errno, reason);
    bool trusted = true;
    for (;;) {
        const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat here {};
        struct stat above {};
        if (parent < 0 || ::fstat(current, &here) != 0 || ::fstat(parent, &above) != 0) {
            trusted = Failure("cannot examine the folders above", nullptr, errno, reason);
            if (parent >= 0) ::close(parent);
            break;
        }
        if (above.st_dev == here.st_dev && above.st_ino == here.st_ino) {
            ::close(parent);
            break;  // the root
        }
        const bool owner = above.st_uid == 0 || above.st_uid == user;
        const bool shielded = (above.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (above.st_mode & S_ISVTX) != 0;
        if (!owner || !shielded) {
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(above.st_mode & 07777));
            reason = PathOf(parent) + ", a folder above " + path_ + ", " +
                     (!owner ? "belongs to another user (uid " + std::to_string(above.st_uid) + ")"
                             : std::string("can be written by other users (mode ") + mode + ")") +
                     ", so the journal folder could be swapped";
            ::close(parent);
            trusted = false;
            break;
        }
        ::close(current);
        current = parent;
    }
    ::close(current);
    return trusted;
}

FileDurableFolder::Opening FileDurableFolder::OpenFolder(bool create, std::string& reason) {
    if (folderFd_ >= 0) return Opening::Open;
    if (path_.empty()) {
        reason = "no folder for it is known (HOME is not set)";
        return Opening::Refused;
    }
    if (create && !MakeFolders(path_.c_str())) {
        Failure("cannot create", nullptr, errno, reason);
        return Opening::Refused;
    }
    // Opened once, never through a link; everything after goes through this descriptor.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (error == ENOENT && !create) return Opening::Missing;
        if (::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            reason = path_ + " is a symbolic link, not a folder of this user's";
        else
            Failure("cannot open", nullptr, error, reason);
        return Opening::Refused;
    }
    if (!Trusted(fd, reason)) {
        ::close(fd);
        return Opening::Refused;
    }
    struct statfs fs {};
    inMemory_ = ::fstatfs(fd, &fs) == 0 && LivesInMemory(static_cast<long>(fs.f_type));
    folderFd_ = fd;
    return Opening::Open;
}

std::string FileDurableFolder::Unusable() {
    std::string reason;
    return OpenFolder(false, reason) == Opening::Refused ? reason : std::string();
}

bool FileDurableFolder::InMemory() {
    std::string reason;
    if (OpenFolder(false, reason) == Opening::Open) return inMemory_;
    // Not made yet: the filesystem it will be made on.
    std::string path = path_;
    struct statfs fs {};
    while (::statfs(path.c_str(), &fs) != 0) {
        if (path == "/" || path == ".") return false;
        // A relative path without a slash lies in the current folder.
        const std::size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    return LivesInMemory(static_cast<long>(fs.f_type));
}

FileDurableFolder::Held* FileDurableFolder::HeldEntry(const char* name) {
    for (Held& held : held_)
        if (held.fd >= 0 && std::strcmp(held.name.data(), name) == 0) return &held;
    return nullptr;
}

bool FileDurableFolder::Put(const char* name, const void* data, std::size_t bytes, std::string& reason) {
    if (OpenFolder(true, reason) != Opening::Open) return false;
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
    DurableWrite how;
    how.folderFd = folderFd_;
    how.name = name;
    how.temporary = part;
    how.mode = 0600;
    how.replace = false;  // an older entry for the same block is left as it is
    how.keepOpen = true;  // held, so a process that starts meanwhile takes neither the part nor the entry
    DurableResult result;
    if (!WriteFileDurably(how, data, bytes, result)) {
        switch (result.failed) {
            case DurableStep::Create: return Failure("cannot create", part, result.error, reason);
            case DurableStep::Place:
                if (result.error == EEXIST) {
                    reason = path_ + "/" + name + " is still pending from an earlier run";
                    return false;
                }
                return Failure("cannot link", name, result.error, reason);
            case DurableStep::FlushFolder: return Failure("cannot flush", nullptr, result.error, reason);
            default: return Failure("cannot write", part, result.error, reason);
        }
    }
    std::snprintf(slot->name.data(), slot->name.size(), "%s", name);
    slot->fd = result.fd;
    return true;
}

bool FileDurableFolder::Remove(const char* name, std::string& reason) {
    const Opening opening = OpenFolder(false, reason);
    if (opening == Opening::Missing) return true;
    if (opening != Opening::Open) return false;
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
    std::string reason;
    if (OpenFolder(false, reason) != Opening::Open) return names;
    // A listing of its own: the folder's descriptor keeps no read position of its own to share.
    const int listFd = ::openat(folderFd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (dir == nullptr) {
        if (listFd >= 0) ::close(listFd);
        return names;
    }
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || HeldEntry(name.c_str()) != nullptr) continue;
        const bool part = EndsWith(name, kPartSuffix);
        // Never through a link, never waiting on a FIFO or device.
        const int fd = ::openat(folderFd_, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {};
        const bool regular = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        if (!regular) {
            // Anything else is no entry: a leftover part name is cleared (only the name is removed),
            // any other is listed so that reading it names it.
            if (part)
                ::unlinkat(folderFd_, name.c_str(), 0);
            else
                names.push_back(name);
        } else if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Free: no living process holds it. A part was never completed, so never relied on.
            if (part)
                ::unlinkat(folderFd_, name.c_str(), 0);
            else
                names.push_back(name);
        }
        // Another living process holds its entries locked: its repair is still running.
        if (fd >= 0) ::close(fd);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool FileDurableFolder::Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) {
    if (OpenFolder(false, reason) != Opening::Open) {
        if (reason.empty()) reason = path_ + " does not exist";
        return false;
    }
    const int fd = ::openat(folderFd_, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) {
            reason = path_ + "/" + name + " is a symbolic link, not an entry; it is skipped";
            return false;
        }
        return Failure("cannot open", name.c_str(), errno, reason);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestEntry) {
        const bool regular = S_ISREG(st.st_mode);
        ::close(fd);
        reason = path_ + "/" + name + (regular ? " is too large to be an entry" : " is not a regular file") +
                 "; it is skipped";
        return false;
    }
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
