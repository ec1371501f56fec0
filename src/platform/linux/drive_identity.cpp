#include "platform/linux/drive_identity.h"

#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform::linux {
namespace {

// The first line of a sysfs attribute without surrounding blanks; empty when absent.
std::string attribute(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    const std::size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const std::size_t last = line.find_last_not_of(" \t\r\n");
    return line.substr(first, last - first + 1);
}

}  // namespace

std::string driveIdentityOf(int fd, const SystemRoots& roots) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return {};
    if (S_ISREG(st.st_mode)) {
        return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ", " +
               std::to_string(st.st_size) + " bytes";
    }
    if (!S_ISBLK(st.st_mode)) return {};
    std::uint64_t bytes = 0;
    if (ioctl(fd, BLKGETSIZE64, &bytes) != 0) return {};
    const std::string size = ", " + std::to_string(bytes) + " bytes";
    const std::string dir =
        roots.sysfs + "/dev/block/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    for (const char* name : {"/wwid", "/device/wwid"})
        if (std::string id = attribute(dir + name); !id.empty()) return "wwid " + id + size;
    for (const char* name : {"/serial", "/device/serial"})
        if (std::string id = attribute(dir + name); !id.empty()) return "serial " + id + size;
    if (std::string backing = attribute(dir + "/loop/backing_file"); !backing.empty())
        return "loop " + backing + " at " + attribute(dir + "/loop/offset") + size;
    return "device " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) + size;
}

}  // namespace platform::linux
