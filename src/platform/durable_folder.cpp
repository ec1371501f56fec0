#include "platform/durable_folder.h"

namespace platform {

bool MemoryDurableFolder::Put(const char* name, const void* data, std::size_t bytes, std::string& reason) {
    if (!failPuts_.empty()) {
        reason = failPuts_;
        return false;
    }
    if (entries_.count(name) != 0) {
        reason = std::string("an entry named ") + name + " already exists";
        return false;
    }
    const auto* first = static_cast<const std::uint8_t*>(data);
    entries_.emplace(name, std::vector<std::uint8_t>(first, first + bytes));
    return true;
}

bool MemoryDurableFolder::Remove(const char* name, std::string& /*reason*/) {
    entries_.erase(name);
    return true;
}

std::vector<std::string> MemoryDurableFolder::Pending() {
    std::vector<std::string> names;
    for (const auto& entry : entries_) names.push_back(entry.first);
    return names;
}

bool MemoryDurableFolder::Read(const std::string& name, std::vector<std::uint8_t>& data, std::string& reason) {
    const auto found = entries_.find(name);
    if (found == entries_.end()) {
        reason = name + " does not exist";
        return false;
    }
    data = found->second;
    return true;
}

}  // namespace platform
