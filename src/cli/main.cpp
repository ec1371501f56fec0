// The console tool's body: the kernel and repair journal it runs on, then the command (main()
// itself is in varim_main.cpp).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/demo_machine.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/program.h"
#include "platform/durable_folder.h"
#include "platform/linux/file_folder.h"
#include "platform/linux/linux_kernel.h"
#include "platform/linux/record_file.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/system.h"

namespace {

// A simulated machine keeps no call log here: nobody reads it, and a long scan would grow it
// without bound.
std::unique_ptr<platform::Kernel> Unlogged(std::unique_ptr<platform::sim::SimulatedKernel> kernel) {
    if (kernel) kernel->setLogging(false);
    return kernel;
}

std::unique_ptr<platform::Kernel> MakeKernel(const cli::Options& options, std::string& error) {
    if (options.demo)
        return Unlogged(platform::sim::SimulatedKernel::fromText(app::DemoMachineText(), ".", "demo machine", error));
    if (options.machineFile) return Unlogged(platform::sim::SimulatedKernel::fromFile(*options.machineFile, error));
    if (!options.devices.empty()) return std::make_unique<platform::linux::LinuxKernel>(options.devices);
    return std::make_unique<platform::linux::LinuxKernel>();
}

// A simulated machine keeps its repair journal beside its file, the built-in one in memory (its
// drives live there too); real drives use this user's state folder.
std::unique_ptr<platform::DurableFolder> MakeJournal(const cli::Options& options, cli::JournalUse journalUse) {
    if (journalUse == cli::JournalUse::Unjournaled) return nullptr;
    if (options.demo) return std::make_unique<platform::MemoryDurableFolder>();
    if (options.machineFile) return std::make_unique<platform::linux::FileDurableFolder>(*options.machineFile + ".journal");
    return std::make_unique<platform::linux::FileDurableFolder>(platform::linux::stateJournalFolder());
}

// Scan records live where the journal does: beside a machine file, in this user's state folder
// for real drives; the built-in machine's drives are gone when it ends, so it keeps none.
std::unique_ptr<app::ScanRecords> MakeScanRecords(const cli::Options& options) {
    if (options.demo) return nullptr;
    if (options.machineFile) return std::make_unique<app::ScanRecords>(*options.machineFile + ".scans");
    return std::make_unique<app::ScanRecords>(platform::linux::stateScanRecordsFolder());
}

int Dispatch(const cli::Context& context) {
    switch (context.options.command) {
        case cli::Command::Drives: return cli::RunDrives(context);
        case cli::Command::Smart: return cli::RunSmart(context);
        case cli::Command::Catalogue: return cli::RunCatalogue(context);
        case cli::Command::Scan: return cli::RunScan(context);
        case cli::Command::Speed: return cli::RunSpeed(context);
        case cli::Command::Metrics: return cli::RunMetrics(context);
        case cli::Command::Recover: return cli::RunRecover(context);
        case cli::Command::SelfTest: return cli::RunSelfTest(context);
        case cli::Command::Log: return cli::RunLog(context);
        case cli::Command::None: break;
    }
    return cli::kExitUsage;
}

}  // namespace

namespace cli {

int RunProgram(int argc, char** argv, JournalUse journalUse) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = cli::ParseOptions(args, error);
    if (!options) {
        if (error == "help") {
            std::fputs(cli::UsageText(), stdout);
            return cli::kExitDone;
        }
        std::fprintf(stderr, "varim: %s\n%s", error.c_str(), cli::UsageText());
        return cli::kExitUsage;
    }
    auto kernel = MakeKernel(*options, error);
    if (!kernel) {
        std::fprintf(stderr, "varim: %s\n", error.c_str());
        return cli::kExitFailed;
    }
    bool realMachine = !options->machineFile && options->devices.empty() && !options->demo;
    auto journal = MakeJournal(*options, journalUse);
    auto scanRecords = MakeScanRecords(*options);
    cli::Context context{*options, *kernel, realMachine, platform::modulePath(), journal.get(), scanRecords.get()};
    // Only recover, and a scan for its own drive, write interrupted repairs back; commands that
    // look say that some wait. The catalogue touches no drive.
    const cli::Command command = options->command;
    if (command != cli::Command::Recover && command != cli::Command::Scan && command != cli::Command::Catalogue)
        cli::NotePendingRepairs(context);
    return Dispatch(context);
}

}  // namespace cli
