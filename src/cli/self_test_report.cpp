#include "cli/self_test_report.h"

#include <cinttypes>
#include <cstdio>

namespace cli {

health::LogTransport LogTransportOf(const disk::SelfTestState& state) {
    return state.transport == disk::Transport::Nvme ? health::LogTransport::Nvme : health::LogTransport::Ata;
}

void WriteSelfTestEntry(JsonWriter& json, health::LogTransport transport, const disk::SelfTestEntry& entry) {
    json.beginObject()
        .key("type").value(health::SelfTestTypeName(transport, entry.type))
        .key("statusCode").value(entry.statusCode)
        .key("status").value(health::SelfTestStatusText(transport, entry.statusCode))
        .key("passed").value(health::SelfTestPassed(transport, entry.statusCode))
        .key("remainingPercent");
    if (entry.remainingPercent >= 0) json.value(entry.remainingPercent); else json.null();
    json.key("powerOnHours").value(entry.powerOnHours).key("firstErrorLba");
    if (entry.hasLba) json.value(entry.lba); else json.null();
    json.endObject();
}

std::string LogDocument(int drive, const disk::SelfTestState& state, const disk::DriveLogs& logs) {
    const health::LogTransport transport = LogTransportOf(state);
    JsonWriter json;
    json.beginObject()
        .key("drive").value(drive)
        .key("transport").value(transport == health::LogTransport::Nvme ? "nvme" : "ata")
        .key("selfTestSupported").value(state.supported[0] || state.supported[1] || state.supported[2])
        .key("selfTestInProgress").value(state.running)
        .key("selfTestRemainingPercent");
    if (state.running) json.value(state.remainingPercent); else json.null();
    json.key("selfTests").beginArray();
    for (int i = 0; i < logs.selfTestCount; ++i)
        WriteSelfTestEntry(json, transport, logs.selfTests[static_cast<std::size_t>(i)]);
    json.endArray().key("errorCount").value(logs.errorCount).key("errors").beginArray();
    for (int i = 0; i < logs.errorEntries; ++i) {
        const disk::DriveErrorEntry& e = logs.errors[static_cast<std::size_t>(i)];
        json.beginObject().key("powerOnHours");
        if (e.hasHours) json.value(e.powerOnHours); else json.null();
        json.key("lba").value(e.lba).key("status").value(health::DriveErrorText(transport, e.status)).endObject();
    }
    json.endArray().endObject();
    return json.text();
}

void PrintLogs(int drive, const disk::SelfTestState& state, const disk::DriveLogs& logs) {
    const health::LogTransport transport = LogTransportOf(state);
    std::printf("Drive %d (%s)\n", drive, transport == health::LogTransport::Nvme ? "NVMe" : "ATA");
    if (!(state.supported[0] || state.supported[1] || state.supported[2])) {
        std::printf("The drive does not run self-tests.\n");
    } else {
        if (state.running) std::printf("A self-test is running: %d%% remaining.\n", state.remainingPercent);
        std::printf("Self-test log, newest first: %d entr%s\n", logs.selfTestCount,
                    logs.selfTestCount == 1 ? "y" : "ies");
        if (logs.selfTestCount > 0)
            std::printf("%-3s %-11s %-38s %9s %10s  %s\n", "No", "Type", "Status", "Remaining", "Hours",
                        "First error LBA");
        for (int i = 0; i < logs.selfTestCount; ++i) {
            const disk::SelfTestEntry& e = logs.selfTests[static_cast<std::size_t>(i)];
            char remaining[16] = "-";
            if (e.remainingPercent >= 0) std::snprintf(remaining, sizeof remaining, "%d%%", e.remainingPercent);
            char lba[24] = "-";
            if (e.hasLba) std::snprintf(lba, sizeof lba, "%" PRIu64, e.lba);
            std::printf("%-3d %-11s %-38s %9s %10" PRIu64 "  %s\n", i + 1,
                        health::SelfTestTypeName(transport, e.type).c_str(),
                        health::SelfTestStatusText(transport, e.statusCode).c_str(), remaining, e.powerOnHours, lba);
        }
    }
    std::printf("Error log: %" PRIu64 " error%s counted, %d entr%s kept, newest first\n", logs.errorCount,
                logs.errorCount == 1 ? "" : "s", logs.errorEntries, logs.errorEntries == 1 ? "y" : "ies");
    if (logs.errorEntries > 0) std::printf("%-3s %10s %20s  %s\n", "No", "Hours", "LBA", "Status");
    for (int i = 0; i < logs.errorEntries; ++i) {
        const disk::DriveErrorEntry& e = logs.errors[static_cast<std::size_t>(i)];
        char hours[24] = "-";
        if (e.hasHours) std::snprintf(hours, sizeof hours, "%" PRIu64, e.powerOnHours);
        std::printf("%-3d %10s %20" PRIu64 "  %s\n", i + 1, hours, e.lba,
                    health::DriveErrorText(transport, e.status).c_str());
    }
}

}  // namespace cli
