// The block loop in process on a simulated drive without latency: what the engine itself costs
// per block (buffers, comparison, status line, pump), apart from the drive.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>

#include "disk/drive_access.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/silent_surface.h"
#include "platform/system.h"
#include "scan/scan_engine.h"

namespace {

// A window that keeps only the range fields and answers every question with No (Standard mode).
class QuietSurface final : public platform::SilentSurface {
public:
    std::string start = "0", end = "0";
    std::string controlText(int id) override { return id == 1012 ? start : id == 1013 ? end : std::string(); }
};

void BM_StandardScanPerBlock(benchmark::State& state) {
    const std::int64_t blocks = state.range(0);
    std::string error;
    auto kernel = platform::sim::SimulatedKernel::fromText(
        "[Drive0]\nSectors = " + std::to_string(blocks * 100) + "\n", ".", "bench.ini", error);
    kernel->setLogging(false);
    disk::DriveAccess drives(*kernel);
    QuietSurface surface;
    surface.end = std::to_string(blocks * 100 - 120);
    platform::SystemClock clock;
    scan::ScanState scanState;
    scan::ScanFields fields;
    scan::ScanEngine engine(drives, surface, clock, scanState, [](int) { return std::string(); });
    for (auto _ : state) benchmark::DoNotOptimize(engine.Scan(fields).completed);
    state.SetItemsProcessed(state.iterations() * blocks);
    state.SetBytesProcessed(state.iterations() * blocks * 51200);
}
BENCHMARK(BM_StandardScanPerBlock)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
