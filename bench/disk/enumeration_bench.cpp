// Enumerating and probing a machine with 24 fixed drives (C to Z), each answering every
// S.M.A.R.T. request with a full value and threshold page.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "disk/drive_probe.h"
#include "platform/sim/simulated_kernel.h"

namespace {

std::string TwentyFourDrives() {
    std::string text = "[Machine]\nLetters =";
    for (char letter = 'C'; letter <= 'Z'; ++letter) text += std::string(" ") + letter + ":fixed";
    text += "\n";
    for (int n = 0; n < 24; ++n) {
        text += "[Drive" + std::to_string(n) + "]\nSectors = 2000000\nModel = SIMDISK " + std::to_string(n) +
                "\nSerial = SIM" + std::to_string(n) + "\n";
        for (int j = 0; j < 30; ++j) {
            text += "Attribute." + std::to_string(j) + " = " + std::to_string(j + 1) + ", 0x0032, 100, 99, " +
                    std::to_string(j) + " 0 0 0 0 0\n";
            text += "Threshold." + std::to_string(j) + " = " + std::to_string(j + 1) + ", 10\n";
        }
    }
    return text;
}

void EnumerateTwentyFourDrives(benchmark::State& state) {
    std::string error;
    auto kernel = platform::sim::SimulatedKernel::fromText(TwentyFourDrives(), "/nonexistent", "bench.ini", error);
    if (!kernel) {
        state.SkipWithError(error.c_str());
        return;
    }
    kernel->setLogging(false);
    disk::DriveAccess access(*kernel);
    disk::DriveTable table("/nonexistent/varim-bench");
    for (auto _ : state) {
        disk::EnumerateDrives(access, table);
        benchmark::DoNotOptimize(table.drivesRead);
    }
    if (table.drivesRead != 24) state.SkipWithError("not every drive was read");
    state.counters["drives"] = table.drivesRead;
}
BENCHMARK(EnumerateTwentyFourDrives)->Unit(benchmark::kMicrosecond);

}  // namespace
