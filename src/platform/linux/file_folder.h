#pragma once
// DurableFolder on a real filesystem. Each entry is written to "<name>.part", flushed, linked
// to its name (which fails instead of replacing an existing entry) and the folder flushed, so
// a crash leaves either the whole entry or none. The writer keeps an flock on the entry while
// it is in use, so another process starting meanwhile leaves it alone.
// The folder is trusted only when nobody else could have put anything in it: it must belong to
// the effective user and be writable by no one else, and every folder above it must belong to
// root or that user and be writable by no one else unless sticky. It is opened once, never
// through a link, and every file in it is created exclusively and opened without following
// links; only regular files are read.
#include <array>
#include <string>

#include "platform/durable_folder.h"
#include "platform/linux/linux_namespace.h"

namespace platform::linux {

class FileDurableFolder final : public DurableFolder {
public:
    // The folder is created (mode 0700, with missing parents) at the first Put; looking creates nothing.
    explicit FileDurableFolder(std::string path);
    ~FileDurableFolder() override;
    FileDurableFolder(const FileDurableFolder&) = delete;
    FileDurableFolder& operator=(const FileDurableFolder&) = delete;

    bool Put(const char* name, const void* data, std::size_t bytes, std::string& reason) override;
    bool Remove(const char* name, std::string& reason) override;
    std::vector<std::string> Pending() override;
    bool Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) override;
    std::string Where() const override { return path_; }
    std::string Unusable() override;
    bool InMemory() override;

private:
    struct Held {
        std::array<char, 96> name{};  // empty: the slot is free
        int fd = -1;
    };
    enum class Opening { Open, Missing, Refused };
    // Opens the folder once (creating it when asked) and checks that it can be trusted.
    Opening OpenFolder(bool create, std::string& reason);
    bool Trusted(int fd, std::string& reason) const;
    bool Failure(const char* what, const char* name, int error, std::string& reason) const;
    Held* HeldEntry(const char* name);

    std::string path_;
    int folderFd_ = -1;
    bool inMemory_ = false;
    std::array<Held, 8> held_{};
};

// Where this user's repair journal lives: /var/lib/varim/repair-journal for root, else
// $XDG_STATE_HOME/varim/repair-journal (~/.local/state when it is unset or not absolute).
// Empty when HOME is not set to an absolute path (nothing is then journaled, so nothing zeroed).
std::string stateJournalFolder();

}  // namespace platform::linux
