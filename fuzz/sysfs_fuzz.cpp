// The Linux layer's reading of sysfs: a block folder whose entries and attribute files come
// from the input, one entry a line: name, then hidden, removable, device/type, device/media
// and loop/backing_file contents, separated by tabs (a missing field: no such file).
// Hidden disks never appear; fixed disks come before removable ones; no disk is listed
// twice; the letters are one run from C; and the name order is a strict weak ordering.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/linux/drive_layout.h"
#include "scratch_dir.h"

namespace pl = platform::linux;

namespace {

constexpr std::size_t kMaxEntries = 24;
constexpr const char* kFiles[] = {"hidden", "removable", "device/type", "device/media", "loop/backing_file"};

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        parts.emplace_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

bool UsableName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && name != "." && name != ".." &&
           name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// An attribute file's first line without trailing whitespace, as the layout reads it.
std::string AttributeValue(const std::string& content) {
    std::string line = content.substr(0, content.find('\n'));
    while (!line.empty() && std::string_view(" \t\n\v\f\r").find(line.back()) != std::string_view::npos) line.pop_back();
    return line;
}

void CheckNameOrder(const std::vector<std::string>& names) {
    for (const std::string& a : names) {
        FUZZ_CHECK(!pl::naturalNameLess(a, a));
        for (const std::string& b : names) {
            const bool less = pl::naturalNameLess(a, b);
            FUZZ_CHECK(!(less && pl::naturalNameLess(b, a)));
            if (!less) continue;
            for (const std::string& c : names) FUZZ_CHECK(!pl::naturalNameLess(b, c) || pl::naturalNameLess(a, c));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchDir scratch;
    scratch.clear();
    scratch.makeDir("sys/block");

    std::set<std::string> names;
    std::set<std::string> hidden;
    for (const std::string& line : Split(std::string_view(reinterpret_cast<const char*>(data), size), '\n')) {
        const std::vector<std::string> fields = Split(line, '\t');
        const std::string& name = fields[0];
        if (!UsableName(name) || names.count(name) != 0 || names.size() == kMaxEntries) continue;
        names.insert(name);
        scratch.makeDir("sys/block/" + name);
        for (std::size_t f = 1; f < fields.size() && f <= std::size(kFiles); ++f)
            scratch.write("sys/block/" + name + "/" + kFiles[f - 1], fields[f]);
        if (fields.size() > 1 && AttributeValue(fields[1]) == "1") hidden.insert(name);
    }

    const pl::DriveLayout layout = pl::DriveLayout::fromSysfs(scratch.path() + "/sys", "/dev");
    std::set<std::string> listed;
    bool removableSeen = false;
    for (const pl::DriveEntry& entry : layout.physicalDrives()) {
        FUZZ_CHECK(names.count(entry.name) == 1 && hidden.count(entry.name) == 0);
        FUZZ_CHECK(listed.insert(entry.name).second);
        FUZZ_CHECK(entry.devicePath == "/dev/" + entry.name);
        FUZZ_CHECK(entry.type == platform::DRIVE_FIXED || entry.type == platform::DRIVE_REMOVABLE);
        if (entry.type == platform::DRIVE_REMOVABLE) removableSeen = true;
        FUZZ_CHECK(entry.type == platform::DRIVE_REMOVABLE || !removableSeen);
    }

    const platform::DWORD mask = layout.logicalDriveMask();
    FUZZ_CHECK((mask & 3u) == 0);
    const platform::DWORD run = mask >> 2;
    FUZZ_CHECK((run & (run + 1)) == 0);  // C, D, ... without a gap
    FUZZ_CHECK(static_cast<std::size_t>(__builtin_popcount(mask)) >= std::min<std::size_t>(24, listed.size()));
    for (std::size_t i = 0; i < layout.physicalDrives().size() && i < 24; ++i)
        FUZZ_CHECK(layout.driveType(static_cast<char>('C' + i)) == layout.physicalDrives()[i].type);

    CheckNameOrder(std::vector<std::string>(names.begin(), names.end()));
    return 0;
}
