// varim: the console twin of the window. The same enumeration, probe, catalogue, scan engine,
// session file and speed test, on the real drives, on explicit devices or image files, or on
// a simulated machine.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/demo_machine.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "platform/durable_folder.h"
#include "platform/linux/file_folder.h"
#include "platform/linux/linux_kernel.h"
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
std::unique_ptr<platform::DurableFolder> MakeJournal(const cli::Options& options) {
    if (options.demo) return std::make_unique<platform::MemoryDurableFolder>();
    if (options.machineFile) return std::make_unique<platform::linux::FileDurableFolder>(*options.machineFile + ".journal");
    return std::make_unique<platform::linux::FileDurableFolder>(platform::linux::stateJournalFolder());
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

int main(int argc, char** argv) {
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
    auto journal = MakeJournal(*options);
    cli::Context context{*options, *kernel, realMachine, platform::modulePath(), journal.get()};
    // Interrupted repairs are written back before anything else touches the drives; the metrics
    // exporter only looks (its stdout is the exposition) and the catalogue touches no drive.
    const cli::Command command = options->command;
    if (command != cli::Command::Recover && command != cli::Command::Catalogue && command != cli::Command::Metrics)
        cli::RecoverAtStart(context);
    return Dispatch(context);
}
