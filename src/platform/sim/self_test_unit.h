#pragma once
// The self-test machinery of one simulated drive: a test runs for SelfTestSeconds of real
// time, ends as SelfTestOutcome says and is then logged; the drive's logs, its S.M.A.R.T.
// self-test bytes and its NVMe self-test and error log pages are rendered from that state.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/sim/self_test_keys.h"

namespace platform::sim {

class SelfTestUnit {
  public:
    using Clock = std::chrono::steady_clock;
    // nvme: codes are NVMe's (results, no percent in the log); else ATA's.
    SelfTestUnit(const SelfTestSpec& described, bool nvme, std::uint64_t powerOnHours, Clock::time_point now);

    // Whether the drive runs this test type (1 short, 2 extended, 3 conveyance).
    bool supports(int type) const;
    // Starts a test; false when the type is not supported or a test already runs.
    bool start(int type, Clock::time_point now);
    // Ends the running test as aborted by the host; true also when none runs.
    void abort(Clock::time_point now);

    // ATA: bytes 363 (execution status), 367 (capabilities), 370 and 372..376 (minutes) of the
    // S.M.A.R.T. data page, whose checksum the caller recomputes.
    void patchSmartData(std::uint8_t* page, Clock::time_point now);
    // ATA logs 06h and 01h, one 512-byte sector each, with their checksums.
    void ataSelfTestLog(std::uint8_t* page, Clock::time_point now);
    void ataErrorLog(std::uint8_t* page) const;
    // NVMe log 06h (564 bytes) and log 01h (entries x 64 bytes).
    void nvmeSelfTestLog(std::uint8_t* page, Clock::time_point now);
    void nvmeErrorLog(std::uint8_t* page, std::size_t entries) const;
    // NVMe Identify Controller: OACS bit 4 and the extended test's minutes.
    void patchNvmeIdentify(std::uint8_t* page) const;

    bool logsFail() const { return described_.logsFail; }

  private:
    struct Logged {
        int type = 1;
        int status = 0;
        int remainingPercent = 0;
        std::uint64_t hours = 0;
        bool hasLba = false;
        std::uint64_t lba = 0;
    };
    // Ends the running test when its time is up.
    void advance(Clock::time_point now);
    int remainingPercent(Clock::time_point now) const;
    void log(const Logged& entry);

    SelfTestSpec described_;
    bool nvme_ = false;
    std::uint64_t hours_ = 0;
    int runningType_ = 0;
    int startRemaining_ = 0;
    Clock::time_point started_{};
    Clock::duration length_{};
    int lastStatus_ = 0;     // ATA execution status of the last test that ended
    int lastRemaining_ = 0;
    std::deque<Logged> log_;  // newest first
};

}  // namespace platform::sim
