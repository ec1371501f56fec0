#pragma once
// Real block devices for the tests: an image file attached as a loop device, optionally with
// 4096-byte logical sectors, a partition, a mounted filesystem or active swap. Everything is
// undone when the object goes away, also when the test failed halfway.
#include <cstdint>
#include <string>
#include <vector>

#include "temp_tree.h"

class LoopDevice {
public:
    // Why loop devices cannot be used here, or empty when they can (root and loop-control).
    static std::string unavailableReason();

    // Attaches dir/name (made with TempTree::makeImage beforehand) with direct I/O on.
    // partitions: scan the partition table (losetup -P).
    LoopDevice(const std::string& image, std::uint32_t sectorSize, bool partitions = false);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    bool attached() const { return !device_.empty(); }
    const std::string& device() const { return device_; }

    // Detaches the device and attaches the same device name to another image, as a user or a
    // service might between two looks at the drives. False when that fails (another program took
    // the free device meanwhile); the object then no longer owns any device.
    bool reattach(const std::string& image);

    // mkfs.ext2 on target (the device or one of its partitions) and a mount on mountPoint.
    // Returns the shell's complaint, or empty on success.
    std::string mountExt2(const std::string& target, const std::string& mountPoint);
    // mkswap and swapon on the device. Returns the complaint, or empty on success.
    std::string enableSwap();

private:
    std::string device_;
    std::vector<std::string> mounts_;
    bool swapOn_ = false;
};

// Runs a shell command; its exit status, with stdout and stderr into output.
int runShell(const std::string& command, std::string* output = nullptr);

// A one-partition MBR: partition 1 of type 0x83 from sector 2048 to the end.
void writeMbr(const std::string& image, std::uint64_t sectors);
