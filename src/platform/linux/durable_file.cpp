#include "platform/linux/durable_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

namespace platform::linux {
namespace {

constexpr std::string_view kRandomPattern = "XXXXXX";
constexpr int kNameAttempts = 100;

bool Fail(DurableResult& result, DurableStep step, int error) {
    result.failed = step;
    result.error = error != 0 ? error : EIO;
    return false;
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

// Replaces the last six characters of name with letters and digits.
void Randomise(char* name, std::size_t length) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char noise[kRandomPattern.size()] = {};
    if (::getrandom(noise, sizeof noise, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof noise)) {
        // No entropy yet (early boot): time and process are enough to avoid a collision, which
        // O_EXCL catches anyway.
        unsigned long long seed = static_cast<unsigned long long>(std::time(nullptr)) ^
                                  (static_cast<unsigned long long>(::getpid()) << 20) ^
                                  reinterpret_cast<std::uintptr_t>(&noise);
        for (unsigned char& byte : noise) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            byte = static_cast<unsigned char>(seed >> 56);
        }
    }
    for (std::size_t i = 0; i < sizeof noise; ++i)
        name[length - sizeof noise + i] = kLetters[noise[i] % (sizeof kLetters - 1)];
}

// Creates the temporary file exclusively, never through a link; its name goes to result.temporary.
int CreateTemporary(const DurableWrite& how, DurableResult& result) {
    const std::size_t length = std::strlen(how.temporary);
    if (length >= sizeof result.temporary) {
        Fail(result, DurableStep::Create, ENAMETOOLONG);
        return -1;
    }
    std::memcpy(result.temporary, how.temporary, length + 1);
    const bool random = std::string_view(how.temporary).ends_with(kRandomPattern);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (random) Randomise(result.temporary, length);
        const int fd = ::openat(how.folderFd, result.temporary, flags, how.mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
        if (!random && (attempt > 0 || ::unlinkat(how.folderFd, result.temporary, 0) != 0)) break;
    }
    Fail(result, DurableStep::Create, errno);
    return -1;
}

}  // namespace

bool WriteFileDurably(const DurableWrite& how, const void* data, std::size_t bytes, DurableResult& result) {
    result = DurableResult{};
    const int fd = CreateTemporary(how, result);
    if (fd < 0) return false;
    // Held from the start, so a process that looks meanwhile sees the file in use.
    if (how.keepOpen) ::flock(fd, LOCK_EX | LOCK_NB);
    auto abandon = [&](DurableStep step, int error) {
        ::close(fd);
        ::unlinkat(how.folderFd, result.temporary, 0);
        return Fail(result, step, error);
    };
    if (!WriteAll(fd, data, bytes)) return abandon(DurableStep::Write, errno);
    if (!how.umaskApplies && ::fchmod(fd, how.mode) != 0) return abandon(DurableStep::Mode, errno);
    if (::fsync(fd) != 0) return abandon(DurableStep::Flush, errno);
    if (!how.keepOpen && ::close(fd) != 0) {
        const int error = errno;
        ::unlinkat(how.folderFd, result.temporary, 0);
        return Fail(result, DurableStep::Close, error);
    }
    auto undo = [&](DurableStep step, int error) {
        if (how.keepOpen) ::close(fd);
        ::unlinkat(how.folderFd, result.temporary, 0);
        return Fail(result, step, error);
    };
    if (how.replace) {
        if (::renameat(how.folderFd, result.temporary, how.folderFd, how.name) != 0)
            return undo(DurableStep::Place, errno);
    } else {
        // link() never replaces: an existing name is left exactly as it is.
        if (::linkat(how.folderFd, result.temporary, how.folderFd, how.name, 0) != 0)
            return undo(DurableStep::Place, errno);
        ::unlinkat(how.folderFd, result.temporary, 0);
    }
    if (::fsync(how.folderFd) != 0) {
        const int error = errno;
        // A new name that may not survive a crash is taken back; a replaced file cannot be.
        if (!how.replace) ::unlinkat(how.folderFd, how.name, 0);
        if (how.keepOpen) ::close(fd);
        return Fail(result, DurableStep::FlushFolder, error);
    }
    if (how.keepOpen) result.fd = fd;
    return true;
}

bool ReplaceFileDurably(const std::string& path, const char* temporary, unsigned mode, bool umaskApplies,
                        std::string_view bytes, DurableResult& result) {
    result = DurableResult{};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return Fail(result, DurableStep::OpenFolder, errno);
    DurableWrite how;
    how.folderFd = folderFd;
    how.name = name.c_str();
    how.temporary = temporary;
    how.mode = mode;
    how.umaskApplies = umaskApplies;
    const bool done = WriteFileDurably(how, bytes.data(), bytes.size(), result);
    ::close(folderFd);
    return done;
}

bool ReplaceReadableFile(const std::string& path, std::string_view bytes, std::string& reason) {
    // The temporary name does not end in the target's extension, so a collector that reads
    // "*.prom" never picks up a half-written file.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string pattern = name + ".XXXXXX";
    DurableResult result;
    // mkstemp-like files are private; the collector usually runs as another user.
    if (ReplaceFileDurably(path, pattern.c_str(), 0644, false, bytes, result)) return true;
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
    reason = what + ": " + std::strerror(result.error);
    return false;
}

}  // namespace platform::linux
