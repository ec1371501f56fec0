#include "platform/sim/self_test_unit.h"

#include <algorithm>
#include <cstring>

namespace platform::sim {
namespace {

constexpr int kAtaInProgress = 15;
constexpr int kAtaAbortedByHost = 1;
constexpr int kAtaFatal = 3;
constexpr int kAtaReadFailure = 7;
constexpr int kNvmeAbortedByCommand = 1;
constexpr int kNvmeFatal = 5;
constexpr int kNvmeFailedSegment = 7;
constexpr int kNvmeUnused = 0xF;
constexpr std::size_t kNvmeLogEntries = 20;
constexpr std::size_t kNvmeEntryBytes = 28;

void put(std::uint8_t* at, std::size_t bytes, std::uint64_t value) {
    for (std::size_t i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void checksum(std::uint8_t* page) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + page[i]);
    page[511] = static_cast<std::uint8_t>(0x100 - sum);
}

}  // namespace

SelfTestUnit::SelfTestUnit(const SelfTestSpec& described, bool nvme, std::uint64_t powerOnHours, Clock::time_point now)
    : described_(described), nvme_(nvme), hours_(powerOnHours) {
    for (const SelfTestEntrySpec& e : described.log) {
        if (!e.present) break;
        log_.push_back({e.type, e.status, e.remainingPercent, e.hours, e.hasLba, e.lba});
    }
    if (described.runningType != 0) {
        runningType_ = described.runningType;
        startRemaining_ = described.runningRemainingPercent;
        started_ = now;
        length_ = std::chrono::seconds(described.seconds) * startRemaining_ / 100;
    }
}

bool SelfTestUnit::supports(int type) const {
    if (type < 1 || type > 3 || (nvme_ && type == 3)) return false;
    return described_.minutes[static_cast<std::size_t>(type - 1)] != 0;
}

bool SelfTestUnit::start(int type, Clock::time_point now) {
    advance(now);
    if (!supports(type) || runningType_ != 0) return false;
    runningType_ = type;
    startRemaining_ = 100;
    started_ = now;
    length_ = std::chrono::seconds(described_.seconds);
    return true;
}

void SelfTestUnit::abort(Clock::time_point now) {
    advance(now);
    if (runningType_ == 0) return;
    const int remaining = remainingPercent(now);
    log({runningType_, nvme_ ? kNvmeAbortedByCommand : kAtaAbortedByHost, remaining, hours_, false, 0});
    lastStatus_ = kAtaAbortedByHost;
    lastRemaining_ = remaining;
    runningType_ = 0;
}

int SelfTestUnit::remainingPercent(Clock::time_point now) const {
    if (runningType_ == 0) return 0;
    if (length_.count() <= 0) return 0;
    const double done = std::chrono::duration<double>(now - started_) / length_;
    const double left = startRemaining_ * (1.0 - std::clamp(done, 0.0, 1.0));
    return std::clamp(static_cast<int>(left + 0.999), 1, 100);
}

void SelfTestUnit::advance(Clock::time_point now) {
    if (runningType_ == 0 || now - started_ < length_) return;
    Logged entry{runningType_, 0, 0, hours_, false, 0};
    if (described_.end == SelfTestEnd::Fail) {
        entry.status = nvme_ ? kNvmeFailedSegment : kAtaReadFailure;
        entry.hasLba = true;
        entry.lba = described_.failLba;
        entry.remainingPercent = 90;
    } else if (described_.end == SelfTestEnd::Fatal) {
        entry.status = nvme_ ? kNvmeFatal : kAtaFatal;
    }
    log(entry);
    lastStatus_ = nvme_ ? 0 : entry.status;
    lastRemaining_ = entry.remainingPercent;
    runningType_ = 0;
}

void SelfTestUnit::log(const Logged& entry) {
    log_.push_front(entry);
    const std::size_t kept = nvme_ ? kNvmeLogEntries : static_cast<std::size_t>(kSelfTestLogKept);
    while (log_.size() > kept) log_.pop_back();
}

void SelfTestUnit::patchSmartData(std::uint8_t* page, Clock::time_point now) {
    advance(now);
    // The status in the high nibble, the percent remaining in tens in the low one.
    const int status = runningType_ != 0 ? kAtaInProgress : lastStatus_;
    const int remaining = runningType_ != 0 ? remainingPercent(now) : lastRemaining_;
    page[363] = static_cast<std::uint8_t>(status << 4 | std::min(9, (remaining + 9) / 10));
    const bool anyTest = supports(1) || supports(2);
    page[367] = static_cast<std::uint8_t>((anyTest || supports(3) ? 0x01 : 0) | (anyTest ? 0x10 : 0) |
                                          (supports(3) ? 0x20 : 0));
    page[370] = static_cast<std::uint8_t>(page[370] | 0x01);  // error logging supported
    page[372] = static_cast<std::uint8_t>(described_.minutes[0]);
    const std::uint32_t extended = described_.minutes[1];
    page[373] = static_cast<std::uint8_t>(extended > 254 ? 0xFF : extended);
    page[374] = static_cast<std::uint8_t>(described_.minutes[2]);
    put(page + 375, 2, extended);
}

void SelfTestUnit::ataSelfTestLog(std::uint8_t* page, Clock::time_point now) {
    advance(now);
    std::memset(page, 0, 512);
    page[0] = 0x01;
    // Oldest in descriptor 1, newest in descriptor N; byte 508 names the newest.
    const std::size_t count = log_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Logged& e = log_[count - 1 - i];
        std::uint8_t* d = page + 2 + 24 * i;
        d[0] = static_cast<std::uint8_t>(e.type);
        d[1] = static_cast<std::uint8_t>(e.status << 4 | std::min(9, (e.remainingPercent + 9) / 10));
        put(d + 2, 2, e.hours);
        put(d + 5, 4, e.hasLba ? e.lba : 0xFFFFFFFFu);
    }
    page[508] = static_cast<std::uint8_t>(count);
    checksum(page);
}

