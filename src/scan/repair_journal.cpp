#include "scan/repair_journal.h"

#include <algorithm>
#include <cstdio>

namespace scan {

RepairJournal::RepairJournal(platform::DurableFolder& folder)
    : folder_(folder), bytes_(new unsigned char[kMaxEntryBytes]) {}

void RepairJournal::Attach(int driveNumber, std::string identity) {
    driveNumber_ = driveNumber;
    identity_ = std::move(identity);
    identityTag_ = Crc32(reinterpret_cast<const unsigned char*>(identity_.data()), identity_.size());
    problem_.clear();
}

bool RepairJournal::Record(std::int64_t lba, std::uint32_t sectors, const unsigned char* content,
                           const bool* readable) {
    if (holding_) {
        problem_ = "the previous block's entry is still open";
        return false;
    }
    EntryBlock block;
    block.driveNumber = driveNumber_;
    block.lba = lba;
    block.sectors = sectors;
    if (sectors > kMaxEntrySectors) {
        problem_ = "the repair covers more sectors than an entry holds";
        return false;
    }
    std::copy_n(readable, sectors, block.readable.begin());
    const std::size_t length = EncodeEntry(identity_, block, content, bytes_.get());
    if (length == 0) {
        problem_ = identity_.empty() ? "the drive's identity cannot be read, so a later start could not find it"
                                     : "the drive's identity is too long";
        return false;
    }
    std::snprintf(name_, sizeof name_, "repair-%08x-%lld.entry", static_cast<unsigned>(identityTag_),
                  static_cast<long long>(lba));
    if (!folder_.Put(name_, bytes_.get(), length, problem_)) return false;
    holding_ = true;
    return true;
}

bool RepairJournal::Retire() {
    if (!holding_) return true;
    if (!folder_.Remove(name_, problem_)) return false;
    holding_ = false;
    return true;
}

}  // namespace scan
