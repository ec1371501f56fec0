// selftest and log: the drive's own self-tests and the logs it keeps.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <thread>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/self_test_report.h"
#include "cli/signals.h"
#include "disk/self_test.h"
#include "health/self_test_texts.h"

namespace cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFirstPoll = std::chrono::milliseconds(500);
constexpr auto kPollEvery = std::chrono::seconds(2);

std::string DriveName(int n) { return "Drive " + std::to_string(n); }

// Sleeps up to a while; false as soon as Ctrl+C (or SIGTERM, SIGHUP) arrives.
bool SleepUnlessStopped(Clock::duration length) {
    const auto end = Clock::now() + length;
    while (Clock::now() < end) {
        if (TakeStopSignal() != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return TakeStopSignal() == 0;
}

struct Outcome {
    bool have = false;
    disk::SelfTestEntry entry;
};

// What the drive now says about its last test: the newest log entry.
Outcome LastResult(disk::DriveAccess& access, platform::Handle handle, int n, const disk::SelfTestState& state) {
    Outcome outcome;
    const disk::DriveLogs logs = disk::ReadDriveLogs(access, handle, n, state);
    if (logs.selfTestLogRead && logs.selfTestCount > 0) {
        outcome.have = true;
        outcome.entry = logs.selfTests[0];
    }
    return outcome;
}

int PrintStart(const Context& context, int n, const std::string& test, bool started, int minutes,
               const Outcome* result, health::LogTransport transport) {
    if (!context.options.json) return kExitDone;
    JsonWriter json;
    json.beginObject().key("drive").value(n).key("test").value(test).key("started").value(started);
    json.key("estimatedMinutes");
    if (minutes >= 0) json.value(minutes); else json.null();
    json.key("result");
    if (result != nullptr && result->have) WriteSelfTestEntry(json, transport, result->entry); else json.null();
    json.endObject();
    std::printf("%s\n", json.text().c_str());
    return kExitDone;
}

}  // namespace

int RunSelfTest(const Context& context) {
    const int n = context.options.drive;
    const std::string& test = context.options.selfTest;
    disk::DriveAccess access(context.kernel);
    const platform::Handle handle = access.OpenDrive(n, disk::OpenProfile::Probe);
    if (handle == platform::kInvalidHandle) return Refuse(context, DriveOpenFailure(context, n, access.LastError()));
    struct Closer {
        disk::DriveAccess& access;
        platform::Handle handle;
        ~Closer() { access.CloseDrive(handle); }
    } closer{access, handle};

    disk::SelfTestState state = disk::ReadSelfTestState(access, handle, n);
    const health::LogTransport transport = LogTransportOf(state);
    if (!state.smart) return Refuse(context, DriveName(n) + " has no S.M.A.R.T.: it cannot run self-tests");
    if (!state.stateRead)
        return Refuse(context, DriveName(n) + ": its self-test status cannot be read (error " +
                                   std::to_string(access.LastError()) + ")");
    const bool anySupported = state.supported[0] || state.supported[1] || state.supported[2];
    if (test != "abort" && !anySupported) return Refuse(context, DriveName(n) + " does not support self-tests");

    int minutes = -1;
    bool started = false;
    if (test == "abort") {
        if (!state.running) {
            if (!context.options.json) std::printf("%s: no self-test is running.\n", DriveName(n).c_str());
            return PrintStart(context, n, test, false, -1, nullptr, transport);
        }
        if (!disk::AbortSelfTest(access, handle, n, state))
            return Refuse(context, DriveName(n) + " did not accept the abort (error " +
                                       std::to_string(access.LastError()) + ")");
        started = true;
        if (!context.options.json) std::printf("%s: self-test aborted.\n", DriveName(n).c_str());
    } else {
        const disk::SelfTestKind kind = test == "short"      ? disk::SelfTestKind::Short
                                        : test == "extended" ? disk::SelfTestKind::Extended
                                                             : disk::SelfTestKind::Conveyance;
        const auto index = static_cast<std::size_t>(kind) - 1;
        if (!state.supported[index])
            return Refuse(context, DriveName(n) + " does not support the " + test + " self-test");
        if (state.running)
            return Refuse(context, DriveName(n) + " is already running a self-test (" +
                                       std::to_string(state.remainingPercent) +
                                       "% remaining); abort it first or wait for it");
        if (disk::StartSelfTest(access, handle, n, state, kind) != disk::StartResult::Started)
            return Refuse(context, DriveName(n) + " did not start the " + test + " self-test (error " +
                                       std::to_string(access.LastError()) + ")");
        started = true;
        minutes = state.minutes[index];
        if (!context.options.json)
            std::printf("%s: %s self-test started; the drive expects it to take %d minute%s.\n", DriveName(n).c_str(),
                        test.c_str(), minutes, minutes == 1 ? "" : "s");
    }
    if (!context.options.wait) return PrintStart(context, n, test, started, minutes, nullptr, transport);

    // Follow the test: the drive's own percent remaining, until it no longer runs. Ctrl+C
    // stops the waiting only; the drive goes on with its test.
    InstallStopSignals();
    TakeStopSignal();
    bool first = true;
    while (true) {
        if (!SleepUnlessStopped(first ? Clock::duration(kFirstPoll) : Clock::duration(kPollEvery))) {
            std::fprintf(stderr, "varim: stopped waiting; the self-test goes on in the drive\n");
            if (context.options.json) PrintStart(context, n, test, started, minutes, nullptr, transport);
            return kExitInterrupted;
        }
        first = false;
        state = disk::ReadSelfTestState(access, handle, n);
        if (!state.stateRead) return Refuse(context, DriveName(n) + ": its self-test status cannot be read");
        if (!state.running) break;
        std::fprintf(stderr, "%s: %s self-test, %d%% remaining\n", DriveName(n).c_str(), test.c_str(),
                     state.remainingPercent);
    }
    const Outcome result = LastResult(access, handle, n, state);
    if (!result.have) return Refuse(context, DriveName(n) + ": the self-test ended but its log cannot be read");
    const int code = result.entry.statusCode;
    const std::string status = health::SelfTestStatusText(transport, code);
    if (!context.options.json) {
        std::printf("%s: %s self-test %s", DriveName(n).c_str(),
                    health::SelfTestTypeName(transport, result.entry.type).c_str(), status.c_str());
        if (result.entry.hasLba) std::printf(" at LBA %" PRIu64, result.entry.lba);
        std::printf(".\n");
    }
    PrintStart(context, n, test, started, minutes, &result, transport);
    if (health::SelfTestPassed(transport, code) || (test == "abort" && !health::SelfTestFailed(transport, code)))
        return kExitDone;
    if (health::SelfTestFailed(transport, code)) return kExitTestFailed;
    std::fprintf(stderr, "varim: %s: the self-test did not finish: %s\n", DriveName(n).c_str(), status.c_str());
    return kExitFailed;
}

int RunLog(const Context& context) {
    const int n = context.options.drive;
    disk::DriveAccess access(context.kernel);
    const platform::Handle handle = access.OpenDrive(n, disk::OpenProfile::Probe);
    if (handle == platform::kInvalidHandle) return Refuse(context, DriveOpenFailure(context, n, access.LastError()));
    const disk::SelfTestState state = disk::ReadSelfTestState(access, handle, n);
    const disk::DriveLogs logs = disk::ReadDriveLogs(access, handle, n, state);
    const unsigned error = access.LastError();
    access.CloseDrive(handle);
    if (!state.smart) return Refuse(context, DriveName(n) + " has no S.M.A.R.T.: it keeps no logs this program can read");
    const bool supported = state.supported[0] || state.supported[1] || state.supported[2];
    if (!logs.errorLogRead || (supported && !logs.selfTestLogRead))
        return Refuse(context, DriveName(n) + ": its logs cannot be read (error " + std::to_string(error) + ")");
    if (context.options.json) {
        std::printf("%s\n", LogDocument(n, state, logs).c_str());
    } else {
        PrintLogs(n, state, logs);
    }
    return kExitDone;
}

}  // namespace cli
