// varim-repair-demo: the window over a simulated machine, the built-in one or the machine file
// given as the only argument.
#include <QApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "app/demo_machine.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/system.h"
#include "window_program.h"

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [machine-file]\n", argv[0]);
        return 2;
    }
    std::string error;
    std::unique_ptr<platform::sim::SimulatedKernel> machine =
        argc == 2 ? platform::sim::SimulatedKernel::fromFile(argv[1], error)
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
    // The machine answers the version query too, so a machine file can show the refusal.
    const app::DialogServices services{*machine, *machine, processExit, clock, platform::modulePath()};
    qtui::RunMainWindow(services);
    return 0;
}
