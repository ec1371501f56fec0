#pragma once
// A folder of small files that survive a crash: what the repair journal keeps its entries in.
// The file operations sit behind this interface so tests can make them fail.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

class DurableFolder {
public:
    virtual ~DurableFolder() = default;

    // Stores bytes under a new name: after a crash at any moment the name holds all of them or
    // does not exist, and they are on stable storage when this returns true. An existing name is
    // never replaced. The entry counts as in use by this process until Remove or the process
    // ends. False with a human reason on failure.
    virtual bool Put(const char* name, const void* data, std::size_t bytes, std::string& reason) = 0;
    // Removes an entry for good (durable when it returns true); a missing name is no failure.
    virtual bool Remove(const char* name, std::string& reason) = 0;
    // The complete entries no living process has in use, in name order. Leftovers of writes a
    // crash interrupted (never complete, so never relied on) are cleared away.
    virtual std::vector<std::string> Pending() = 0;
    // The whole content of an entry; false with a reason when it cannot be read.
    virtual bool Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) = 0;
    // Where the entries are, for messages.
    virtual std::string Where() const = 0;
    // Why the folder cannot be used (someone else could have written it, or it cannot be opened);
    // empty when it can, or when it does not exist yet (then nothing is pending).
    virtual std::string Unusable() { return {}; }
    // True when the entries live in memory (tmpfs, ramfs): a power cut loses them.
    virtual bool InMemory() { return false; }
};

// Entries in memory, as durable as the process: for the built-in demo machine, whose drives
// live in memory too, and for tests (which can make every write fail).
class MemoryDurableFolder final : public DurableFolder {
public:
    bool Put(const char* name, const void* data, std::size_t bytes, std::string& reason) override;
    bool Remove(const char* name, std::string& reason) override;
    std::vector<std::string> Pending() override;
    bool Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) override;
    std::string Where() const override { return "memory"; }

    // From now on every Put fails with this reason (empty: Puts succeed again).
    void FailPuts(std::string reason) { failPuts_ = std::move(reason); }
    // Direct access for tests.
    std::map<std::string, std::vector<std::uint8_t>>& entries() { return entries_; }

private:
    std::map<std::string, std::vector<std::uint8_t>> entries_;
    std::string failPuts_;
};

}  // namespace platform
