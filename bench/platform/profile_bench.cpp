// Parsing an INI text of 10,000 sections, and looking up every one of its keys.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/profile.h"

namespace {

std::string TenThousandSections() {
    std::string text = "[General]\nMax Attributes=10000\n";
    for (int i = 0; i < 10000; ++i) {
        text += "[Attrib" + std::to_string(i) + "]\nId=" + std::to_string(i % 256) +
                "\nCritical=" + std::to_string(i % 2) + "\nName=Attribute name " + std::to_string(i) +
                "\nDetails=Some details text for attribute section number " + std::to_string(i) + "\n";
    }
    return text;
}

void ParseTenThousandSections(benchmark::State& state) {
    const std::string text = TenThousandSections();
    for (auto _ : state) {
        const platform::Profile profile = platform::Profile::fromText(text);
        benchmark::DoNotOptimize(profile.lines().size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(ParseTenThousandSections)->Unit(benchmark::kMillisecond);

void LookUpEveryKey(benchmark::State& state) {
    const platform::Profile profile = platform::Profile::fromText(TenThousandSections());
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (int i = 0; i < 10000; ++i) {
            const std::string section = "Attrib" + std::to_string(i);
            sum += profile.getInt(section, "Id", 0) + profile.getInt(section, "Critical", 0);
            sum += static_cast<std::int64_t>(profile.getString(section, "Name", "", 1024).size());
            sum += static_cast<std::int64_t>(profile.getString(section, "Details", "", 1024).size());
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(LookUpEveryKey)->Unit(benchmark::kMillisecond);

}  // namespace
