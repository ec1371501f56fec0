#include "platform/linux/drive_layout.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fstream>
#include <optional>

namespace platform::linux {
namespace {

constexpr int kFirstLetter = 2;  // 'C'
constexpr int kLetterCount = 26;

bool allOf(std::string_view text, int (*pred)(int)) {
    if (text.empty()) return false;
    return std::all_of(text.begin(), text.end(), [pred](char c) { return pred(static_cast<unsigned char>(c)) != 0; });
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Kinds of whole-disk names, in the order their drives are listed. -1: not a drive we list
// (partitions, ram disks, zram, device mapper, eMMC boot and rpmb areas, ...).
enum Kind { kSd, kHd, kVd, kXvd, kNvme, kMmc, kLoop, kCdrom };

int kindOf(std::string_view name) {
    auto letters = [&](std::string_view prefix) { return startsWith(name, prefix) && allOf(name.substr(prefix.size()), isalpha); };
    auto digits = [&](std::string_view prefix) { return startsWith(name, prefix) && allOf(name.substr(prefix.size()), isdigit); };
    if (letters("xvd")) return kXvd;
    if (letters("sd")) return kSd;
    if (letters("hd")) return kHd;
    if (letters("vd")) return kVd;
    if (digits("mmcblk")) return kMmc;
    if (digits("loop")) return kLoop;
    if (digits("sr")) return kCdrom;
    if (startsWith(name, "nvme")) {
        std::string_view rest = name.substr(4);
        std::size_t n = rest.find('n');
        if (n != std::string_view::npos && allOf(rest.substr(0, n), isdigit) && allOf(rest.substr(n + 1), isdigit))
            return kNvme;
    }
    return -1;
}

std::optional<std::string> readAttribute(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::string text;
    std::getline(in, text);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

struct Found {
    int kind;
    DriveEntry entry;
};

}  // namespace

bool naturalNameLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA != digitB) return digitA;  // digits sort before letters
        auto runEnd = [digitA](std::string_view s, std::size_t from) {
            while (from < s.size() && (std::isdigit(static_cast<unsigned char>(s[from])) != 0) == digitA) ++from;
            return from;
        };
        std::size_t endA = runEnd(a, i);
        std::size_t endB = runEnd(b, j);
        std::string_view runA = a.substr(i, endA - i);
        std::string_view runB = b.substr(j, endB - j);
        if (digitA) {
            runA.remove_prefix(std::min(runA.find_first_not_of('0'), runA.size()));
            runB.remove_prefix(std::min(runB.find_first_not_of('0'), runB.size()));
        }
        if (runA.size() != runB.size()) return runA.size() < runB.size();
        if (runA != runB) return runA < runB;
        i = endA;
        j = endB;
    }
    return a.size() - i < b.size() - j;
}

DriveLayout DriveLayout::fromSysfs(const std::string& sysfsRoot, const std::string& devDir) {
    std::vector<Found> found;
    const std::string blockDir = sysfsRoot + "/block";
    if (DIR* dir = opendir(blockDir.c_str())) {
        while (const dirent* item = readdir(dir)) {
            const std::string name = item->d_name;
            const int kind = kindOf(name);
            if (kind < 0) continue;
            const std::string base = blockDir + "/" + name;
            if (readAttribute(base + "/hidden").value_or("0") == "1") continue;
            // A loop device without a backing file holds no disk.
            if (kind == kLoop && readAttribute(base + "/loop/backing_file").value_or("").empty()) continue;
            DriveEntry entry{name, devDir + "/" + name, DRIVE_FIXED, readSysfsKey(base)};
            if (kind == kCdrom || readAttribute(base + "/device/type").value_or("") == "5" ||
                readAttribute(base + "/device/media").value_or("") == "cdrom")
                entry.type = DRIVE_CDROM;
            else if (readAttribute(base + "/removable").value_or("0") == "1")
                entry.type = DRIVE_REMOVABLE;
            found.push_back({kind, std::move(entry)});
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end(), [](const Found& x, const Found& y) {
        if (x.kind != y.kind) return x.kind < y.kind;
        return naturalNameLess(x.entry.name, y.entry.name);
    });

    DriveLayout layout;
    for (DWORD type : {DRIVE_FIXED, DRIVE_REMOVABLE, DRIVE_CDROM}) {
        for (const Found& f : found) {
            if (f.entry.type != type) continue;
            if (type == DRIVE_CDROM)
                layout.cdroms_.push_back(f.entry);
            else
                layout.physical_.push_back(f.entry);
        }
    }
    layout.assignLetters();
    return layout;
}

DriveLayout DriveLayout::fromPaths(const std::vector<std::string>& paths) {
    DriveLayout layout;
    for (const std::string& path : paths) layout.physical_.push_back({path, path, DRIVE_FIXED, {}});
    layout.assignLetters();
    return layout;
}

DriveLayout DriveLayout::rebind(const DriveLayout& earlier, const DriveLayout& found) {
    DriveLayout layout;
    layout.physical_.resize(earlier.physical_.size());
    layout.cdroms_ = found.cdroms_;
    std::vector<bool> taken(found.physical_.size(), false);
    // A disk under its old name is matched first, so that disks with equal keys (no serial,
    // no sequence number) keep their own numbers; then disks that were renamed.
    for (bool sameName : {true, false}) {
        for (std::size_t n = 0; n < earlier.physical_.size(); ++n) {
            const DriveEntry& old = earlier.physical_[n];
            if (!old.present() || layout.physical_[n].present()) continue;
            for (std::size_t i = 0; i < found.physical_.size(); ++i) {
                const DriveEntry& now = found.physical_[i];
                if (taken[i] || now.key != old.key || (sameName && now.name != old.name)) continue;
                taken[i] = true;
                layout.physical_[n] = now;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < found.physical_.size(); ++i)
        if (!taken[i]) layout.physical_.push_back(found.physical_[i]);
    layout.assignLetters();
    return layout;
}

void DriveLayout::assignLetters() {
    std::fill(std::begin(letterTypes_), std::end(letterTypes_), DWORD{DRIVE_UNKNOWN});
    // Drive n keeps letter C + n, so an empty number leaves its letter unused.
    int letter = kFirstLetter;
    for (const DriveEntry& entry : physical_) {
        if (letter == kLetterCount) return;
        if (entry.present()) letterTypes_[letter] = entry.type;
        ++letter;
    }
    for (const DriveEntry& entry : cdroms_) {
        if (letter == kLetterCount) return;
        letterTypes_[letter++] = entry.type;
    }
}

DWORD DriveLayout::logicalDriveMask() const {
    DWORD mask = 0;
    for (int p = 0; p < kLetterCount; ++p)
        if (letterTypes_[p] != DRIVE_UNKNOWN) mask |= DWORD{1} << p;
    return mask;
}

DWORD DriveLayout::driveType(char letter) const {
    const int upper = std::toupper(static_cast<unsigned char>(letter));
    if (upper < 'A' || upper > 'Z') return DRIVE_NO_ROOT_DIR;
    const DWORD type = letterTypes_[upper - 'A'];
    return type == DRIVE_UNKNOWN ? DRIVE_NO_ROOT_DIR : type;
}

const DriveEntry* DriveLayout::physicalDrive(std::size_t number) const {
    return number < physical_.size() && physical_[number].present() ? &physical_[number] : nullptr;
}

}  // namespace platform::linux
