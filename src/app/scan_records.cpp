#include "app/scan_records.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/linux/record_file.h"

namespace app {
namespace {

constexpr const char* kFirstLine = "varim scan record 1";

bool ParseNumber(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

// Reads "key=value" lines; false when a line, key or number is not what a record holds.
bool ParseRecord(std::string_view text, ScanRecord& record) {
    std::size_t at = text.find('\n');
    if (at == std::string_view::npos || text.substr(0, at) != kFirstLine) return false;
    text.remove_prefix(at + 1);
    int seen = 0;
    while (!text.empty()) {
        at = text.find('\n');
        if (at == std::string_view::npos) return false;  // cut short
        const std::string_view line = text.substr(0, at);
        text.remove_prefix(at + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return false;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "identity") {
            record.identity = std::string(value);
            ++seen;
            continue;
        }
        if (key == "mode") {
            if (value != "standard" && value != "regenerate") return false;
            record.mode = value == "regenerate" ? scan::ScanMode::Regenerate : scan::ScanMode::Standard;
            ++seen;
            continue;
        }
        std::uint64_t number = 0;
        if (!ParseNumber(value, number)) return false;
        const auto signedNumber = static_cast<std::int64_t>(number);
        if (key == "endTime") record.endTime = signedNumber;
        else if (key == "start") record.start = signedNumber;
        else if (key == "end") record.end = signedNumber;
        else if (key == "completed") record.completed = number != 0;
        else if (key == "bad") record.badCount = signedNumber;
        else if (key == "repaired") record.repairedCount = signedNumber;
        else if (key == "error") record.errors = number;
        else {
            std::size_t c = 0;
            while (c < scan::kLatencyClasses && key != LatencyClassName(c)) ++c;
            if (c == scan::kLatencyClasses) return false;
            record.blocks[c] = number;
        }
        ++seen;
    }
    return seen == 9 + static_cast<int>(scan::kLatencyClasses);
}

}  // namespace

std::string RecordFileName(const std::string& identity) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : identity) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.scan", static_cast<unsigned long long>(hash));
    return name;
}

bool ScanRecords::Save(const ScanSummary& s, std::string& reason) const {
    if (folder_.empty()) {
        reason = "there is no state folder (HOME is not set)";
        return false;
    }
    std::string text = std::string(kFirstLine) + "\n";
    // An identity is one line of text; a line break in it would end the record's line early.
    std::string identity = s.identity;
    for (char& c : identity)
        if (c == '\n' || c == '\r') c = ' ';
    text += "identity=" + identity + "\n";
    char line[96];
    auto add = [&](const char* key, unsigned long long value) {
        std::snprintf(line, sizeof line, "%s=%llu\n", key, value);
        text += line;
    };
    add("endTime", static_cast<unsigned long long>(s.endTime < 0 ? 0 : s.endTime));
    add("start", static_cast<unsigned long long>(s.start));
    add("end", static_cast<unsigned long long>(s.end));
    text += std::string("mode=") + ModeName(s.mode) + "\n";
    add("completed", s.completed ? 1 : 0);
    add("bad", static_cast<unsigned long long>(s.badCount < 0 ? 0 : s.badCount));
    add("repaired", static_cast<unsigned long long>(s.repairedCount < 0 ? 0 : s.repairedCount));
    for (std::size_t c = 0; c < scan::kLatencyClasses; ++c) add(LatencyClassName(c), s.latency.blocks[c]);
    add("error", s.latency.errors);
    return platform::linux::ReplaceRecordFile(folder_, RecordFileName(identity), text, reason);
}

std::optional<ScanRecord> ScanRecords::Find(const std::string& identity) const {
    std::string id = identity;
    for (char& c : id)
        if (c == '\n' || c == '\r') c = ' ';
    std::string text;
    if (!platform::linux::ReadRecordFile(folder_, RecordFileName(id), text)) return std::nullopt;
    ScanRecord record;
    if (!ParseRecord(text, record) || record.identity != id) return std::nullopt;
    return record;
}

}  // namespace app
