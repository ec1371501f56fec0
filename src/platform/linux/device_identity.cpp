#include "platform/linux/device_identity.h"

#include <algorithm>
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

bool readSectorSizes(const std::string& blockDir, SectorSizes& sizes) {
    // A partition has no queue of its own: its parent folder is the disk's.
    std::string queue = blockDir + "/queue";
    if (attribute(queue + "/logical_block_size").empty()) queue = blockDir + "/../queue";
    const auto value = [](const std::string& text, std::uint32_t& out) {
        if (text.empty() || text.size() > 9 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        out = static_cast<std::uint32_t>(std::stoul(text));
        return true;
    };
    SectorSizes read;
    if (!value(attribute(queue + "/logical_block_size"), read.logicalBytes) ||
        !value(attribute(queue + "/physical_block_size"), read.physicalBytes))
        return false;
    // Older kernels and some drivers do not give the offset: none.
    if (!value(attribute(blockDir + "/alignment_offset"), read.alignmentBytes)) read.alignmentBytes = 0;
    const auto powerOfTwo = [](std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (read.logicalBytes < 512 || !powerOfTwo(read.logicalBytes) || !powerOfTwo(read.physicalBytes) ||
        read.physicalBytes < read.logicalBytes || read.alignmentBytes >= read.physicalBytes ||
        read.alignmentBytes % read.logicalBytes != 0)
        return false;
    sizes = read;
    return true;
}

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
