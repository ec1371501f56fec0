#pragma once
// An NVMe drive's SMART / Health Information log (log page 02h), decoded, and the rule that
// judges it.
#include <array>
#include <cstdint>
#include <optional>

namespace disk {

inline constexpr int kNvmeHealthFields = 15;  // numbered 1..15 in log order

struct NvmeHealth {
    std::uint8_t criticalWarning = 0;
    std::uint16_t temperatureKelvin = 0;  // composite temperature; 0 when not reported
    std::uint8_t availableSpare = 0;      // percent
    std::uint8_t availableSpareThreshold = 0;
    std::uint8_t percentageUsed = 0;      // may exceed 100
    // The log's 128-bit counters; a count beyond 64 bits reads as UINT64_MAX.
    std::uint64_t dataUnitsRead = 0;      // thousands of 512-byte units
    std::uint64_t dataUnitsWritten = 0;
    std::uint64_t hostReadCommands = 0;
    std::uint64_t hostWriteCommands = 0;
    std::uint64_t controllerBusyMinutes = 0;
    std::uint64_t powerCycles = 0;
    std::uint64_t powerOnHours = 0;
    std::uint64_t unsafeShutdowns = 0;
    std::uint64_t mediaErrors = 0;
    std::uint64_t errorLogEntries = 0;
    // Minutes spent at or above the drive's warning and critical composite temperatures.
    std::uint32_t warningTemperatureMinutes = 0;
    std::uint32_t criticalTemperatureMinutes = 0;
    // Temperature sensors 1..8 in Kelvin; 0 where the drive has no such sensor.
    std::array<std::uint16_t, 8> sensorKelvin{};
};

// Kelvin as whole degrees Celsius when it is a believable drive temperature (0..400 C); no
// value for 0 (not reported) or anything outside.
std::optional<int> BelievableCelsius(std::uint32_t kelvin);

// Decodes the first 512 bytes of a health log page.
NvmeHealth DecodeNvmeHealthLog(const std::uint8_t* page);

// The value of field 1..15 as the log holds it (temperature in Kelvin); 0 for other numbers.
std::uint64_t NvmeFieldValue(const NvmeHealth& health, int number);

// The composite temperature in whole degrees Celsius when it is reported and within 0..400.
std::optional<int> NvmeCelsius(const NvmeHealth& health);

// True when the drive must be treated as failing: a critical-warning bit is set, the spare is
// below its threshold, the wear estimate reached 100 %, a media or data integrity error was
// counted, or the log is not believable (no composite temperature within 0..400 C, or a spare
// or threshold above 100 %).
bool NvmeHealthFailing(const NvmeHealth& health);

}  // namespace disk
