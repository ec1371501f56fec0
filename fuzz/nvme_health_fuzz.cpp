// An NVMe drive's health log page. Every field reads as the log holds it (little-endian, a
// 128-bit counter beyond 64 bits as the largest count), a temperature is only ever given
// within 0..400 C, and a critical warning or a media error always means failing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "disk/nvme_health.h"
#include "fuzz_check.h"

namespace {

std::uint64_t Little(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value * 256 + bytes[i];
    return value;
}

std::uint64_t Counter(const std::uint8_t* bytes) {
    return Little(bytes + 8, 8) != 0 ? std::numeric_limits<std::uint64_t>::max() : Little(bytes, 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t page[512] = {};
    std::memcpy(page, data, size < sizeof page ? size : sizeof page);
    const disk::NvmeHealth health = disk::DecodeNvmeHealthLog(page);

    const std::uint64_t expected[disk::kNvmeHealthFields] = {
        page[0], Little(page + 1, 2), page[3], page[4], page[5],
        Counter(page + 32), Counter(page + 48), Counter(page + 64), Counter(page + 80), Counter(page + 96),
        Counter(page + 112), Counter(page + 128), Counter(page + 144), Counter(page + 160), Counter(page + 176)};
    for (int field = 1; field <= disk::kNvmeHealthFields; ++field)
        FUZZ_CHECK(disk::NvmeFieldValue(health, field) == expected[field - 1]);
    FUZZ_CHECK(disk::NvmeFieldValue(health, 0) == 0 && disk::NvmeFieldValue(health, 16) == 0);

    if (const auto celsius = disk::NvmeCelsius(health)) FUZZ_CHECK(*celsius >= 0 && *celsius <= 400);
    if (health.criticalWarning != 0 || health.mediaErrors != 0) FUZZ_CHECK(disk::NvmeHealthFailing(health));
    return 0;
}
