#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <optional>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/control_ids.h"
#include "app/indicators.h"
#include "app/latency_text.h"
#include "app/scan_setup.h"
#include "app/surface_map_svg.h"
#include "cli/atomic_file.h"
#include "cli/commands.h"
#include "cli/console_surface.h"
#include "cli/json_writer.h"
#include "cli/signals.h"
#include "disk/drive_probe.h"
#include "scan/repair_journal.h"
#include "scan/scan_engine.h"
#include "scan/scan_session.h"

namespace cli {
namespace {

constexpr std::size_t kLargestSessionFile = 4096;  // a valid one has at most 39 bytes

// Loads a session file as the Open session command would, into start and end texts.
bool LoadResume(const std::string& path, std::string& start, std::string& end, std::string& problem) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        problem = "Cannot open session file " + path;
        return false;
    }
    std::string bytes;
    bytes.resize(kLargestSessionFile + 1);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    auto values = bytes.size() > kLargestSessionFile ? std::nullopt : scan::ParseSessionFile(bytes);
    if (!values) {
        problem = path + " is not a valid session file";
        return false;
    }
    start = values->resumeText;
    end = values->endText;
    return true;
}

// "latency": the class counts, the errors and the slowest reads (see console-tool.md).
void WriteLatency(JsonWriter& json, const scan::ScanLatency& latency) {
    json.key("latency").beginObject().key("unit").value(latency.batched ? "batch" : "block");
    json.key("limitsMs").beginArray();
    for (double limit : scan::kLatencyLimitsMs) json.value(static_cast<std::int64_t>(limit));
    json.endArray().key("blocks").beginArray();
    for (std::uint64_t count : latency.blocks) json.value(count);
    json.endArray().key("errors").value(latency.errors).key("slowest").beginArray();
    for (std::size_t i = 0; i < latency.slowestCount; ++i)
        json.beginObject()
            .key("lba").value(static_cast<std::int64_t>(latency.slowest[i].lba))
            .key("ms").value(std::round(latency.slowest[i].ms * 10) / 10)
            .endObject();
    json.endArray().endObject();
}

}  // namespace

int RunScan(const Context& context) {
    const Options& options = context.options;
    const int n = options.drive;
    if (!options.mode && isatty(STDIN_FILENO) != 1) {
        std::fprintf(stderr, "varim: --mode standard|regenerate is needed when stdin is not a terminal\n");
        return kExitUsage;
    }

    // A repair a crash interrupted on this drive is finished before the scan touches it.
    RecoverAtStart(context, n);
    disk::DriveAccess access(context.kernel);
    disk::DriveTable table(context.executablePath);
    disk::EnumerateDrives(access, table);

    // Selecting the drive gives the default range: 0 and the sector count.
    DriveSize size = MeasureDrive(access, n);
    if (!size.opened) return Refuse(context, DriveOpenFailure(context, n, size.error));
    std::string startText = options.start.value_or("0");
    std::string endText = options.end.value_or(std::to_string(size.sectors));
    if (options.resumeFile) {
        std::string problem;
        if (!LoadResume(*options.resumeFile, startText, endText, problem)) return Refuse(context, problem);
    }

    ConsoleSurface surface(options.json);
    surface.setControlText(app::ids::kStartField, startText);
    surface.setControlText(app::ids::kEndField, endText);
    if (options.mode) surface.modeAnswer = *options.mode == "regenerate" ? platform::IDYES : platform::IDNO;

    // The indicators are evaluated as the window's first paint would, which raises the alarms
    // the scan warns about.
    scan::ScanState state;
    scan::ScanFields fields;
    fields.driveNumber = n;
    app::IndicatorPaint paint = app::EvaluateIndicators(table, n, app::IndicatorState{});
    fields.temperatureAlarm = paint.state.temperatureAlarm;
    fields.warningDrive = paint.state.warningDrive;
    state.backupAlarm = paint.state.backupAlarm;

    platform::SystemClock clock;
    app::ScanSetupConfig config;
    config.transferMib = options.transferMib.value_or(0);
    if (context.journal != nullptr) {
        config.journalFolder = context.journal;
    }
    config.records = context.scanRecords;
    app::ScanSetup setup(access, surface, clock, state,
                         [&table](int drive) { return app::ProbedModelText(table, drive); }, config);
    scan::ScanSession session(surface, state);

    bool interrupted = false;
    surface.onPump = [&] {
        int signal = TakeStopSignal();
        if (signal == 0 || state.stopRequested) return;
        state.stopRequested = true;
        interrupted = true;
        if (signal == SIGINT) {
            surface.say("Stopping after the block in progress...");
            if (options.sessionFile && session.SaveSession(*options.sessionFile))
                surface.say("Session saved to " + *options.sessionFile);
        }
    };
    InstallStopSignals();

    auto started = std::chrono::steady_clock::now();
    scan::ScanOutcome outcome = setup.Run(fields, table);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    surface.endProgressLine();
    if (!outcome.started) return Refuse(context, outcome.refusal);
    const app::ScanSummary& summary = *setup.LastScanOf(n);
    if (!options.json) std::fputs(app::LatencySummaryText(outcome.latency).c_str(), stdout);
    if (!setup.recordProblem().empty())
        std::fprintf(stderr, "varim: this scan is not recorded for the metrics: %s\n", setup.recordProblem().c_str());
    bool mapWritten = true;
    if (options.mapFile) {
        std::string problem;
        mapWritten = WriteFileAtomically(*options.mapFile, app::SurfaceMapSvg(summary), problem);
        if (!mapWritten) std::fprintf(stderr, "varim: the surface map was not written: %s\n", problem.c_str());
    }

    if (options.json) {
        JsonWriter json;
        json.beginObject()
            .key("drive").value(n)
            .key("mode").value(outcome.mode == scan::ScanMode::Regenerate ? "regenerate" : "standard")
            .key("start").value(static_cast<std::int64_t>(fields.scanStart))
            .key("end").value(static_cast<std::int64_t>(fields.scanEnd))
            .key("completed").value(outcome.completed)
            .key("badCount").value(state.badCount)
            .key("repairedCount").value(state.repairedCount)
            .key("badBlocks").beginArray();
        for (std::int64_t lba : surface.badBlocks()) json.value(lba);
        json.endArray()
            .key("currentLba").value(static_cast<std::int64_t>(state.currentLba))
            .key("message").value(outcome.message)
            .key("seconds").value(seconds);
        WriteLatency(json, outcome.latency);
        json.endObject();
        std::printf("%s\n", json.text().c_str());
    }
    if (!outcome.completed) return kExitInterrupted;
    return mapWritten ? kExitDone : kExitFailed;
}

}  // namespace cli
