// Sector I/O, file positions, geometry and error codes of LinuxKernel on disk image files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

#include "platform/linux/errno_map.h"
#include "platform/linux/linux_kernel.h"
#include "temp_tree.h"

using namespace platform;
using platform::linux::LinuxKernel;

namespace {

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

Handle openDrive(Kernel& kernel, int number, DWORD access = kReadWrite) {
    return kernel.createFile("\\\\.\\PHYSICALDRIVE" + std::to_string(number), access, kShareAll, nullptr,
                             OPEN_EXISTING, 0);
}

// A handle that may write: opened, then claimed (writes on an unclaimed handle are refused).
Handle openClaimed(Kernel& kernel, int number) {
    const Handle h = openDrive(kernel, number);
    std::string reason;
    if (h != kInvalidHandle) {
        EXPECT_TRUE(kernel.claimForWriting(h, reason)) << reason;
    }
    return h;
}

bool seekSector(Kernel& kernel, Handle h, std::uint64_t sector) {
    const std::uint64_t offset = sector * 512;
    std::int32_t high = static_cast<std::int32_t>(offset >> 32);
    const DWORD low = kernel.setFilePointer(h, static_cast<std::int32_t>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && kernel.getLastError() != ERROR_SUCCESS);
}

std::vector<std::uint8_t> filled(std::size_t bytes, std::uint8_t value) { return std::vector<std::uint8_t>(bytes, value); }

class ImageIo : public ::testing::Test {
protected:
    TempTree dir;
    std::string image = dir.makeImage("disk.img", 64);
    LinuxKernel kernel{std::vector<std::string>{image}};
};

}  // namespace

TEST_F(ImageIo, WritesLandOnExactlyTheirSectorsAndReadsSeeThem) {
    const Handle h = openClaimed(kernel, 0);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_SUCCESS);

    ASSERT_TRUE(seekSector(kernel, h, 10));
    const auto data = filled(3 * 512, 0xC3);
    DWORD moved = 0;
    ASSERT_TRUE(kernel.writeFile(h, data.data(), 3 * 512, &moved));
    EXPECT_EQ(moved, 3u * 512);
    // The position advanced past the write.
    std::int32_t high = 0;
    EXPECT_EQ(kernel.setFilePointer(h, 0, &high, FILE_CURRENT), 13u * 512);

    EXPECT_EQ(readFileBytes(image, 10 * 512, 3 * 512), data);
    EXPECT_EQ(readFileBytes(image, 9 * 512, 512), filled(512, TempTree::patternByte(9)));
    EXPECT_EQ(readFileBytes(image, 13 * 512, 512), filled(512, TempTree::patternByte(13)));

    ASSERT_TRUE(seekSector(kernel, h, 9));
    std::vector<std::uint8_t> back(5 * 512);
    ASSERT_TRUE(kernel.readFile(h, back.data(), 5 * 512, &moved));
    EXPECT_EQ(moved, 5u * 512);
    EXPECT_EQ(back[0], TempTree::patternByte(9));
    EXPECT_EQ(back[512], 0xC3);
    EXPECT_EQ(back[4 * 512 - 1], 0xC3);
    EXPECT_EQ(back[4 * 512], TempTree::patternByte(13));
    EXPECT_TRUE(kernel.closeHandle(h));
    EXPECT_FALSE(kernel.closeHandle(h));
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_HANDLE);
}

