#pragma once
// The repair journal as the scan uses it: before a block's first zero write its content is
// made durable in an entry; the entry is retired once the content is back on the drive,
// flushed and verified. A crash in between leaves the entry for the next start to write back.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/durable_folder.h"
#include "scan/journal_entry.h"

namespace scan {

class RepairJournal {
public:
    explicit RepairJournal(platform::DurableFolder& folder);

    // The drive the next entries belong to. An empty identity (the drive cannot be named) makes
    // every Record fail, so nothing is zeroed on a drive a later start could not find again.
    void Attach(int driveNumber, std::string identity);
    // Makes the block's content durable before its first zero write. False (problem() says
    // why): the block must not be zeroed. Allocates nothing on success.
    bool Record(std::int64_t lba, std::uint32_t sectors, const unsigned char* content,
                const std::array<bool, kBlockSectors>& readable) {
        return Record(lba, sectors, content, readable.data());
    }
    // The same for up to kMaxEntrySectors sectors, readable[i] for each.
    bool Record(std::int64_t lba, std::uint32_t sectors, const unsigned char* content, const bool* readable);
    // Removes the entry of the last Record; call once the restored content is durable and
    // verified. False (problem() says why) when it could not be removed.
    bool Retire();
    // Leaves the entry of the last Record pending, for a later start to write back: the content
    // could not be confirmed on the drive.
    void LeavePending() { holding_ = false; }
    // True while an entry was recorded and neither retired nor left pending.
    bool holding() const { return holding_; }
    const std::string& problem() const { return problem_; }
    std::string where() const { return folder_.Where(); }
    // True when the entries live in memory, so a power cut would lose them.
    bool inMemory() const { return folder_.InMemory(); }

private:
    platform::DurableFolder& folder_;
    int driveNumber_ = 0;
    std::string identity_;
    std::uint32_t identityTag_ = 0;  // part of every entry name, so drives never share one
    std::unique_ptr<unsigned char[]> bytes_;  // one encoded entry, allocated once
    char name_[64] = {};
    bool holding_ = false;
    std::string problem_;
};

}  // namespace scan
