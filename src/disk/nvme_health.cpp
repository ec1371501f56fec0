#include "disk/nvme_health.h"

namespace disk {
namespace {

constexpr int kKelvinAtZeroCelsius = 273;
constexpr int kHottestCelsius = 400;

std::uint64_t Counter128(const std::uint8_t* field) {
    std::uint64_t low = 0;
    for (int i = 7; i >= 0; --i) low = (low << 8) | field[i];
    for (int i = 8; i < 16; ++i)
        if (field[i] != 0) return UINT64_MAX;
    return low;
}

}  // namespace

NvmeHealth DecodeNvmeHealthLog(const std::uint8_t* page) {
    NvmeHealth health;
    health.criticalWarning = page[0];
    health.temperatureKelvin = static_cast<std::uint16_t>(page[1] | (page[2] << 8));
    health.availableSpare = page[3];
    health.availableSpareThreshold = page[4];
    health.percentageUsed = page[5];
    health.dataUnitsRead = Counter128(page + 32);
    health.dataUnitsWritten = Counter128(page + 48);
    health.hostReadCommands = Counter128(page + 64);
    health.hostWriteCommands = Counter128(page + 80);
    health.controllerBusyMinutes = Counter128(page + 96);
    health.powerCycles = Counter128(page + 112);
    health.powerOnHours = Counter128(page + 128);
    health.unsafeShutdowns = Counter128(page + 144);
    health.mediaErrors = Counter128(page + 160);
    health.errorLogEntries = Counter128(page + 176);
    const auto u32 = [page](int at) {
        return static_cast<std::uint32_t>(page[at] | (page[at + 1] << 8) | (page[at + 2] << 16)) |
               (static_cast<std::uint32_t>(page[at + 3]) << 24);
    };
    health.warningTemperatureMinutes = u32(192);
    health.criticalTemperatureMinutes = u32(196);
    for (std::size_t i = 0; i < health.sensorKelvin.size(); ++i)
        health.sensorKelvin[i] = static_cast<std::uint16_t>(page[200 + 2 * i] | (page[201 + 2 * i] << 8));
    return health;
}

std::uint64_t NvmeFieldValue(const NvmeHealth& health, int number) {
    switch (number) {
        case 1: return health.criticalWarning;
        case 2: return health.temperatureKelvin;
        case 3: return health.availableSpare;
        case 4: return health.availableSpareThreshold;
        case 5: return health.percentageUsed;
        case 6: return health.dataUnitsRead;
        case 7: return health.dataUnitsWritten;
        case 8: return health.hostReadCommands;
        case 9: return health.hostWriteCommands;
        case 10: return health.controllerBusyMinutes;
        case 11: return health.powerCycles;
        case 12: return health.powerOnHours;
        case 13: return health.unsafeShutdowns;
        case 14: return health.mediaErrors;
        case 15: return health.errorLogEntries;
        default: return 0;
    }
}

std::optional<int> BelievableCelsius(std::uint32_t kelvin) {
    const std::int64_t celsius = static_cast<std::int64_t>(kelvin) - kKelvinAtZeroCelsius;
    if (kelvin == 0 || celsius < 0 || celsius > kHottestCelsius) return std::nullopt;
    return static_cast<int>(celsius);
}

std::optional<int> NvmeCelsius(const NvmeHealth& health) { return BelievableCelsius(health.temperatureKelvin); }

bool NvmeHealthFailing(const NvmeHealth& health) {
    const bool believable =
        NvmeCelsius(health).has_value() && health.availableSpare <= 100 && health.availableSpareThreshold <= 100;
    return !believable || health.criticalWarning != 0 || health.availableSpare < health.availableSpareThreshold ||
           health.percentageUsed >= 100 || health.mediaErrors > 0;
}

}  // namespace disk
