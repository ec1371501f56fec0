#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "platform/text_codec.h"
#include "scan/journal_recovery.h"

namespace cli {
namespace {

// The options that name this machine's drives, so the hint runs recover on the same ones.
std::string MachineOptions(const Options& options) {
    std::string text;
    if (options.machineFile) text += " --machine " + *options.machineFile;
    for (const std::string& device : options.devices) text += " --device " + device;
    if (options.demo) text += " --demo";
    return text;
}

// Entries in the journal folder that another living process holds (its repair is running):
// the folder's entries after recovery that it did not keep (restored ones are gone). Only names
// are counted; nothing is read.
std::size_t EntriesHeldElsewhere(const std::string& folder, std::size_t kept) {
    std::error_code error;
    std::size_t entries = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder, error))
        if (item.path().extension() == ".entry") ++entries;
    return entries > kept ? entries - kept : 0;
}

}  // namespace

void RecoverAtStart(const Context& context, int drive) {
    if (context.journal == nullptr) return;
    disk::DriveAccess access(context.kernel);
    scan::RecoveryChoice choice;
    choice.onlyDrive = drive;
    const scan::RecoveryReport report = scan::RecoverPendingRepairs(access, *context.journal, choice);
    std::FILE* human = context.options.json ? stderr : stdout;
    for (const std::string& line : scan::RecoveryLines(report))
        std::fprintf(human, "varim: %s\n", platform::cp1252ToUtf8(line).c_str());
    std::fflush(human);
}

void NotePendingRepairs(const Context& context) {
    if (context.journal == nullptr) return;
    const std::size_t pending = scan::ListPendingRepairs(*context.journal).size();
    if (pending == 0) return;
    std::fprintf(stderr,
                 "varim: %zu interrupted repair%s wait%s in the repair journal; nothing was written. Run "
                 "\"varim%s recover\" to write %s back.\n",
                 pending, pending == 1 ? "" : "s", pending == 1 ? "s" : "", MachineOptions(context.options).c_str(),
                 pending == 1 ? "it" : "them");
}

int RunRecover(const Context& context) {
    if (context.journal == nullptr) return kExitDone;
    const std::string unusable = context.journal->Unusable();
    if (!unusable.empty()) {
        // Scripts reading --json get their one document here too.
        if (context.options.json)
            return Refuse(context, "the repair journal in " + context.journal->Where() + " cannot be used: " + unusable);
        std::fprintf(stderr, "varim: the repair journal in %s cannot be used: %s\n", context.journal->Where().c_str(),
                     unusable.c_str());
        return kExitFailed;
    }
    disk::DriveAccess access(context.kernel);
    scan::RecoveryChoice choice;
    choice.toDrive = context.options.toDrive.value_or(-1);
    const scan::RecoveryReport report = scan::RecoverPendingRepairs(access, *context.journal, choice);
    const std::size_t held = EntriesHeldElsewhere(report.folder, report.unrestored.size());
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
        if (held > 0)
            std::printf("%zu entr%s in %s belong%s to %s another running varim is making; %s left to it.\n", held,
                        held == 1 ? "y" : "ies", report.folder.c_str(), held == 1 ? "s" : "",
                        held == 1 ? "a repair" : "repairs", held == 1 ? "it was" : "they were");
        else if (report.empty())
            std::printf("Nothing to recover: the repair journal in %s is empty.\n", report.folder.c_str());
    }
    // Anything unrestored is a block whose content is not back on its drive yet.
    return report.unrestored.empty() ? kExitDone : kExitFailed;
}

}  // namespace cli
