#include "platform/sim/self_test_keys.h"

#include <charconv>
#include <vector>

namespace platform::sim {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(',', start);
        out.push_back(trim(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start)));
        if (at == std::string_view::npos) return out;
        start = at + 1;
    }
}

bool number(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    text = trim(text);
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out <= max;
}

// "short" | "extended" | "conveyance" as 1, 2, 3; 0 for anything else.
int typeNamed(std::string_view text) {
    text = trim(text);
    if (text == "short") return 1;
    if (text == "extended") return 2;
    if (text == "conveyance") return 3;
    return 0;
}

// "selftestlog.N" / "errorlog.N": N below limit, -1 when key is not one, -2 when N is out of range.
int indexOf(const std::string& key, std::string_view prefix, int limit) {
    if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::string_view digits = std::string_view(key).substr(prefix.size());
    std::uint64_t n = 0;
    if ((digits.size() > 1 && digits[0] == '0') || !number(digits, 999, n)) return -1;
    return n < static_cast<std::uint64_t>(limit) ? static_cast<int>(n) : -2;
}

KeyVerdict bad(std::string& reason, std::string text) {
    reason = std::move(text);
    return KeyVerdict::Bad;
}

}  // namespace

std::uint64_t SelfTestSpec::reportedErrorCount() const {
    if (hasErrorCount) return errorCount;
    std::uint64_t given = 0;
    for (const ErrorEntrySpec& e : errors) given += e.present ? 1 : 0;
    return given;
}

KeyVerdict takeSelfTestKey(const std::string& key, std::string_view value, SelfTestSpec& described,
                           std::string& reason) {
    constexpr std::uint64_t kLba = (std::uint64_t{1} << 48) - 1;
    const std::vector<std::string_view> parts = fields(value);
    if (key == "selftestminutes") {
        std::uint64_t m[3] = {};
        if (parts.size() != 3 || !number(parts[0], 255, m[0]) || !number(parts[1], 65535, m[1]) ||
            !number(parts[2], 255, m[2]))
            return bad(reason, "SelfTestMinutes must be: short, extended, conveyance minutes (such as 2, 90, 5)");
        for (int i = 0; i < 3; ++i) described.minutes[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(m[i]);
        return KeyVerdict::Taken;
    }
    if (key == "selftestseconds") {
        std::uint64_t s = 0;
        if (parts.size() != 1 || !number(parts[0], 86400, s))
            return bad(reason, "SelfTestSeconds must be a number from 0 to 86400");
        described.seconds = static_cast<std::uint32_t>(s);
        return KeyVerdict::Taken;
    }
    if (key == "selftestoutcome") {
        const std::string_view text = trim(value);
        if (text == "pass") {
            described.end = SelfTestEnd::Pass;
        } else if (text == "fatal") {
            described.end = SelfTestEnd::Fatal;
        } else if (text.substr(0, 5) == "fail:" && number(text.substr(5), kLba, described.failLba)) {
            described.end = SelfTestEnd::Fail;
        } else {
            return bad(reason, "SelfTestOutcome must be pass, fail:LBA or fatal");
        }
        return KeyVerdict::Taken;
    }
    if (key == "selftestrunning") {
        std::uint64_t remaining = 0;
        if (parts.size() != 2 || typeNamed(parts[0]) == 0 || !number(parts[1], 100, remaining) || remaining == 0)
            return bad(reason, "SelfTestRunning must be: short|extended|conveyance, percent remaining (1 to 100)");
        described.runningType = typeNamed(parts[0]);
        described.runningRemainingPercent = static_cast<int>(remaining);
        return KeyVerdict::Taken;
    }
    if (key == "errorcount") {
        if (parts.size() != 1 || !number(parts[0], 0xFFFFFFFFu, described.errorCount))
            return bad(reason, "ErrorCount must be a number from 0 to 4294967295");
        described.hasErrorCount = true;
        return KeyVerdict::Taken;
    }
    if (key == "logsfail") {
        const std::string_view text = trim(value);
        if (text != "yes" && text != "no") return bad(reason, "LogsFail must be yes or no");
        described.logsFail = text == "yes";
        return KeyVerdict::Taken;
    }
    if (const int n = indexOf(key, "selftestlog.", kSelfTestLogKept); n != -1) {
        if (n < 0) return bad(reason, "self-test log entries are SelfTestLog.0 to SelfTestLog.20");
        SelfTestEntrySpec& e = described.log[static_cast<std::size_t>(n)];
        std::uint64_t status = 0, remaining = 0;
        if ((parts.size() != 4 && parts.size() != 5) || typeNamed(parts[0]) == 0 || !number(parts[1], 15, status) ||
            !number(parts[2], 100, remaining) || !number(parts[3], 65535, e.hours) ||
            (parts.size() == 5 && !number(parts[4], kLba, e.lba)))
            return bad(reason, "SelfTestLog.N must be: type, status code (0-15), percent remaining, hours[, LBA]");
        e.present = true;
        e.type = typeNamed(parts[0]);
        e.status = static_cast<int>(status);
        e.remainingPercent = static_cast<int>(remaining);
        e.hasLba = parts.size() == 5;
        return KeyVerdict::Taken;
    }
    if (const int n = indexOf(key, "errorlog.", kErrorLogKept); n != -1) {
        if (n < 0) return bad(reason, "error log entries are ErrorLog.0 to ErrorLog.15");
        ErrorEntrySpec& e = described.errors[static_cast<std::size_t>(n)];
        if (parts.size() != 2 || !number(parts[0], 65535, e.hours) || !number(parts[1], kLba, e.lba))
            return bad(reason, "ErrorLog.N must be: power-on hours, LBA");
        e.present = true;
        return KeyVerdict::Taken;
    }
    return KeyVerdict::NotMine;
}

}  // namespace platform::sim
