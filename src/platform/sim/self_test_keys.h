#pragma once
// The self-test and drive-log keys of a simulated drive: what the drive reports about its
// self-tests, how a test started on it ends, and the logs it keeps.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::sim {

inline constexpr int kSelfTestLogKept = 21;  // entries an ATA self-test log holds
inline constexpr int kErrorLogKept = 16;     // error entries a machine file may give

enum class SelfTestEnd { Pass, Fail, Fatal };

struct SelfTestEntrySpec {
    bool present = false;
    int type = 1;  // 1 short, 2 extended, 3 conveyance
    int status = 0;
    int remainingPercent = 0;
    std::uint64_t hours = 0;
    bool hasLba = false;
    std::uint64_t lba = 0;
};

struct ErrorEntrySpec {
    bool present = false;
    std::uint64_t hours = 0;
    std::uint64_t lba = 0;
};

struct SelfTestSpec {
    std::array<std::uint32_t, 3> minutes{2, 90, 0};  // short, extended, conveyance; 0: not supported
    std::uint32_t seconds = 1;                        // how long any test runs in real time
    SelfTestEnd end = SelfTestEnd::Pass;
    std::uint64_t failLba = 0;
    int runningType = 0;  // a test in progress when the machine starts (0: none)
    int runningRemainingPercent = 0;
    std::array<SelfTestEntrySpec, kSelfTestLogKept> log{};  // .0 newest
    std::array<ErrorEntrySpec, kErrorLogKept> errors{};     // .0 newest
    bool hasErrorCount = false;
    std::uint64_t errorCount = 0;
    bool logsFail = false;

    // The drive's error count: ErrorCount, else the entries given.
    std::uint64_t reportedErrorCount() const;
};

enum class KeyVerdict { NotMine, Taken, Bad };

// Takes one drive key (lower case) if it is a self-test key; Bad sets reason.
KeyVerdict takeSelfTestKey(const std::string& key, std::string_view value, SelfTestSpec& described,
                           std::string& reason);

}  // namespace platform::sim
