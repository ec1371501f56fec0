// The contract of the kernel seam, written once and run against every kernel that answers it:
// the simulated machine (the test double of the others), LinuxKernel on a disk image file, and,
// as root, LinuxKernel on loop devices with 512-byte and 4096-byte logical sectors.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "loop_device.h"
#include "platform/linux/linux_kernel.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/storage_query.h"
#include "temp_tree.h"

using namespace platform;

namespace {

constexpr std::uint64_t kSectors = 2048;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kCreateAlways = 2;

// One kernel with drive 0 of kSectors sectors (letter C), and what its alignment query answers.
// Members go in reverse order: the kernel closes its handles before the loop device detaches.
struct Subject {
    std::unique_ptr<TempTree> dir;
    std::unique_ptr<LoopDevice> loop;
    std::unique_ptr<Kernel> kernel;
    DWORD logicalBytes = 512;
    DWORD physicalBytes = 512;
    DWORD alignmentBytes = 0;
    std::string skip;  // why this kernel cannot be tried here
};

struct Maker {
    const char* name;
    std::function<Subject()> make;
};

Subject Simulated() {
    Subject s;
    std::string error;
    s.kernel = sim::SimulatedKernel::fromText("[Drive0]\nSectors = 2048\nPhysicalSectorSize = 4096\nAlignmentOffset = 7\n",
                                              ".", "contract.ini", error);
    s.physicalBytes = 4096;
    s.alignmentBytes = 7 * 512;
    if (!s.kernel) s.skip = error;
    return s;
}

Subject Image() {
    Subject s;
    s.dir = std::make_unique<TempTree>();
    s.kernel = std::make_unique<linux::LinuxKernel>(std::vector<std::string>{s.dir->makeImage("disk.img", kSectors)});
    return s;
}

Subject Loop(std::uint32_t sectorSize) {
    Subject s;
    s.skip = LoopDevice::unavailableReason();
    if (!s.skip.empty()) return s;
    s.dir = std::make_unique<TempTree>();
    s.loop = std::make_unique<LoopDevice>(s.dir->makeImage("disk.img", kSectors), sectorSize);
    if (!s.loop->attached()) {
        s.skip = "losetup could not attach the image";
        return s;
    }
    s.kernel = std::make_unique<linux::LinuxKernel>(std::vector<std::string>{s.loop->device()});
    s.logicalBytes = s.physicalBytes = sectorSize;
    return s;
}

const Maker kMakers[] = {
    {"Simulated", Simulated},
    {"ImageFile", Image},
    {"Loop512", [] { return Loop(512); }},
    {"Loop4096", [] { return Loop(4096); }},
};

class KernelContract : public ::testing::TestWithParam<Maker> {
protected:
    void SetUp() override {
        subject_ = GetParam().make();
        if (!subject_.skip.empty()) {
            std::printf("skipped: %s\n", subject_.skip.c_str());
            GTEST_SKIP() << subject_.skip;
        }
    }
    Kernel& k() { return *subject_.kernel; }
    Handle Open(const std::string& path = "\\\\.\\PHYSICALDRIVE0", DWORD access = kReadWrite) {
        return k().createFile(path, access, kShareAll, nullptr, OPEN_EXISTING, 0);
    }
    bool Seek(Handle h, std::uint64_t offset) {
        std::int32_t high = static_cast<std::int32_t>(offset >> 32);
        const DWORD low = k().setFilePointer(h, static_cast<std::int32_t>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
        return !(low == INVALID_SET_FILE_POINTER && k().getLastError() != ERROR_SUCCESS);
    }
    // A transfer of `sectors` at `sector`: whether it succeeded, its last error and bytes moved.
    struct Result {
        bool ok;
        DWORD error;
        DWORD moved;
    };
    Result Transfer(Handle h, bool write, std::uint64_t sector, std::uint32_t sectors, std::uint8_t* data) {
        DWORD moved = 12345;
        if (!Seek(h, sector * 512)) return {false, k().getLastError(), 0};
        const bool ok = write ? k().writeFile(h, data, sectors * 512, &moved) : k().readFile(h, data, sectors * 512, &moved);
        return {ok, k().getLastError(), moved};
    }

    Subject subject_;
};

TEST_P(KernelContract, OpeningTakesTheDevicePathInAnyCaseAndNothingElse) {
    struct Case {
        const char* path;
        DWORD disposition;
        DWORD error;  // 0: opens
    };
    const Case cases[] = {
        {"\\\\.\\PHYSICALDRIVE0", OPEN_EXISTING, 0},
        {"\\\\.\\physicalDrive0", OPEN_EXISTING, 0},
        {"\\\\.\\PHYSICALDRIVE00", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\PHYSICALDRIVE1", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\PHYSICALDRIVE", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\PHYSICALDRIVE0 ", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\PHYSICALDRIVE-1", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"C:\\", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\PHYSICALDRIVE0", kCreateAlways, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        const Handle h = k().createFile(c.path, kReadWrite, kShareAll, nullptr, c.disposition, 0);
        EXPECT_EQ(h == kInvalidHandle, c.error != 0) << c.path;
        EXPECT_EQ(k().getLastError(), c.error) << c.path;
        if (h != kInvalidHandle) {
            EXPECT_TRUE(k().closeHandle(h));
        }
    }
    const Handle h = Open();
    ASSERT_TRUE(k().closeHandle(h));
    EXPECT_FALSE(k().closeHandle(h));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_HANDLE);
    std::uint8_t sector[512];
    DWORD moved = 0;
    std::string reason;
    std::string identity;
    EXPECT_FALSE(k().readFile(h, sector, 512, &moved));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(k().flushFileBuffers(h));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(k().claimForWriting(h, reason));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(k().driveIdentity(h, identity));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(k().isListedDevice(h));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_HANDLE);
}

TEST_P(KernelContract, OnlyAClaimedHandleWritesAndOnlyWholeSectorsOnTheDriveMove) {
    std::vector<std::uint8_t> data(8 * 512, 0x5A), back(8 * 512, 0);
    const Handle readOnly = Open("\\\\.\\PHYSICALDRIVE0", GENERIC_READ);
    std::string reason;
    EXPECT_FALSE(k().claimForWriting(readOnly, reason));
    EXPECT_EQ(k().getLastError(), ERROR_ACCESS_DENIED);
    k().closeHandle(readOnly);

    const Handle h = Open();
    ASSERT_NE(h, kInvalidHandle);
    ASSERT_TRUE(Transfer(h, false, 100, 8, back.data()).ok);
    const std::vector<std::uint8_t> before = back;
    const Result unclaimed = Transfer(h, true, 100, 8, data.data());
    EXPECT_FALSE(unclaimed.ok) << "looking at a drive never changes it";
    EXPECT_EQ(unclaimed.error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(unclaimed.moved, 0u);
    ASSERT_TRUE(Transfer(h, false, 100, 8, back.data()).ok);
    EXPECT_EQ(back, before);

    ASSERT_TRUE(k().claimForWriting(h, reason)) << reason;
    ASSERT_TRUE(k().claimForWriting(h, reason)) << "a second claim of the same handle holds";
    struct Case {
        bool write;
        std::uint64_t sector;
        std::uint32_t sectors;
        DWORD error;  // 0: moves every byte
    };
    const Case cases[] = {
        {true, 100, 8, 0},           {false, 100, 8, 0},
        {true, 101, 1, 0},           {false, 101, 1, 0},
        {true, kSectors - 8, 8, 0},  {false, kSectors - 1, 1, 0},
        {true, kSectors - 1, 2, ERROR_SECTOR_NOT_FOUND}, {false, kSectors - 1, 2, ERROR_SECTOR_NOT_FOUND},
        {true, kSectors, 1, ERROR_SECTOR_NOT_FOUND},     {false, kSectors + 8, 1, ERROR_SECTOR_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.write ? "write " : "read ") + std::to_string(c.sector) + "+" + std::to_string(c.sectors));
        std::memset(data.data(), static_cast<int>(c.sector & 0xFF), data.size());
        const Result r = Transfer(h, c.write, c.sector, c.sectors, c.write ? data.data() : back.data());
        EXPECT_EQ(r.ok, c.error == 0);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.moved, c.error == 0 ? c.sectors * 512 : 0u);
        if (c.write && r.ok) {
            ASSERT_TRUE(Transfer(h, false, c.sector, c.sectors, back.data()).ok);
            EXPECT_EQ(std::memcmp(back.data(), data.data(), c.sectors * 512), 0);
        }
    }
    ASSERT_TRUE(Seek(h, 100 * 512));
    DWORD moved = 0;
    EXPECT_FALSE(k().readFile(h, back.data(), 100, &moved));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(k().flushFileBuffers(h));
    EXPECT_EQ(k().getLastError(), ERROR_SUCCESS);
    k().closeHandle(h);
}

