#include "loop_device.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

int runShell(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::array<char, 512> chunk{};
    std::string text;
    while (fgets(chunk.data(), static_cast<int>(chunk.size()), pipe) != nullptr) text += chunk.data();
    const int status = pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string LoopDevice::unavailableReason() {
    if (geteuid() != 0) return "loop devices need root";
    if (access("/dev/loop-control", F_OK) != 0) return "no /dev/loop-control";
    if (runShell("command -v losetup") != 0) return "no losetup";
    return "";
}

LoopDevice::LoopDevice(const std::string& image, std::uint32_t sectorSize, bool partitions) {
    std::string out;
    const std::string command = "losetup -f --show --direct-io=on --sector-size " + std::to_string(sectorSize) +
                                (partitions ? " -P " : " ") + "'" + image + "'";
    if (runShell(command, &out) == 0) {
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        device_ = out;
        if (partitions) runShell("udevadm settle 2>/dev/null; sleep 0.2");
    }
}

LoopDevice::~LoopDevice() {
    if (swapOn_) runShell("swapoff '" + device_ + "'");
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) runShell("umount '" + *it + "'");
    if (!device_.empty()) runShell("losetup -d '" + device_ + "'");
}

bool LoopDevice::reattach(const std::string& image) {
    if (device_.empty()) return false;
    // One shell, so that the device is free for as short a time as possible.
    const int status = runShell("losetup -d '" + device_ + "' || exit 2; losetup --direct-io=on '" + device_ + "' '" +
                                image + "' || exit 3");
    if (status == 0) return true;
    if (status == 3) device_.clear();
    return false;
}

std::string LoopDevice::mountExt2(const std::string& target, const std::string& mountPoint) {
    std::string out;
    if (runShell("mkfs.ext2 -q -F '" + target + "'", &out) != 0) return "mkfs.ext2: " + out;
    if (runShell("mount -t ext2 '" + target + "' '" + mountPoint + "'", &out) != 0) return "mount: " + out;
    mounts_.push_back(mountPoint);
    return "";
}

std::string LoopDevice::enableSwap() {
    std::string out;
    if (runShell("mkswap '" + device_ + "'", &out) != 0) return "mkswap: " + out;
    if (runShell("swapon '" + device_ + "'", &out) != 0) return "swapon: " + out;
    swapOn_ = true;
    return "";
}

void writeMbr(const std::string& image, std::uint64_t sectors) {
    std::array<std::uint8_t, 512> mbr{};
    std::uint8_t* entry = mbr.data() + 446;
    const std::uint32_t first = 2048;
    const std::uint32_t count = static_cast<std::uint32_t>(sectors - first);
    entry[4] = 0x83;
    for (int i = 0; i < 4; ++i) {
        entry[8 + i] = static_cast<std::uint8_t>(first >> (8 * i));
        entry[12 + i] = static_cast<std::uint8_t>(count >> (8 * i));
    }
    entry[1] = entry[2] = entry[3] = entry[5] = entry[6] = entry[7] = 0xFF;  // CHS unused
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
    file.write(reinterpret_cast<const char*>(mbr.data()), mbr.size());
}