void SelfTestUnit::ataErrorLog(std::uint8_t* page) const {
    std::memset(page, 0, 512);
    page[0] = 0x01;
    std::size_t given = 0;
    while (given < described_.errors.size() && described_.errors[given].present) ++given;
    const std::size_t kept = std::min<std::size_t>(given, 5);
    // Oldest kept in structure 1, newest in structure N; byte 1 names the newest.
    for (std::size_t i = 0; i < kept; ++i) {
        const ErrorEntrySpec& e = described_.errors[kept - 1 - i];
        std::uint8_t* error = page + 2 + 90 * i + 60;
        error[1] = 0x40;  // uncorrectable data
        error[2] = 1;
        error[3] = static_cast<std::uint8_t>(e.lba);
        error[4] = static_cast<std::uint8_t>(e.lba >> 8);
        error[5] = static_cast<std::uint8_t>(e.lba >> 16);
        error[6] = static_cast<std::uint8_t>(0x40 | ((e.lba >> 24) & 0x0F));
        error[7] = 0x51;  // drive ready, seek complete, error
        error[27] = 0x01;
        put(error + 28, 2, e.hours);
    }
    page[1] = static_cast<std::uint8_t>(kept);
    put(page + 452, 2, std::min<std::uint64_t>(described_.reportedErrorCount(), 0xFFFF));
    checksum(page);
}

void SelfTestUnit::nvmeSelfTestLog(std::uint8_t* page, Clock::time_point now) {
    advance(now);
    std::memset(page, 0, 4 + kNvmeLogEntries * kNvmeEntryBytes);
    page[0] = static_cast<std::uint8_t>(runningType_);
    page[1] = static_cast<std::uint8_t>(runningType_ != 0 ? 100 - remainingPercent(now) : 0);
    for (std::size_t i = 0; i < kNvmeLogEntries; ++i) {
        std::uint8_t* d = page + 4 + kNvmeEntryBytes * i;
        if (i >= log_.size()) {
            d[0] = kNvmeUnused;
            continue;
        }
        const Logged& e = log_[i];
        d[0] = static_cast<std::uint8_t>(e.type << 4 | (e.status & 0xF));
        d[2] = static_cast<std::uint8_t>(e.hasLba ? 0x03 : 0x00);  // namespace and LBA valid
        put(d + 4, 8, e.hours);
        put(d + 12, 4, e.hasLba ? 1 : 0);
        put(d + 16, 8, e.lba);
    }
}

void SelfTestUnit::nvmeErrorLog(std::uint8_t* page, std::size_t entries) const {
    std::memset(page, 0, entries * 64);
    const std::uint64_t count = described_.reportedErrorCount();
    for (std::size_t i = 0; i < entries && i < described_.errors.size() && described_.errors[i].present; ++i) {
        std::uint8_t* e = page + 64 * i;
        put(e, 8, count > i ? count - i : 1);
        put(e + 8, 2, 1);                              // submission queue
        put(e + 10, 2, i + 1);                         // command
        put(e + 12, 2, (2u << 9) | (0x81u << 1));      // media error: unrecovered read
        put(e + 16, 8, described_.errors[i].lba);
        put(e + 24, 4, 1);
    }
}

void SelfTestUnit::patchNvmeIdentify(std::uint8_t* page) const {
    if (supports(1) || supports(2)) page[256] = static_cast<std::uint8_t>(page[256] | 0x10);
    put(page + 316, 2, described_.minutes[1]);
    page[262] = kErrorLogKept - 1;  // error log page entries, less one
}

}  // namespace platform::sim
