// varim-repair-demo: the window over a simulated machine, the built-in one or the machine file
// given as the argument; --transfer-mib M sets the scan's transfer size.
#include <QApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/demo_machine.h"
#include "app/scan_records.h"
#include "platform/durable_folder.h"
#include "platform/linux/file_folder.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/system.h"
#include "window_program.h"

namespace {

constexpr const char* kUsage =
    "usage: varim-repair-demo [-h | --help] [--transfer-mib M] [machine-file]\n"
    "The Varim Hard Disk Repair window over a simulated machine: the built-in demo machine, or the\n"
    "machine file given. Nothing on a real disk is touched.\n"
    "  -h, --help        print this help and exit\n"
    "  --transfer-mib M  the scan reads, writes back and re-reads up to M MiB at a time\n"
    "                    (0 to 256; 0, the default, is one block of 100 sectors)\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::uint32_t transferMib = 0;
    if (!qtui::TakeTransferOption(args, transferMib) || args.size() > 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string error;
    std::unique_ptr<platform::sim::SimulatedKernel> machine =
        args.size() == 1 ? platform::sim::SimulatedKernel::fromFile(args[0], error)
                  : platform::sim::SimulatedKernel::fromText(app::DemoMachineText(), ".", "demo machine", error);
    if (!machine) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // Nobody reads the call log here, and a long scan would grow it without bound.
    machine->setLogging(false);
    QApplication application(argc, argv);
    qtui::PrepareApplication(application);
    platform::ImmediateProcessExit processExit;
    platform::SystemClock clock;
    // A machine file keeps its repair journal beside it; the built-in machine's drives live in
    // memory, and so does its journal.
    std::unique_ptr<platform::DurableFolder> journal;
    if (args.size() == 1)
        journal = std::make_unique<platform::linux::FileDurableFolder>(args[0] + ".journal");
    else
        journal = std::make_unique<platform::MemoryDurableFolder>();
    // The machine answers the version query too, so a machine file can show the refusal.
    // Scan records likewise live beside a machine file; the built-in machine keeps none.
    std::unique_ptr<app::ScanRecords> scanRecords;
    if (args.size() == 1) scanRecords = std::make_unique<app::ScanRecords>(args[0] + ".scans");
    const app::DialogServices services{*machine, *machine, processExit, clock, platform::modulePath(), transferMib,
                                       journal.get(), scanRecords.get()};
    qtui::RunMainWindow(services);
    return 0;
}
