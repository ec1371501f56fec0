#include "platform/linux/drive_usage.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

namespace platform::linux {
namespace {

struct Member {
    std::string name;  // kernel name: the disk or one of its partitions
    dev_t number;
    std::string sysfsDir;
};

std::string numberText(dev_t number) { return std::to_string(major(number)) + ":" + std::to_string(minor(number)); }

std::optional<dev_t> parseNumber(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    char* end = nullptr;
    const unsigned long maj = std::strtoul(text.c_str(), &end, 10);
    if (end != text.c_str() + colon) return std::nullopt;
    const unsigned long min = std::strtoul(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' && *end != '\n') return std::nullopt;
    return makedev(static_cast<unsigned>(maj), static_cast<unsigned>(min));
}

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::vector<std::string> entries(const std::string& dirPath) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(dirPath.c_str())) {
        while (const dirent* item = readdir(dir)) {
            const std::string name = item->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

// The disk and its partitions as sysfs lists them.
std::vector<Member> membersOf(dev_t disk, const SystemRoots& roots) {
    std::vector<Member> members;
    char resolved[PATH_MAX];
    const std::string link = roots.sysfs + "/dev/block/" + numberText(disk);
    if (realpath(link.c_str(), resolved) == nullptr) {
        members.push_back({numberText(disk), disk, std::string()});
        return members;
    }
    const std::string diskDir = resolved;
    members.push_back({diskDir.substr(diskDir.rfind('/') + 1), disk, diskDir});
    for (const std::string& name : entries(diskDir)) {
        const std::string dir = diskDir + "/" + name;
        struct stat st {};
        if (stat((dir + "/partition").c_str(), &st) != 0) continue;
        if (const auto number = parseNumber(firstLine(dir + "/dev"))) members.push_back({name, *number, dir});
    }
    return members;
}

const Member* memberWithNumber(const std::vector<Member>& members, dev_t number) {
    for (const Member& m : members)
        if (m.number == number) return &m;
    return nullptr;
}

const Member* memberBehindPath(const std::vector<Member>& members, const std::string& path) {
    struct stat st {};
    if (path.empty() || path[0] != '/' || stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return nullptr;
    return memberWithNumber(members, st.st_rdev);
}

std::optional<std::string> findMount(const std::vector<Member>& members, const SystemRoots& roots) {
    std::ifstream in(roots.proc + "/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        std::istringstream fields(line);
        std::string id, parent, number, root, mountPoint, word;
        fields >> id >> parent >> number >> root >> mountPoint;
        while (fields >> word && word != "-") {
        }
        std::string fsType, source;
        fields >> fsType >> source;
        source = unescapeProcField(source);
        const Member* member = nullptr;
        if (const auto parsed = parseNumber(number)) member = memberWithNumber(members, *parsed);
        if (member == nullptr) member = memberBehindPath(members, source);  // btrfs shows anonymous numbers
        if (member != nullptr) return roots.dev + "/" + member->name + " is mounted on " + unescapeProcField(mountPoint);
    }
    return std::nullopt;
}

std::optional<std::string> findSwap(const std::vector<Member>& members, const SystemRoots& roots) {
    std::ifstream in(roots.proc + "/swaps");
    std::string line;
    std::getline(in, line);  // column titles
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string file;
        fields >> file;
        file = unescapeProcField(file);
        if (const Member* member = memberBehindPath(members, file))
            return roots.dev + "/" + member->name + " is active swap";
    }
    return std::nullopt;
}

std::optional<std::string> findHolder(const std::vector<Member>& members, const SystemRoots& roots) {
    for (const Member& member : members) {
        if (member.sysfsDir.empty()) continue;
        const std::vector<std::string> holders = entries(member.sysfsDir + "/holders");
        if (!holders.empty()) return roots.dev + "/" + member.name + " is held by " + holders.front();
    }
    return std::nullopt;
}

}  // namespace

std::string unescapeProcField(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::optional<std::string> findDriveInUse(dev_t disk, const SystemRoots& roots) {
    const std::vector<Member> members = membersOf(disk, roots);
    if (auto reason = findMount(members, roots)) return reason;
    if (auto reason = findSwap(members, roots)) return reason;
    return findHolder(members, roots);
}

}  // namespace platform::linux
