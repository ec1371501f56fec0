// The block loop in process on a simulated drive without latency: what the engine itself costs
// per block (buffers, comparison, status line, pump), apart from the drive.
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>

#include "disk/drive_access.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "scan/scan_engine.h"

namespace {

// A window that keeps only the range fields and answers every question with No (Standard mode).
class QuietSurface final : public platform::Surface {
public:
    std::string start = "0", end = "0";
    std::string controlText(int id) override { return id == 1012 ? start : id == 1013 ? end : std::string(); }
    void setControlText(int, std::string_view) override {}
    void showControl(int, bool) override {}
    void enableControl(int, bool) override {}
    int listAddString(int, std::string_view) override { return 0; }
    void listClear(int) override {}
    int listCount(int) override { return 0; }
    std::string listText(int, int) override { return {}; }
    void listSetItemData(int, int, std::intptr_t) override {}
    std::intptr_t listItemData(int, int) override { return 0; }
    int listSelection(int) override { return -1; }
    void listSetSelection(int, int) override {}
    void viewDeleteAllItems(int) override {}
    void viewAddExtendedStyle(int, platform::DWORD) override {}
    int viewColumnCount(int) override { return 0; }
    void viewDeleteColumn(int, int) override {}
    int viewClientWidth(int) override { return 0; }
    void viewInsertColumn(int, int, std::string_view, int) override {}
    int viewInsertItem(int, int, std::string_view) override { return 0; }
    void viewSetItemText(int, int, int, std::string_view) override {}
    int viewSelectionMark(int) override { return -1; }
    void setProgressPosition(int, int) override {}
    void setSliderTickFrequency(int, int) override {}
    void setSliderThumbColours(int, platform::DWORD, platform::DWORD) override {}
    void setUpHoverButton(int, int, std::string_view) override {}
    bool loadBackground(int) override { return true; }
    void setWindowIcon() override {}
    void setTitle(std::string_view) override {}
    std::string title() override { return {}; }
    void requestRepaint() override {}
    int messageBox(std::string_view, std::string_view, platform::DWORD type) override {
        return (type & 0xF) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
    }
    std::optional<std::string> fileDialog(const platform::FileDialogRequest&) override { return std::nullopt; }
    void pumpOneMessage() override {}
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