// Page-aligned memory moves in one call; any other memory through the bounce buffer, in pieces.
TEST_F(ImageIo, LargeTransfersAreCompleteFromAlignedAndUnalignedMemory) {
    TempTree big;
    const std::string path = big.makeImage("big.img", 3000);
    LinuxKernel k{std::vector<std::string>{path}};
    const Handle h = openClaimed(k, 0);
    ASSERT_NE(h, kInvalidHandle);
    constexpr std::size_t kBytes = 2100 * 512;
    constexpr std::size_t kMemoryBytes = (kBytes / 4096 + 2) * 4096;  // aligned_alloc wants whole pages
    std::unique_ptr<std::uint8_t, decltype(&std::free)> memory(
        static_cast<std::uint8_t*>(std::aligned_alloc(4096, kMemoryBytes)), &std::free);
    for (const std::size_t shift : {std::size_t{0}, std::size_t{512}, std::size_t{3}}) {
        SCOPED_TRACE(shift);
        std::uint8_t* buffer = memory.get() + shift;
        std::vector<std::uint8_t> data(kBytes);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i / 512 * 13 + i + shift);
        std::memcpy(buffer, data.data(), kBytes);
        ASSERT_TRUE(seekSector(k, h, 1));
        DWORD moved = 0;
        ASSERT_TRUE(k.writeFile(h, buffer, kBytes, &moved));
        EXPECT_EQ(readFileBytes(path, 512, kBytes), data);
        EXPECT_EQ(readFileBytes(path, 0, 512), filled(512, TempTree::patternByte(0)));
        EXPECT_EQ(readFileBytes(path, 2101 * 512, 512), filled(512, TempTree::patternByte(2101)));
        std::memset(buffer, 0, kBytes);
        ASSERT_TRUE(seekSector(k, h, 1));
        ASSERT_TRUE(k.readFile(h, buffer, kBytes, &moved));
        EXPECT_EQ(std::memcmp(buffer, data.data(), kBytes), 0);
    }
    k.closeHandle(h);
}

