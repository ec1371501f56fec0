#include <cstdio>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "platform/text_codec.h"
#include "scan/journal_recovery.h"

namespace cli {

void RecoverAtStart(const Context& context) {
    if (context.journal == nullptr) return;
    disk::DriveAccess access(context.kernel);
    const scan::RecoveryReport report = scan::RecoverPendingRepairs(access, *context.journal);
    std::FILE* human = context.options.json ? stderr : stdout;
    for (const std::string& line : scan::RecoveryLines(report))
        std::fprintf(human, "varim: %s\n", platform::cp1252ToUtf8(line).c_str());
    std::fflush(human);
}

int RunRecover(const Context& context) {
    if (context.journal == nullptr) return kExitDone;
    disk::DriveAccess access(context.kernel);
    const scan::RecoveryReport report = scan::RecoverPendingRepairs(access, *context.journal);
    if (context.options.json) {
        JsonWriter json;
        json.beginObject().key("restored").beginArray();
        for (const scan::RestoredBlock& block : report.restored) {
            json.beginObject()
                .key("drive").value(block.drive)
                .key("lba").value(static_cast<std::int64_t>(block.lba))
                .key("sectors").value(static_cast<std::int64_t>(block.sectors))
                .endObject();
        }
        json.endArray().key("kept").beginArray();
        for (const scan::UnrestoredEntry& entry : report.unrestored)
            json.beginObject().key("lba").value(static_cast<std::int64_t>(entry.lba)).key("reason").value(entry.reason).endObject();
        json.endArray().endObject();
        std::printf("%s\n", json.text().c_str());
    } else {
        for (const std::string& line : scan::RecoveryLines(report))
            std::printf("%s\n", platform::cp1252ToUtf8(line).c_str());
        if (report.empty()) std::printf("Nothing to recover: the repair journal in %s is empty.\n", report.folder.c_str());
    }
    // Anything unrestored is a block whose content is not back on its drive yet.
    return report.unrestored.empty() ? kExitDone : kExitFailed;
}

}  // namespace cli
