// DriveAccess against a scripted kernel: paths, seeks, transfers, geometry and sector counts.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "disk/drive_access.h"
#include "scripted_kernel.h"

namespace {

using disk_test::ScriptedKernel;
using platform::DWORD;

TEST(DevicePath, DecimalWithoutLeadingZeros) {
    EXPECT_EQ(disk::DriveAccess::DevicePath(0), "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(disk::DriveAccess::DevicePath(12), "\\\\.\\PHYSICALDRIVE12");
    EXPECT_EQ(disk::DriveAccess::DevicePath(31), "\\\\.\\PHYSICALDRIVE31");
}

TEST(SeekDrive, SplitsTheOffsetAndChecksWhereItLanded) {
    ScriptedKernel kernel;
    std::int32_t sentLow = -7, sentHigh = -7;
    kernel.seek = [&](std::int32_t low, std::int32_t* high) {
        sentLow = low;
        sentHigh = high ? *high : -99;
        return static_cast<DWORD>(low);
    };
    disk::DriveAccess access(kernel);
    EXPECT_TRUE(access.SeekDrive(101, (std::uint64_t{1} << 23) * 512));
    EXPECT_EQ(sentLow, 0);
    EXPECT_EQ(sentHigh, 1);

    EXPECT_TRUE(access.SeekDrive(101, 0xFFFFFE00ull));  // low part with the top bit set
    EXPECT_EQ(static_cast<std::uint32_t>(sentLow), 0xFFFFFE00u);
    EXPECT_EQ(sentHigh, 0);

    // A kernel that stops short of the asked position (for example at the device's end).
    kernel.seek = [](std::int32_t, std::int32_t* high) {
        *high = 0;
        return DWORD{4096};
    };
    EXPECT_FALSE(access.SeekDrive(101, std::uint64_t{5} << 32));
    kernel.seek = [&](std::int32_t, std::int32_t*) {
        kernel.lastError = platform::ERROR_NEGATIVE_SEEK;
        return platform::INVALID_SET_FILE_POINTER;
    };
    EXPECT_FALSE(access.SeekDrive(101, 512));
    EXPECT_EQ(access.LastError(), platform::ERROR_NEGATIVE_SEEK);
}

TEST(ReadWriteSectors, PartialTransfersAreFailures) {
    ScriptedKernel kernel;
    disk::DriveAccess access(kernel);
    std::vector<std::uint8_t> buffer(51200, 0);
    EXPECT_TRUE(access.ReadSectors(101, buffer.data(), 51200));
    EXPECT_TRUE(access.WriteSectors(101, buffer.data(), 51200));

    kernel.readTransferred = 512;
    EXPECT_FALSE(access.ReadSectors(101, buffer.data(), 51200));
    EXPECT_EQ(access.LastError(), platform::ERROR_HANDLE_EOF);
    EXPECT_FALSE(access.WriteSectors(101, buffer.data(), 51200));
    EXPECT_EQ(access.LastError(), platform::ERROR_HANDLE_EOF);

    kernel.readOk = false;
    EXPECT_FALSE(access.ReadSectors(101, buffer.data(), 512));
    EXPECT_EQ(access.LastError(), platform::ERROR_CRC);
}

TEST(GetGeometry, OffersTheLargeBufferAndZeroesOnFailure) {
    ScriptedKernel kernel;
    DWORD offered = 0, inSize = 99, code = 0;
    platform::DISK_GEOMETRY reported{};
    reported.Cylinders = 5000000;
    reported.MediaType = 12;
    reported.TracksPerCylinder = 255;
    reported.SectorsPerTrack = 63;
    reported.BytesPerSector = 512;
    kernel.ioctl = [&](DWORD c, const std::uint8_t*, DWORD in, DWORD out) {
        code = c;
        inSize = in;
        offered = out;
        ScriptedKernel::Answer answer;
        answer.output.resize(sizeof reported);
        std::memcpy(answer.output.data(), &reported, sizeof reported);
        return answer;
    };
    disk::DriveAccess access(kernel);
    const platform::DISK_GEOMETRY geometry = access.GetGeometry(101);
    EXPECT_EQ(code, platform::IOCTL_DISK_GET_DRIVE_GEOMETRY);
    EXPECT_EQ(inSize, 0u);
    EXPECT_EQ(offered, 2400u);
    EXPECT_EQ(geometry.Cylinders, 5000000);
    EXPECT_EQ(disk::SectorCountOf(geometry), 5000000ull * 255 * 63);  // beyond 32 bits

    kernel.ioctl = [](DWORD, const std::uint8_t*, DWORD, DWORD) {
        return ScriptedKernel::Answer{false, std::vector<std::uint8_t>(24, 0xFF), 1};
    };
    const platform::DISK_GEOMETRY failed = access.GetGeometry(101);
    EXPECT_EQ(failed.Cylinders, 0);
    EXPECT_EQ(failed.TracksPerCylinder, 0u);
    EXPECT_EQ(failed.SectorsPerTrack, 0u);
    EXPECT_EQ(disk::SectorCountOf(failed), 0u);
}

TEST(SectorCountOf, FullProductAndNoWrapping) {
    platform::DISK_GEOMETRY small{};
    small.Cylinders = 124;
    small.TracksPerCylinder = 255;
    small.SectorsPerTrack = 63;
    EXPECT_EQ(disk::SectorCountOf(small), 1992060u);

    platform::DISK_GEOMETRY negative = small;
    negative.Cylinders = -5;
    EXPECT_EQ(disk::SectorCountOf(negative), 0u);

    platform::DISK_GEOMETRY huge = small;
    huge.Cylinders = INT64_MAX;
    EXPECT_EQ(disk::SectorCountOf(huge), UINT64_MAX);
}

}  // namespace
