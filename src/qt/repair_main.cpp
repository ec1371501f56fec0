// varim-repair: the window over this machine's drives. Opening them needs root: started by another
// user, it asks for an administrator's password through pkexec and runs the window as root; where
// that cannot be done it says how to run it as root, and the window says why it shows no drive.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/drive_availability.h"
#include "app/scan_records.h"
#include "drive_notice.h"
#include "elevation.h"
#include "platform/linux/file_folder.h"
#include "platform/linux/linux_kernel.h"
#include "platform/linux/record_file.h"
#include "platform/system.h"
#include "window_program.h"

namespace {

constexpr const char* kUsage =
    "usage: varim-repair [-h | --help] [--transfer-mib M]\n"
    "The Varim Hard Disk Repair window over this computer's disks. Started by a user other than\n"
    "root, it asks for an administrator's password through pkexec and restarts as root.\n"
    "  -h, --help             print this help and exit\n"
    "  --transfer-mib M       the scan reads, writes back and re-reads up to M MiB at a time\n"
    "                         (0 to 256; 0, the default, is one block of 100 sectors)\n";

// Restarts through pkexec when not root. Returns the status to end with, or -1 to go on with the
// window under this user's own rights.
int RestartAsRootIfNeeded(const std::vector<std::string>& args) {
    if (::geteuid() == 0) return -1;
    const qtui::EnvironmentLookup lookup = [](const char* name) {
        return static_cast<const char*>(std::getenv(name));
    };
    const std::string pkexec = qtui::FindPkexec(lookup);
    if (pkexec.empty()) {
        std::fprintf(
            stderr,
            "varim-repair: reading and repairing disks needs administrator rights, and pkexec is not "
            "installed to ask for them.\n%s\n",
            qtui::RunAsRootAdvice());
        return -1;
    }
    std::fprintf(stderr,
                 "varim-repair: reading and repairing disks needs administrator rights; asking for them "
                 "through pkexec.\n");
    const qtui::RestartResult result =
        qtui::RestartAsRoot(qtui::PkexecCommand(pkexec, platform::modulePath(), args, lookup));
    switch (result.outcome) {
        case qtui::RestartOutcome::Finished:
            return result.exitStatus;
        case qtui::RestartOutcome::Cancelled:
            std::fprintf(stderr, "varim-repair: not started: the authentication was cancelled.\n");
            return result.exitStatus;
        case qtui::RestartOutcome::NotPossible:
            break;
    }
    std::fprintf(stderr,
                 "varim-repair: pkexec could not get administrator rights (no polkit authentication agent is "
                 "running, or this user may not have them).\n%s\n",
                 qtui::RunAsRootAdvice());
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // Every argument is checked before rights are asked for, and the root side takes only the form
    // the restart builds: an administrator approves this window, not options a user slipped in.
    const std::vector<std::string> args(argv + 1, argv + argc);
    const qtui::RepairArguments request = qtui::ParseRepairArguments(args, ::geteuid() == 0);
    if (request.outcome == qtui::RepairArguments::Outcome::Refused) {
        std::fprintf(stderr, "varim-repair: %s\n%s", request.error.c_str(), kUsage);
        return 2;
    }
    if (request.outcome == qtui::RepairArguments::Outcome::Help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const int restartStatus = RestartAsRootIfNeeded(qtui::RootSideArguments(request));
    if (restartStatus >= 0) return restartStatus;
    for (const auto& [name, value] : request.session) ::setenv(name.c_str(), value.c_str(), 1);

    // Qt reads options of its own from the command line (plugin paths among them): it gets none.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    qtui::PrepareApplication(application);
    application.setDesktopFileName(QStringLiteral("example.varim.HddRepair"));

    // A kernel of its own, so this look leaves nothing behind in the window's.
    platform::linux::LinuxKernel lookKernel;
    qtui::ExplainMissingDrivesOnceShown(application, app::CheckDriveAvailability(lookKernel),
                                        ::geteuid() == 0);

    platform::linux::LinuxKernel kernel;
    platform::FixedOsVersion version;
    platform::ImmediateProcessExit processExit;
    platform::SystemClock clock;
    platform::linux::FileDurableFolder journal(platform::linux::stateJournalFolder());
    app::ScanRecords scanRecords(platform::linux::stateScanRecordsFolder());
    const app::DialogServices services{kernel, version, processExit, clock, platform::modulePath(), request.transferMib,
                                       &journal, &scanRecords};
    qtui::RunMainWindow(services);
    return 0;
}