TEST_P(KernelContract, SeeksMoveByEveryMethodAndRefuseWhatNoPositionCanBe) {
    const Handle h = Open();
    ASSERT_NE(h, kInvalidHandle);
    std::int32_t high = 0;
    EXPECT_EQ(k().setFilePointer(h, 1024, &high, FILE_BEGIN), 1024u);
    EXPECT_EQ(k().setFilePointer(h, 512, &high, FILE_CURRENT), 1536u);
    high = -1;
    EXPECT_EQ(k().setFilePointer(h, -512, &high, FILE_END), kSectors * 512 - 512);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(k().getLastError(), ERROR_SUCCESS);
    high = 1;
    EXPECT_EQ(k().setFilePointer(h, 0, &high, FILE_BEGIN), 0u) << "past the end is a position";
    EXPECT_EQ(high, 1);
    high = -1;
    EXPECT_EQ(k().setFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(k().getLastError(), ERROR_NEGATIVE_SEEK);
    high = 0x7FFFFFFF;
    EXPECT_EQ(k().setFilePointer(h, -1, &high, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(k().setFilePointer(h, 0, &high, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_PARAMETER);
    k().closeHandle(h);
}

TEST_P(KernelContract, IdentityGeometryAndSectorSizesDescribeTheDrive) {
    const Handle h = Open();
    ASSERT_NE(h, kInvalidHandle);
    std::string first, second;
    ASSERT_TRUE(k().driveIdentity(h, first));
    ASSERT_TRUE(k().driveIdentity(h, second));
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    EXPECT_TRUE(k().isListedDevice(h));

    DISK_GEOMETRY geometry{};
    DWORD returned = 0;
    ASSERT_TRUE(k().deviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned));
    EXPECT_EQ(returned, sizeof geometry);
    EXPECT_EQ(static_cast<std::uint64_t>(geometry.Cylinders) * geometry.TracksPerCylinder * geometry.SectorsPerTrack,
              kSectors);
    EXPECT_EQ(geometry.BytesPerSector, 512u);
    EXPECT_FALSE(k().deviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, 8, &returned));
    EXPECT_EQ(k().getLastError(), ERROR_INSUFFICIENT_BUFFER);

    std::uint8_t query[kStoragePropertyQueryBytes] = {};
    const STORAGE_PROPERTY_QUERY_HEADER header{StorageAccessAlignmentProperty, PropertyStandardQuery};
    std::memcpy(query, &header, sizeof header);
    STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR sizes{};
    ASSERT_TRUE(k().deviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query, &sizes, sizeof sizes, &returned));
    EXPECT_EQ(returned, sizeof sizes);
    EXPECT_EQ(sizes.Version, sizeof sizes);
    EXPECT_EQ(sizes.BytesPerLogicalSector, subject_.logicalBytes);
    EXPECT_EQ(sizes.BytesPerPhysicalSector, subject_.physicalBytes);
    EXPECT_EQ(sizes.BytesOffsetForSectorAlignment, subject_.alignmentBytes);
    EXPECT_FALSE(k().deviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query, &sizes, 8, &returned));
    EXPECT_EQ(k().getLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(k().deviceIoControl(h, 0x12345678, nullptr, 0, &sizes, sizeof sizes, &returned));
    EXPECT_EQ(k().getLastError(), ERROR_INVALID_FUNCTION);
    k().closeHandle(h);
}

TEST_P(KernelContract, TheDrivesLetterAnswersInEverySpellingOfItsRoot) {
    EXPECT_NE(k().getLogicalDrives() & (1u << ('C' - 'A')), 0u);
    for (const char* root : {"C:\\", "C:", "C:/", "c:\\"}) EXPECT_EQ(k().getDriveType(root), DRIVE_FIXED) << root;
    for (const char* root : {"", "C", "C:\\x", "CC\\", "1:\\"}) EXPECT_EQ(k().getDriveType(root), DRIVE_NO_ROOT_DIR) << root;
}

INSTANTIATE_TEST_SUITE_P(Kernels, KernelContract, ::testing::ValuesIn(kMakers),
                         [](const ::testing::TestParamInfo<Maker>& info) { return std::string(info.param.name); });

}  // namespace
