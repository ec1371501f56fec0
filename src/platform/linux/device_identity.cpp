#include "platform/linux/device_identity.h"

#include <cctype>
#include <fcntl.h>
#include <fstream>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/kernel.h"

namespace platform::linux {
namespace {

std::string attribute(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!in) return text;
    std::getline(in, text);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    return text.substr(first);
}

// The first of the attributes that exists and is not empty.
std::string firstAttribute(const std::string& dir, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string text = attribute(dir + "/" + name);
        if (!text.empty()) return text;
    }
    return {};
}

}  // namespace

std::string deviceNumberText(dev_t number) {
    return std::to_string(major(number)) + ":" + std::to_string(minor(number));
}

DeviceKey readSysfsKey(const std::string& blockDir) {
    DeviceKey key;
    key.dev = attribute(blockDir + "/dev");
    key.diskseq = attribute(blockDir + "/diskseq");
    key.serial = firstAttribute(blockDir, {"serial", "device/serial"});
    key.wwid = firstAttribute(blockDir, {"wwid", "device/wwid"});
    key.backingFile = attribute(blockDir + "/loop/backing_file");
    if (!key.backingFile.empty()) key.backingOffset = attribute(blockDir + "/loop/offset");
    const std::string sectors = attribute(blockDir + "/size");
    std::uint64_t count = 0;
    bool digits = !sectors.empty();
    for (char c : sectors) {
        if (c < '0' || c > '9' || count > UINT64_MAX / 5120) {
            digits = false;
            break;
        }
        count = count * 10 + static_cast<std::uint64_t>(c - '0');
    }
    key.sizeBytes = digits ? count * 512 : 0;
    return key;
}

namespace {

// The file a loop device is attached to, as device and inode: its path alone may name another
// file by now. Empty when fd is no loop device or cannot be asked.
std::string loopBackingInode(int fd) {
    loop_info64 info{};
    if (fd < 0 || ::ioctl(fd, LOOP_GET_STATUS64, &info) != 0) return {};
    const auto device = static_cast<dev_t>(info.lo_device);
    return deviceNumberText(device) + ":" + std::to_string(info.lo_inode);
}

DeviceKey keyFromStat(const struct stat& st, const std::string& path, const std::string& sysfsRoot) {
    DeviceKey key;
    if (S_ISBLK(st.st_mode)) {
        key = readSysfsKey(sysfsRoot + "/dev/block/" + deviceNumberText(st.st_rdev));
        // Without sysfs the device number still tells devices apart.
        if (key.dev.empty()) key.dev = deviceNumberText(st.st_rdev);
        return key;
    }
    key.file = path;
    key.inode = deviceNumberText(st.st_dev) + ":" + std::to_string(st.st_ino);
    key.sizeBytes = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return key;
}

}  // namespace

bool readOpenFileKey(int fd, const std::string& path, const std::string& sysfsRoot, DeviceKey& key) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    key = keyFromStat(st, path, sysfsRoot);
    if (!key.backingFile.empty()) key.backingInode = loopBackingInode(fd);
    return true;
}

bool readPathKey(const std::string& path, const std::string& sysfsRoot, DeviceKey& key) {
    struct stat st {};
    key = DeviceKey{};
    if (stat(path.c_str(), &st) != 0) return false;
    key = keyFromStat(st, path, sysfsRoot);
    if (!key.backingFile.empty()) {
        // Opening a loop device to ask it reads and writes nothing.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        key.backingInode = loopBackingInode(fd);
        if (fd >= 0) ::close(fd);
    }
    return true;
}

std::string identityText(const DeviceKey& key) {
    std::string text;
    auto add = [&text](const char* name, const std::string& value) {
        if (value.empty()) return;
        if (!text.empty()) text += ' ';
        text.append(name).append("=").append(value);
    };
    if (!key.serial.empty() || !key.wwid.empty()) {
        add("wwid", key.wwid);
        add("serial", key.serial);
    } else if (!key.backingFile.empty()) {
        add("loop", key.backingFile);
        add("backing", key.backingInode);
        add("offset", key.backingOffset);
    } else if (!key.file.empty()) {
        add("file", key.file);
        add("inode", key.inode);
    } else {
        add("dev", key.dev);
    }
    add("size", std::to_string(key.sizeBytes));
    const bool certain = !key.serial.empty() || !key.wwid.empty() || !key.inode.empty() ||
                         (!key.backingFile.empty() && !key.backingInode.empty());
    return certain ? text : std::string(kUncertainIdentity) + text;
}

}  // namespace platform::linux
