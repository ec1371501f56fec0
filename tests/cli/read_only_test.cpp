// The console tool on a real block device (a loop device; needs root): listing the drives,
// reading S.M.A.R.T. data and the speed test never open the device for writing, so closing it
// gives udev no reason to re-read its partition table. Only the scan, which must write, does.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "loop_device.h"
#include "run_process.h"
#include "temp_tree.h"

namespace {

struct DeviceEvents {
    int opened = 0;
    int closedAfterWriting = 0;  // the event udev's watch rule acts on
    int modified = 0;
};

// inotify on the device node: the kernel reports every open, and every close of a descriptor
// that was open for writing, whoever made it.
class DeviceWatch {
public:
    explicit DeviceWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) watch_ = inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE);
    }
    ~DeviceWatch() {
        if (fd_ >= 0) close(fd_);
    }
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    bool watching() const { return watch_ >= 0; }
    // The events since the last call.
    DeviceEvents take() {
        DeviceEvents events;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                events.opened += (event->mask & IN_OPEN) != 0;
                events.closedAfterWriting += (event->mask & IN_CLOSE_WRITE) != 0;
                events.modified += (event->mask & IN_MODIFY) != 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return events;
    }

private:
    int fd_;
    int watch_ = -1;
};

}  // namespace

TEST(ReadOnlyLooks, ListingReadingSmartAndTheSpeedTestNeverOpenTheDeviceForWriting) {
    const std::string reason = LoopDevice::unavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    TempTree dir;
    LoopDevice loop(dir.makeImage("disk.img", 8192), 512);
    ASSERT_TRUE(loop.attached());
    DeviceWatch watch(loop.device());
    ASSERT_TRUE(watch.watching());
    watch.take();  // whatever attaching the device caused

    const std::string& device = loop.device();
    const std::vector<std::vector<std::string>> looks = {
        {"drives"},  // every disk of the machine, this one among them
        {"--json", "drives"},
        {"--device", device, "drives"},
        {"--device", device, "smart", "0"},
        {"--device", device, "--json", "smart", "0"},
        {"--device", device, "speed", "0"},
    };
    for (const auto& args : looks) {
        const clitest::ProcessResult result = clitest::RunProcess(VARIM_BINARY, args);
        const DeviceEvents events = watch.take();
        const std::string command = args.size() > 2 ? args[2] + " " + args.back() : args.back();
        EXPECT_GT(events.opened, 0) << command << ": the device was not even looked at\n" << result.err;
        EXPECT_EQ(events.closedAfterWriting, 0) << command << " opened the device for writing";
        EXPECT_EQ(events.modified, 0) << command << " wrote to the device";
    }

    // The watch does see a descriptor that was open for writing: the scan's.
    const clitest::ProcessResult scan =
        clitest::RunProcess(VARIM_BINARY, {"--device", device, "scan", "0", "--end", "100", "--mode", "standard"});
    EXPECT_EQ(scan.status, 0) << scan.err;
    EXPECT_GT(watch.take().closedAfterWriting, 0);
}

TEST(FourKibibyteSectors, ARegenerateScanLeavesEveryByteAsItWas) {
    const std::string reason = LoopDevice::unavailableReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    // Blocks of 100 sectors end in the middle of a 4096-byte unit every second block, and the
    // zero passes write single 512-byte sectors: each is a read-modify-write of its unit.
    constexpr std::uint64_t kSectors = 1600;
    TempTree dir;
    const std::string image = dir.makeImage("disk.img", kSectors);
    const std::vector<std::uint8_t> before = readFileBytes(image, 0, kSectors * 512);
    {
        LoopDevice loop(image, 4096);
        ASSERT_TRUE(loop.attached());
        const clitest::ProcessResult scan = clitest::RunProcess(
            VARIM_BINARY, {"--device", loop.device(), "scan", "0", "--end", "1450", "--mode", "regenerate"});
        EXPECT_EQ(scan.status, 0) << scan.out << scan.err;
    }
    EXPECT_TRUE(readFileBytes(image, 0, kSectors * 512) == before) << "the scan changed the disk's content";
}
