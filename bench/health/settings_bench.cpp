// Loading a settings file with 10,000 attribute sections, with the count it declares and with
// a count far beyond its sections; and building the catalogue.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "health/attribute_catalogue.h"
#include "health/attribute_settings.h"

namespace {

namespace fs = std::filesystem;

// Writes <dir>/bench.ini and returns the executable path that reads it.
std::string WriteSettings(const std::string& maxAttributes) {
    const fs::path dir = fs::temp_directory_path() / "varim_settings_bench";
    fs::create_directories(dir);
    std::ofstream ini(dir / "bench.ini", std::ios::binary);
    ini << "[General]\nMax Attributes=" << maxAttributes << "\n";
    for (int i = 0; i < 10000; ++i) {
        ini << "[Attrib" << i << "]\nId=" << (i % 256) << "\nCritical=" << (i % 2) << "\nName=Attribute name " << i
            << "\nDetails=Some details text for attribute section number " << i << "\n";
    }
    return (dir / "bench.exe").string();
}

void LoadTenThousandSections(benchmark::State& state) {
    const std::string exe = WriteSettings("10000");
    health::AttributeSettings store;
    for (auto _ : state) {
        health::LoadAttributeSettings(store, exe);
        benchmark::DoNotOptimize(store.size());
    }
    state.counters["entries"] = static_cast<double>(store.size());
}
BENCHMARK(LoadTenThousandSections)->Unit(benchmark::kMillisecond);

void LoadTenThousandSectionsWithHugeCount(benchmark::State& state) {
    const std::string exe = WriteSettings("2000000000");
    health::AttributeSettings store;
    for (auto _ : state) {
        health::LoadAttributeSettings(store, exe);
        benchmark::DoNotOptimize(store.size());
    }
    state.counters["entries"] = static_cast<double>(store.size());
}
BENCHMARK(LoadTenThousandSectionsWithHugeCount)->Unit(benchmark::kMillisecond);

void BuildCatalogue(benchmark::State& state) {
    health::AttributeCatalogue catalogue;
    for (auto _ : state) {
        catalogue.BuildCatalogue();
        benchmark::DoNotOptimize(catalogue.AttributeName(194).data());
    }
}
BENCHMARK(BuildCatalogue);

}  // namespace