TEST_F(ImageIo, ATransferCrossingTheEndFailsWholeAndMovesNothing) {
    const Handle h = openClaimed(kernel, 0);
    ASSERT_NE(h, kInvalidHandle);
    ASSERT_TRUE(seekSector(kernel, h, 62));
    const auto data = filled(4 * 512, 0xEE);
    DWORD moved = 99;
    EXPECT_FALSE(kernel.writeFile(h, data.data(), 4 * 512, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_SECTOR_NOT_FOUND);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(readFileBytes(image, 62 * 512, 512), filled(512, TempTree::patternByte(62)));
    EXPECT_EQ(readFileBytes(image, 63 * 512, 512), filled(512, TempTree::patternByte(63)));
    struct stat st {};
    ASSERT_EQ(stat(image.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 64 * 512);  // the image did not grow

    std::vector<std::uint8_t> back(4 * 512, 0x11);
    EXPECT_FALSE(kernel.readFile(h, back.data(), 4 * 512, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_SECTOR_NOT_FOUND);
    std::int32_t high = 0;
    EXPECT_EQ(kernel.setFilePointer(h, 0, &high, FILE_CURRENT), 62u * 512);  // position unchanged

    // Up to the last sector is fine; one sector past it is not.
    ASSERT_TRUE(kernel.readFile(h, back.data(), 2 * 512, &moved));
    EXPECT_EQ(back[512], TempTree::patternByte(63));
    EXPECT_FALSE(kernel.readFile(h, back.data(), 512, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_SECTOR_NOT_FOUND);
    kernel.closeHandle(h);
}

TEST_F(ImageIo, OnlyWholeSectorsAtSectorBoundariesMove) {
    const Handle h = openClaimed(kernel, 0);
    std::vector<std::uint8_t> buffer(1024);
    DWORD moved = 0;
    EXPECT_FALSE(kernel.readFile(h, buffer.data(), 100, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(kernel.writeFile(h, buffer.data(), 513, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_PARAMETER);
    kernel.setFilePointer(h, 100, nullptr, FILE_BEGIN);
    EXPECT_FALSE(kernel.readFile(h, buffer.data(), 512, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(readFileBytes(image, 0, 512), filled(512, TempTree::patternByte(0)));
    kernel.closeHandle(h);
}

TEST(FilePointer, SixtyFourBitPositionsWithEveryMoveMethod) {
    TempTree dir;
    const std::string path = dir.path("sparse.img");
    {
        std::ofstream(path).close();
        ASSERT_EQ(truncate(path.c_str(), 5LL << 30), 0);  // 5 GiB, sparse
    }
    LinuxKernel kernel{std::vector<std::string>{path}};
    const Handle h = openClaimed(kernel, 0);
    ASSERT_NE(h, kInvalidHandle);

    // Sector 2^23 starts at 4 GiB: low part 0, high part 1.
    std::int32_t high = 1;
    EXPECT_EQ(kernel.setFilePointer(h, 0, &high, FILE_BEGIN), 0u);
    EXPECT_EQ(kernel.getLastError(), ERROR_SUCCESS);
    EXPECT_EQ(high, 1);
    const auto data = filled(512, 0x5A);
    DWORD moved = 0;
    ASSERT_TRUE(kernel.writeFile(h, data.data(), 512, &moved));
    EXPECT_EQ(readFileBytes(path, 4ULL << 30, 512), data);

    high = -1;  // with a high part the distance is high:low, so -512 needs all ones above
    EXPECT_EQ(kernel.setFilePointer(h, -512, &high, FILE_CURRENT), 0u);  // back to 4 GiB
    EXPECT_EQ(high, 1);
    high = -1;  // -1024 as a 64-bit distance
    EXPECT_EQ(kernel.setFilePointer(h, -1024, &high, FILE_END), static_cast<DWORD>((5ULL << 30) - 1024));
    EXPECT_EQ(high, 1);
    std::vector<std::uint8_t> back(1024);
    EXPECT_TRUE(kernel.readFile(h, back.data(), 1024, &moved));

    // A low part of all ones is a real position, told apart by the last error.
    high = 0;
    EXPECT_EQ(kernel.setFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(kernel.getLastError(), ERROR_SUCCESS);

    // Failures leave the position where it was.
    high = 0;
    kernel.setFilePointer(h, 4096, &high, FILE_BEGIN);
    high = -1;
    EXPECT_EQ(kernel.setFilePointer(h, -8192, &high, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(kernel.getLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(kernel.setFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_PARAMETER);
    // Without a high part, a position beyond 32 bits cannot be reported and is refused.
    EXPECT_EQ(kernel.setFilePointer(h, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_NE(kernel.getLastError(), ERROR_SUCCESS);
    EXPECT_EQ(kernel.setFilePointer(h, 0, nullptr, FILE_CURRENT), 4096u);
    EXPECT_EQ(kernel.setFilePointer(kInvalidHandle, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_HANDLE);
    kernel.closeHandle(h);
}

TEST(OpeningDrives, FailuresCarryTheWindowsCodeAndSuccessClearsIt) {
    TempTree dir;
    const std::string image = dir.makeImage("disk.img", 8);
    dir.makeDir("folder");
    LinuxKernel kernel{std::vector<std::string>{image, dir.path("missing.img"), dir.path("folder")}};

    EXPECT_EQ(openDrive(kernel, 1), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(openDrive(kernel, 2), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(openDrive(kernel, 3), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(kernel.createFile("\\\\.\\PHYSICALDRIVE", kReadWrite, 0, nullptr, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(kernel.createFile("C:\\disk.img", kReadWrite, 0, nullptr, OPEN_EXISTING, 0), kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_FILE_NOT_FOUND);
    // Nothing may create or truncate a drive.
    EXPECT_EQ(kernel.createFile("\\\\.\\PHYSICALDRIVE0", kReadWrite, 0, nullptr, 2 /*CREATE_ALWAYS*/, 0),
              kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(readFileBytes(image, 0, 512), filled(512, TempTree::patternByte(0)));

    const Handle h = openDrive(kernel, 0);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_EQ(kernel.getLastError(), ERROR_SUCCESS);
    kernel.closeHandle(h);
}

TEST(OpeningDrives, AHandleDoesOnlyWhatItsAccessAllows) {
    TempTree dir;
    const std::string image = dir.makeImage("disk.img", 8);
    LinuxKernel kernel{std::vector<std::string>{image}};
    const Handle reader = openDrive(kernel, 0, GENERIC_READ);
    ASSERT_NE(reader, kInvalidHandle);
    std::vector<std::uint8_t> buffer(512, 0x77);
    DWORD moved = 0;
    EXPECT_TRUE(kernel.readFile(reader, buffer.data(), 512, &moved));
    EXPECT_FALSE(kernel.writeFile(reader, buffer.data(), 512, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_ACCESS_DENIED);
    std::string reason;
    EXPECT_FALSE(kernel.claimForWriting(reader, reason));
    EXPECT_EQ(kernel.getLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(reason.empty());
    kernel.closeHandle(reader);

    // Asking for write access is not enough: only the claim grants it.
    const Handle writer = openDrive(kernel, 0);
    ASSERT_NE(writer, kInvalidHandle);
    EXPECT_FALSE(kernel.writeFile(writer, buffer.data(), 512, &moved));
    EXPECT_EQ(kernel.getLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readFileBytes(image, 0, 512), filled(512, TempTree::patternByte(0)));
    ASSERT_TRUE(kernel.claimForWriting(writer, reason)) << reason;
    EXPECT_TRUE(kernel.writeFile(writer, buffer.data(), 512, &moved));
    kernel.closeHandle(writer);
    EXPECT_EQ(readFileBytes(image, 0, 512), buffer);
    EXPECT_EQ(readFileBytes(image, 512, 512), filled(512, TempTree::patternByte(1)));
}

TEST(OpeningDrives, AnImageReplacedSinceItWasListedIsNeverClaimed) {
    TempTree dir;
    const std::string image = dir.makeImage("disk.img", 8);
    LinuxKernel kernel{std::vector<std::string>{image}};
    Handle h = openDrive(kernel, 0);
    std::string listed;
    ASSERT_TRUE(kernel.driveIdentity(h, listed));
    EXPECT_TRUE(kernel.isListedDevice(h));
    // Replaced while open (between the open and the claim), then before the open.
    const std::string other = dir.makeImage("other.img", 8);
    ASSERT_EQ(rename(other.c_str(), image.c_str()), 0);
    for (int round = 0; round < 2; ++round) {
        std::string reason;
        EXPECT_FALSE(kernel.claimForWriting(h, reason)) << "round " << round;
        EXPECT_EQ(reason, "the drive changed since it was listed");
        EXPECT_EQ(kernel.getLastError(), ERROR_DEV_NOT_EXIST);
        DWORD moved = 0;
        const auto data = filled(512, 0xEE);
        EXPECT_FALSE(kernel.writeFile(h, data.data(), 512, &moved));
        kernel.closeHandle(h);
        h = openDrive(kernel, 0);
        ASSERT_NE(h, kInvalidHandle);
        EXPECT_FALSE(kernel.isListedDevice(h));
        std::string now;
        ASSERT_TRUE(kernel.driveIdentity(h, now));
        EXPECT_NE(now, listed);
    }
    kernel.closeHandle(h);
    EXPECT_EQ(readFileBytes(image, 0, 512), filled(512, TempTree::patternByte(0)));
}

TEST(ErrnoMapping, EveryErrnoGivesTheCodeCallersExpect) {
    using platform::linux::windowsErrorFromErrno;
    EXPECT_EQ(windowsErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(windowsErrorFromErrno(ENXIO), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(windowsErrorFromErrno(ENODEV), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(windowsErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
    EXPECT_EQ(windowsErrorFromErrno(EPERM), ERROR_ACCESS_DENIED);
    EXPECT_EQ(windowsErrorFromErrno(EROFS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(windowsErrorFromErrno(ENOMEDIUM), ERROR_NOT_READY);
    EXPECT_EQ(windowsErrorFromErrno(EIO), ERROR_CRC);
    EXPECT_EQ(windowsErrorFromErrno(EILSEQ), ERROR_CRC);
    EXPECT_EQ(windowsErrorFromErrno(ENODATA), ERROR_CRC);
    EXPECT_EQ(windowsErrorFromErrno(EBUSY), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(windowsErrorFromErrno(ETXTBSY), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(windowsErrorFromErrno(EINVAL), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(windowsErrorFromErrno(ENOSPC), platform::linux::ERROR_DISK_FULL);
    EXPECT_EQ(windowsErrorFromErrno(ETIMEDOUT), ERROR_GEN_FAILURE);
    EXPECT_EQ(windowsErrorFromErrno(EREMOTEIO), ERROR_GEN_FAILURE);
}

TEST(Geometry, TheProductIsTheSectorCountAndFilesAnswerNoSmart) {
    TempTree dir;
    const std::string image = dir.makeImage("disk.img", 1234);
    LinuxKernel kernel{std::vector<std::string>{image}};
    const Handle h = openDrive(kernel, 0);
    ASSERT_NE(h, kInvalidHandle);
    std::vector<std::uint8_t> out(2400, 0xFF);
    DWORD returned = 0;
    ASSERT_TRUE(kernel.deviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out.data(), 2400, &returned));
    EXPECT_EQ(returned, sizeof(DISK_GEOMETRY));
    DISK_GEOMETRY g{};
    std::memcpy(&g, out.data(), sizeof g);
    EXPECT_EQ(g.Cylinders * g.TracksPerCylinder * g.SectorsPerTrack, 1234);
    EXPECT_EQ(g.BytesPerSector, 512u);
    EXPECT_EQ(g.MediaType, 12u);
    EXPECT_FALSE(kernel.deviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out.data(), 10, &returned));
    EXPECT_EQ(kernel.getLastError(), ERROR_INSUFFICIENT_BUFFER);

    // An image file has no drive behind it to answer ATA commands.
    GETVERSIONINPARAMS version{};
    EXPECT_FALSE(kernel.deviceIoControl(h, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned));
    EXPECT_NE(kernel.getLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(kernel.deviceIoControl(h, 0x2D1400 /*IOCTL_STORAGE_QUERY_PROPERTY*/, nullptr, 0, out.data(), 2400,
                                        &returned));
    EXPECT_EQ(kernel.getLastError(), ERROR_INVALID_FUNCTION);
    kernel.closeHandle(h);
}

TEST(Claiming, AnImageFileIsClaimedByOneKernelAtATime) {
    TempTree dir;
    const std::string image = dir.makeImage("disk.img", 8);
    LinuxKernel first{std::vector<std::string>{image}};
    LinuxKernel second{std::vector<std::string>{image}};
    const Handle a = openDrive(first, 0);
    const Handle b = openDrive(second, 0);
    std::string reason;
    EXPECT_TRUE(first.claimForWriting(a, reason));
    EXPECT_FALSE(second.claimForWriting(b, reason));
    EXPECT_EQ(second.getLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_NE(reason.find(image), std::string::npos) << reason;
    first.closeHandle(a);
    EXPECT_TRUE(second.claimForWriting(b, reason));
    second.closeHandle(b);
}

TEST(TmpfsImages, FilesystemsWithoutDirectIoStillGetDurableWholeSectorWrites) {
    struct statfs fs {};
    constexpr long kTmpfsMagic = 0x01021994;
    if (statfs("/dev/shm", &fs) != 0 || fs.f_type != kTmpfsMagic) GTEST_SKIP() << "no tmpfs at /dev/shm";
    TempTree dir("/dev/shm");
    const std::string image = dir.makeImage("disk.img", 16);
    LinuxKernel kernel{std::vector<std::string>{image}};
    const Handle h = openClaimed(kernel, 0);
    ASSERT_NE(h, kInvalidHandle) << kernel.getLastError();
    ASSERT_TRUE(seekSector(kernel, h, 3));
    const auto data = filled(512, 0x3C);
    DWORD moved = 0;
    ASSERT_TRUE(kernel.writeFile(h, data.data(), 512, &moved));
    EXPECT_EQ(readFileBytes(image, 3 * 512, 512), data);
    EXPECT_EQ(readFileBytes(image, 4 * 512, 512), filled(512, TempTree::patternByte(4)));
    kernel.closeHandle(h);
}
