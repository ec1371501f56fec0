// The simulated machine's cost per transfer: reads and writes of one 100-sector block, with
// the call log on (tests) and off (the demo window).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/sim/simulated_kernel.h"

namespace {

using namespace platform;

void BlockTransfers(benchmark::State& state) {
    std::string error;
    auto kernel = sim::SimulatedKernel::fromText("[Drive0]\nSectors = 4294968296\nWeak = 1000-2000\n", "",
                                                 "bench", error);
    kernel->setLogging(state.range(0) != 0);
    const Handle h = kernel->createFile("\\\\.\\PHYSICALDRIVE0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0);
    std::vector<std::uint8_t> block(51200, 0x5A);
    std::uint64_t lba = 0;
    for (auto _ : state) {
        std::int32_t high = static_cast<std::int32_t>((lba * 512) >> 32);
        kernel->setFilePointer(h, static_cast<std::int32_t>((lba * 512) & 0xFFFFFFFFu), &high, FILE_BEGIN);
        DWORD done = 0;
        kernel->readFile(h, block.data(), 51200, &done);
        kernel->setFilePointer(h, static_cast<std::int32_t>((lba * 512) & 0xFFFFFFFFu), &high, FILE_BEGIN);
        kernel->writeFile(h, block.data(), 51200, &done);
        lba = (lba + 100) % 200000;
        if (state.range(0) != 0 && kernel->calls().size() > 100000) kernel->clearCalls();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * 51200);
    kernel->closeHandle(h);
}
BENCHMARK(BlockTransfers)->Arg(0)->Arg(1);

}  // namespace
