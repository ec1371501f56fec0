#include "app/self_test_panel.h"

#include "health/self_test_texts.h"

namespace app {
namespace {

const char* KindName(disk::SelfTestKind kind) {
    switch (kind) {
        case disk::SelfTestKind::Short: return "short";
        case disk::SelfTestKind::Extended: return "extended";
        case disk::SelfTestKind::Conveyance: return "conveyance";
    }
    return "";
}

health::LogTransport TransportOf(const disk::SelfTestState& state) {
    return state.transport == disk::Transport::Nvme ? health::LogTransport::Nvme : health::LogTransport::Ata;
}

std::string DriveName(int drive) { return "Drive " + std::to_string(drive); }

bool InRange(int drive) { return drive >= 0 && drive < kSelfTestDrives; }

// An open Probe handle, closed when it goes out of scope.
class OpenDrive {
public:
    OpenDrive(disk::DriveAccess& access, int drive)
        : access_(access), handle_(access.OpenDrive(drive, disk::OpenProfile::Probe)) {}
    ~OpenDrive() {
        if (handle_ != platform::kInvalidHandle) access_.CloseDrive(handle_);
    }
    OpenDrive(const OpenDrive&) = delete;
    OpenDrive& operator=(const OpenDrive&) = delete;
    platform::Handle handle() const { return handle_; }
    bool ok() const { return handle_ != platform::kInvalidHandle; }

private:
    disk::DriveAccess& access_;
    platform::Handle handle_;
};

}  // namespace

std::string SelfTestPanel::Start(int drive, disk::SelfTestKind kind) {
    const std::string name = KindName(kind);
    OpenDrive open(access_, drive);
    if (!InRange(drive) || !open.ok()) return DriveName(drive) + " cannot be opened";
    const disk::SelfTestState state = disk::ReadSelfTestState(access_, open.handle(), drive);
    if (!state.smart) return DriveName(drive) + " has no S.M.A.R.T.: no self-test";
    if (!state.stateRead) return DriveName(drive) + ": the self-test status cannot be read";
    switch (disk::StartSelfTest(access_, open.handle(), drive, state, kind)) {
        case disk::StartResult::Started: {
            following_[static_cast<std::size_t>(drive)] = true;
            const int minutes = state.minutes[static_cast<std::size_t>(kind) - 1];
            return DriveName(drive) + ": " + name + " self-test started, about " + std::to_string(minutes) +
                   (minutes == 1 ? " minute" : " minutes");
        }
        case disk::StartResult::Unsupported: return DriveName(drive) + " does not support the " + name + " self-test";
        case disk::StartResult::Busy:
            following_[static_cast<std::size_t>(drive)] = true;
            return DriveName(drive) + " is already running a self-test";
        case disk::StartResult::Failed: break;
    }
    return DriveName(drive) + " did not start the " + name + " self-test (error " +
           std::to_string(access_.LastError()) + ")";
}

std::string SelfTestPanel::Abort(int drive) {
    OpenDrive open(access_, drive);
    if (!InRange(drive) || !open.ok()) return DriveName(drive) + " cannot be opened";
    const disk::SelfTestState state = disk::ReadSelfTestState(access_, open.handle(), drive);
    if (!state.smart) return DriveName(drive) + " has no S.M.A.R.T.: no self-test";
    if (!state.running) return DriveName(drive) + ": no self-test is running";
    if (!disk::AbortSelfTest(access_, open.handle(), drive, state))
        return DriveName(drive) + " did not accept the abort (error " + std::to_string(access_.LastError()) + ")";
    return DriveName(drive) + ": self-test aborted";
}

std::string SelfTestPanel::ProgressLine(int drive) {
    if (!InRange(drive) || !following_[static_cast<std::size_t>(drive)]) return {};
    OpenDrive open(access_, drive);
    if (!open.ok()) return {};
    const disk::SelfTestState state = disk::ReadSelfTestState(access_, open.handle(), drive);
    if (!state.running) return {};
    return DriveName(drive) + ": self-test running, " + std::to_string(state.remainingPercent) + "% remaining";
}

std::vector<std::string> SelfTestPanel::Poll() {
    std::vector<std::string> lines;
    for (int drive = 0; drive < kSelfTestDrives; ++drive) {
        bool& following = following_[static_cast<std::size_t>(drive)];
        if (!following) continue;
        OpenDrive open(access_, drive);
        if (!open.ok()) {
            following = false;
            lines.push_back(DriveName(drive) + " is gone; its self-test is no longer followed");
            continue;
        }
        const disk::SelfTestState state = disk::ReadSelfTestState(access_, open.handle(), drive);
        if (!state.stateRead || state.running) continue;
        following = false;
        lines.push_back(ResultLine(drive, open.handle(), state));
    }
    return lines;
}

bool SelfTestPanel::Following() const {
    for (const bool following : following_) {
        if (following) return true;
    }
    return false;
}

std::string SelfTestPanel::ResultLine(int drive, platform::Handle handle, const disk::SelfTestState& state) {
    const disk::DriveLogs logs = disk::ReadDriveLogs(access_, handle, drive, state);
    if (!logs.selfTestLogRead || logs.selfTestCount == 0)
        return DriveName(drive) + ": the self-test ended; its result cannot be read";
    const disk::SelfTestEntry& last = logs.selfTests[0];
    const health::LogTransport transport = TransportOf(state);
    std::string line = DriveName(drive) + ": " + health::SelfTestTypeName(transport, last.type) + " self-test " +
                       health::SelfTestStatusText(transport, last.statusCode);
    if (last.hasLba) line += " at LBA " + std::to_string(last.lba);
    return line;
}

DriveLogTables SelfTestPanel::Logs(int drive) {
    DriveLogTables tables;
    OpenDrive open(access_, drive);
    if (!InRange(drive) || !open.ok()) {
        tables.note = DriveName(drive) + " cannot be opened";
        return tables;
    }
    const disk::SelfTestState state = disk::ReadSelfTestState(access_, open.handle(), drive);
    if (!state.smart) {
        tables.note = DriveName(drive) + " has no S.M.A.R.T.: it keeps no logs this program can read";
        return tables;
    }
    const disk::DriveLogs logs = disk::ReadDriveLogs(access_, open.handle(), drive, state);
    const bool supported = state.supported[0] || state.supported[1] || state.supported[2];
    if (!logs.errorLogRead || (supported && !logs.selfTestLogRead)) {
        tables.note = DriveName(drive) + ": its logs cannot be read (error " + std::to_string(access_.LastError()) + ")";
        return tables;
    }
    tables.read = true;
    if (!supported) tables.note = DriveName(drive) + " does not run self-tests";
    const health::LogTransport transport = TransportOf(state);
    for (int i = 0; i < logs.selfTestCount; ++i) {
        const disk::SelfTestEntry& e = logs.selfTests[static_cast<std::size_t>(i)];
        tables.selfTests.push_back({health::SelfTestTypeName(transport, e.type),
                                    health::SelfTestStatusText(transport, e.statusCode),
                                    e.remainingPercent >= 0 ? std::to_string(e.remainingPercent) + "%" : "-",
                                    std::to_string(e.powerOnHours), e.hasLba ? std::to_string(e.lba) : "-"});
    }
    tables.errorSummary = std::to_string(logs.errorCount) + (logs.errorCount == 1 ? " error" : " errors") +
                          " counted, " + std::to_string(logs.errorEntries) +
                          (logs.errorEntries == 1 ? " entry" : " entries") + " kept";
    for (int i = 0; i < logs.errorEntries; ++i) {
        const disk::DriveErrorEntry& e = logs.errors[static_cast<std::size_t>(i)];
        tables.errors.push_back({e.hasHours ? std::to_string(e.powerOnHours) : "-", std::to_string(e.lba),
                                 health::DriveErrorText(transport, e.status)});
    }
    return tables;
}

}  // namespace app
