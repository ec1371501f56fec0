// The simulated machine as the drive layer meets it: opening devices, 64-bit positions,
// whole-sector transfers, every surface fault kind and the call log.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "platform/storage_query.h"
#include "sim_machine_helpers.h"

namespace platform::sim {
namespace {

using namespace platform::sim::testing;

constexpr const char* kSmallDrive = "[Drive0]\nSectors = 1000\n";

TEST(SimulatedKernelOpen, OnlyTheExactDevicePathOfAnExistingDriveOpens) {
    auto kernel = machine("[Drive0]\nSectors = 100\n[Drive12]\nSectors = 100\n");
    ASSERT_TRUE(kernel);
    const char* refused[] = {"\\\\.\\PHYSICALDRIVE1",
                             "\\\\.\\PHYSICALDRIVE00",
                             "\\\\.\\PHYSICALDRIVE012",
                             "\\\\.\\PHYSICALDRIVE50",
                             "\\\\.\\PHYSICALDRIVE",
                             "\\\\.\\PHYSICALDRIVE0 ",
                             "C:\\",
                             ""};
    for (const char* path : refused) {
        EXPECT_EQ(kernel->createFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0), kInvalidHandle)
            << path;
        EXPECT_EQ(kernel->getLastError(), ERROR_FILE_NOT_FOUND) << path;
    }
    const Handle twelve = openDrive(*kernel, 12);
    EXPECT_NE(twelve, kInvalidHandle);
    EXPECT_EQ(kernel->getLastError(), 0u) << "a successful open clears the last error";
    const Handle zero = openDrive(*kernel, 0);
    EXPECT_NE(zero, twelve);
    EXPECT_EQ(kernel->openHandleCount(), 2u);
    EXPECT_TRUE(kernel->closeHandle(zero));
    EXPECT_TRUE(kernel->closeHandle(twelve));
    EXPECT_FALSE(kernel->closeHandle(twelve));
    EXPECT_EQ(kernel->getLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(kernel->openHandleCount(), 0u);
}

TEST(SimulatedKernelOpen, OpenErrorAndAbsentDrivesRefuseTheOpen) {
    auto kernel = machine("[Drive0]\nSectors = 100\nOpenError = 5\n[Drive1]\nSectors = 100\n");
    ASSERT_TRUE(kernel);
    EXPECT_EQ(openDrive(*kernel, 0), kInvalidHandle);
    EXPECT_EQ(kernel->getLastError(), ERROR_ACCESS_DENIED);

    const Handle handle = openDrive(*kernel, 1);
    kernel->setDrivePresent(1, false);
    EXPECT_EQ(openDrive(*kernel, 1), kInvalidHandle);
    EXPECT_EQ(kernel->getLastError(), ERROR_FILE_NOT_FOUND);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, handle, 0, 1, data)) << "a vanished drive answers no more transfers";
    kernel->setDrivePresent(1, true);
    EXPECT_TRUE(readAt(*kernel, handle, 0, 1, data));
    kernel->closeHandle(handle);
}

TEST(SimulatedKernelPosition, SeeksUseBothHalvesAndEveryMoveMethod) {
    auto kernel = machine("[Drive0]\nSectors = 20000000\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);

    std::int32_t high = 1;
    EXPECT_EQ(kernel->setFilePointer(h, 0, &high, FILE_BEGIN), 0u) << "sector 2^23 starts at 4 GiB";
    EXPECT_EQ(high, 1);
    EXPECT_EQ(kernel->getLastError(), 0u);

    high = 0;
    EXPECT_EQ(kernel->setFilePointer(h, 512, &high, FILE_CURRENT), 512u);
    EXPECT_EQ(high, 1);

    high = -1;  // -1024 as a 64-bit distance
    EXPECT_EQ(kernel->setFilePointer(h, -1024, &high, FILE_CURRENT), 0xFFFFFE00u);
    EXPECT_EQ(high, 0) << "4 GiB + 512 - 1024 is just below 4 GiB";

    high = 0;
    EXPECT_EQ(kernel->setFilePointer(h, -512, nullptr, FILE_END), INVALID_SET_FILE_POINTER)
        << "without a high part a position beyond 4 GiB cannot be reported";
    EXPECT_EQ(kernel->getLastError(), ERROR_INVALID_PARAMETER);

    high = -1;
    EXPECT_EQ(kernel->setFilePointer(h, -512, &high, FILE_END),
              static_cast<DWORD>((20000000ull * 512 - 512)));
    EXPECT_EQ(high, static_cast<std::int32_t>((20000000ull * 512 - 512) >> 32));

    EXPECT_EQ(kernel->setFilePointer(h, -512, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(kernel->getLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(kernel->setFilePointer(h, 1024, nullptr, FILE_BEGIN), 1024u);
    EXPECT_EQ(kernel->setFilePointer(h, -2048, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(kernel->getLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(kernel->setFilePointer(h, 0, nullptr, FILE_CURRENT), 1024u)
        << "a failed seek keeps the position";
    EXPECT_EQ(kernel->getLastError(), 0u);
    EXPECT_EQ(kernel->setFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    kernel->closeHandle(h);
}

TEST(SimulatedKernelTransfer, ReadsAndWritesMoveWholeSectorsAndAdvanceThePosition) {
    auto kernel = machine(kSmallDrive);
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    std::vector<std::uint8_t> data = filled(3, 0x11);
    data[512] = 0x22;
    ASSERT_TRUE(writeAt(*kernel, h, 10, data));
    DWORD done = 0;
    std::vector<std::uint8_t> next = filled(1, 0x33);
    ASSERT_TRUE(kernel->writeFile(h, next.data(), 512, &done)) << "continues at sector 13";
    EXPECT_EQ(done, 512u);
    EXPECT_EQ(kernel->peekSectors(0, 13, 1), next);

    std::vector<std::uint8_t> back;
    ASSERT_TRUE(readAt(*kernel, h, 10, 3, back));
    EXPECT_EQ(back, data);
    EXPECT_EQ(kernel->peekSectors(0, 9, 1), filled(1, 0)) << "memory drives start as zeros";

    std::vector<std::uint8_t> odd(100);
    EXPECT_FALSE(kernel->readFile(h, odd.data(), 100, &done));
    EXPECT_EQ(kernel->getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(kernel->writeFile(h, odd.data(), 100, &done));
    EXPECT_EQ(kernel->getLastError(), ERROR_INVALID_PARAMETER);
    kernel->closeHandle(h);

    const Handle readOnly =
        kernel->createFile("\\\\.\\PHYSICALDRIVE0", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0);
    EXPECT_FALSE(writeAt(*kernel, readOnly, 0, filled(1, 1)));
    EXPECT_EQ(kernel->getLastError(), ERROR_ACCESS_DENIED);
    kernel->closeHandle(readOnly);
}

TEST(SimulatedKernelTransfer, ATransferPastTheLastSectorMovesNothing) {
    auto kernel = machine(kSmallDrive);
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    kernel->pokeSectors(0, 998, filled(2, 0x44));

    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, h, 998, 3, data));
    EXPECT_EQ(kernel->getLastError(), ERROR_SECTOR_NOT_FOUND);
    DWORD done = 99;
    EXPECT_FALSE(kernel->writeFile(h, filled(3, 0x55).data(), 3 * 512, &done));
    EXPECT_EQ(kernel->getLastError(), ERROR_SECTOR_NOT_FOUND);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(kernel->peekSectors(0, 998, 2), filled(2, 0x44)) << "a failed write stores nothing";
    EXPECT_EQ(kernel->setFilePointer(h, 0, nullptr, FILE_CURRENT), 998u * 512)
        << "failures keep the position";

    EXPECT_TRUE(readAt(*kernel, h, 998, 2, data));
    EXPECT_EQ(data, filled(2, 0x44));
    EXPECT_FALSE(readAt(*kernel, h, 1000, 1, data));
    EXPECT_EQ(kernel->getLastError(), ERROR_SECTOR_NOT_FOUND);
    kernel->closeHandle(h);
}

TEST(SimulatedKernelTransfer, DrivesBeyondFourBillionSectorsWorkAtTheirEnd) {
    const std::uint64_t sectors = (std::uint64_t{1} << 32) + 1000;
    auto kernel = machine("[Drive0]\nSectors = 4294968296\nBadRead = 4294968000\n");
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->sectorCount(0), sectors);
    const Handle h = openDrive(*kernel, 0);
    std::vector<std::uint8_t> data = filled(4, 0x5A);
    ASSERT_TRUE(writeAt(*kernel, h, sectors - 4, data));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(readAt(*kernel, h, sectors - 4, 4, back));
    EXPECT_EQ(back, data);
    EXPECT_EQ(kernel->peekSectors(0, (sectors - 4) & 0xFFFFFFFFu, 1), filled(1, 0))
        << "the sector 2^32 below is a different one";
    EXPECT_FALSE(readAt(*kernel, h, sectors - 4, 5, back));
    EXPECT_EQ(kernel->getLastError(), ERROR_SECTOR_NOT_FOUND);
    EXPECT_FALSE(readAt(*kernel, h, 4294968000, 1, back));
    EXPECT_EQ(kernel->getLastError(), ERROR_CRC);
    kernel->closeHandle(h);
}

TEST(SimulatedKernelFaults, BadReadFailsEveryReadTouchingItButTakesWrites) {
    auto kernel = machine("[Drive0]\nSectors = 1000\nBadRead = 50, 60-61\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, h, 45, 10, data)) << "one bad sector fails the whole transfer";
    EXPECT_EQ(kernel->getLastError(), ERROR_CRC);
    EXPECT_TRUE(readAt(*kernel, h, 51, 9, data));
    EXPECT_FALSE(readAt(*kernel, h, 61, 1, data));
    ASSERT_TRUE(writeAt(*kernel, h, 50, filled(1, 0x77)));
    EXPECT_EQ(kernel->peekSectors(0, 50, 1), filled(1, 0x77));
    EXPECT_FALSE(readAt(*kernel, h, 50, 1, data)) << "bad for reading never heals";
    EXPECT_EQ(kernel->getLastError(), ERROR_CRC);
    kernel->closeHandle(h);
}

TEST(SimulatedKernelFaults, BadWriteFailsTheWholeTransferAndStoresNothing) {
    auto kernel = machine("[Drive0]\nSectors = 1000\nBadWrite = 105\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    kernel->pokeSectors(0, 100, filled(10, 0x12));
    EXPECT_FALSE(writeAt(*kernel, h, 100, filled(10, 0x34)));
    EXPECT_EQ(kernel->getLastError(), ERROR_CRC);
    EXPECT_EQ(kernel->peekSectors(0, 100, 10), filled(10, 0x12));
    std::vector<std::uint8_t> data;
    EXPECT_TRUE(readAt(*kernel, h, 100, 10, data));
    EXPECT_EQ(data, filled(10, 0x12));
    EXPECT_TRUE(writeAt(*kernel, h, 106, filled(1, 0x34)));
    kernel->closeHandle(h);
}

TEST(SimulatedKernelFaults, PendingSectorsHealOnTheirFirstSuccessfulWrite) {
    auto kernel = machine("[Drive0]\nSectors = 1000\nPending = 5-7\nBadWrite = 8\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, h, 0, 10, data));
    EXPECT_EQ(kernel->getLastError(), ERROR_CRC);
    EXPECT_FALSE(writeAt(*kernel, h, 6, filled(3, 1))) << "touches the unwritable sector 8";
    EXPECT_FALSE(readAt(*kernel, h, 6, 1, data)) << "a failed write heals nothing";
    ASSERT_TRUE(writeAt(*kernel, h, 6, filled(1, 0x66)));
    EXPECT_TRUE(readAt(*kernel, h, 6, 1, data));
    EXPECT_EQ(data, filled(1, 0x66));
    EXPECT_FALSE(readAt(*kernel, h, 5, 2, data)) << "sector 5 is still pending";
    EXPECT_FALSE(readAt(*kernel, h, 7, 1, data));
    ASSERT_TRUE(writeAt(*kernel, h, 5, filled(1, 0)));
    ASSERT_TRUE(writeAt(*kernel, h, 7, filled(1, 0)));
    EXPECT_TRUE(readAt(*kernel, h, 0, 8, data));
    kernel->closeHandle(h);
}

TEST(SimulatedKernelFaults, PhysicalSectorsFailReadAndWriteOnlyAsAWhole) {
    // 4096-byte physical sectors from sector 7: 0-6, 7-14, 15-22, ... 991-998, and 999 alone.
    auto kernel = machine("[Drive0]\nSectors = 1000\nPhysicalSectorSize = 4096\nAlignmentOffset = 7\n"
                          "Pending = 9, 2, 999\nBadRead = 20\nWeak = 31\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    struct Step {
        bool write;
        std::uint64_t lba;
        std::uint32_t count;
        bool succeeds;
    };
    const Step steps[] = {
        {false, 7, 1, false},   {false, 14, 1, false},  {false, 15, 1, false}, {false, 22, 1, false},
        {false, 0, 1, false},   {false, 6, 1, false},   {false, 23, 8, true},  {false, 998, 1, true},
        {false, 999, 1, false}, {true, 7, 7, false},    {true, 8, 8, false},   {true, 3, 4, false},
        {true, 23, 1, true},    {false, 7, 1, false},   {true, 14, 9, false},  {true, 7, 8, true},
        {false, 7, 8, true},    {true, 0, 7, true},     {false, 0, 7, true},   {true, 15, 8, true},
        {false, 15, 1, false},  {true, 999, 1, true},   {false, 999, 1, true}, {true, 31, 1, true},
    };
    for (const Step& step : steps) {
        const std::vector<std::uint8_t> before = kernel->peekSectors(0, step.lba, step.count);
        std::vector<std::uint8_t> data = filled(step.count, 0x5A);
        const bool ok = step.write ? writeAt(*kernel, h, step.lba, data) : readAt(*kernel, h, step.lba, step.count, data);
        EXPECT_EQ(ok, step.succeeds) << (step.write ? "write " : "read ") << step.lba << "+" << step.count;
        if (!ok) {
            EXPECT_EQ(kernel->getLastError(), ERROR_CRC);
        }
        if (step.write && !ok) {
            EXPECT_EQ(kernel->peekSectors(0, step.lba, step.count), before) << step.lba;
        }
    }
    std::vector<std::uint8_t> data;
    EXPECT_TRUE(readAt(*kernel, h, 31, 1, data));
    EXPECT_NE(data, filled(1, 0x5A)) << "a weak sector stays per sector";
    const STORAGE_PROPERTY_QUERY_HEADER query{StorageAccessAlignmentProperty, PropertyStandardQuery};
    STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR answer{};
    DWORD returned = 0;
    ASSERT_TRUE(kernel->deviceIoControl(h, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer, sizeof answer,
                                        &returned));
    EXPECT_EQ(returned, sizeof answer);
    EXPECT_EQ(answer.BytesPerLogicalSector, 512u);
    EXPECT_EQ(answer.BytesPerPhysicalSector, 4096u);
    EXPECT_EQ(answer.BytesOffsetForSectorAlignment, 7u * 512u);
    kernel->closeHandle(h);
}

TEST(SimulatedKernelFaults, WeakSectorsDamageTheFirstReadAfterEachWriteUntilZeroedTwice) {
    auto kernel = machine("[Drive0]\nSectors = 1000\nWeak = 20-21\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    const std::vector<std::uint8_t> content = filled(2, 0x3C);
    kernel->pokeSectors(0, 20, content);
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(readAt(*kernel, h, 20, 2, data));
    EXPECT_EQ(data, content) << "faithful before any write";

    const auto differingBytes = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
        int count = 0;
        for (std::size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
        return count;
    };
    ASSERT_TRUE(writeAt(*kernel, h, 20, content));
    ASSERT_TRUE(readAt(*kernel, h, 20, 2, data));
    EXPECT_EQ(differingBytes(data, content), 2) << "one byte changed in each written sector";
    EXPECT_EQ(kernel->peekSectors(0, 20, 2), content) << "the stored data stay intact";
    ASSERT_TRUE(readAt(*kernel, h, 20, 2, data));
    EXPECT_EQ(data, content) << "later reads are faithful";

    ASSERT_TRUE(writeAt(*kernel, h, 20, filled(2, 0)));  // first zero pass
    ASSERT_TRUE(writeAt(*kernel, h, 20, content));
    ASSERT_TRUE(readAt(*kernel, h, 20, 2, data));
    EXPECT_EQ(differingBytes(data, content), 2) << "one zero pass is not enough";
    ASSERT_TRUE(writeAt(*kernel, h, 20, filled(2, 0)));  // second zero pass
    ASSERT_TRUE(readAt(*kernel, h, 20, 2, data));
    EXPECT_EQ(data, filled(2, 0));
    ASSERT_TRUE(writeAt(*kernel, h, 20, content));
    ASSERT_TRUE(readAt(*kernel, h, 20, 2, data));
    EXPECT_EQ(data, content) << "zeroed twice: behaves normally from then on";
    kernel->closeHandle(h);
}

TEST(SimulatedKernelFaults, AFailedReadDoesNotUseUpAWeakSectorsDamagedRead) {
    auto kernel = machine("[Drive0]\nSectors = 1000\nWeak = 30\nBadRead = 31\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    ASSERT_TRUE(writeAt(*kernel, h, 30, filled(1, 9)));
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, h, 30, 2, data));
    ASSERT_TRUE(readAt(*kernel, h, 30, 1, data));
    EXPECT_NE(data, filled(1, 9));
    kernel->closeHandle(h);
}

TEST(SimulatedKernelImage, SectorsLiveInASparseImageBesideTheMachineFile) {
    TempDir dir;
    { std::ofstream(dir.path() / "existing.img", std::ios::binary) << std::string(512, 'x'); }
    const std::string file = dir.write("machine.ini",
                                       "[Drive0]\nSectors = 4096\nImage = disk0.img\n"
                                       "[Drive1]\nSectors = 8\nImage = existing.img\n");
    std::string error;
    auto kernel = SimulatedKernel::fromFile(file, error);
    ASSERT_TRUE(kernel) << error;
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "disk0.img"), 4096u * 512);
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "existing.img"), 8u * 512)
        << "grown to the drive's size";

    const Handle h = openDrive(*kernel, 0);
    ASSERT_TRUE(writeAt(*kernel, h, 4095, filled(1, 0xAB)));
    kernel->closeHandle(h);
    std::ifstream image(dir.path() / "disk0.img", std::ios::binary);
    image.seekg(4095 * 512);
    EXPECT_EQ(image.get(), 0xAB);

    const std::vector<std::uint8_t> first = kernel->peekSectors(1, 0, 2);
    ASSERT_EQ(first.size(), 1024u);
    EXPECT_EQ(first[511], 'x');
    EXPECT_EQ(first[512], 0);
}

TEST(SimulatedKernelImage, AnImageThatCannotBeCreatedIsRefusedNamingItsLine) {
    TempDir dir;
    const std::string file = dir.write("m.ini", "[Drive0]\nSectors = 8\nImage = no/such/folder/d.img\n");
    std::string error;
    EXPECT_FALSE(SimulatedKernel::fromFile(file, error));
    EXPECT_EQ(error.rfind(file + ":3: ", 0), 0u) << error;
}

TEST(SimulatedKernelMachine, LettersTypesAndVersion) {
    auto kernel = machine(
        "[Machine]\nLetters = E:cdrom C:fixed d:Fixed Z:remote A:removable Y:ramdisk\n"
        "Version = 6.2\n[Drive0]\nSectors = 1\n");
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->getLogicalDrives(),
              (1u << 0) | (1u << 2) | (1u << 3) | (1u << 4) | (1u << 24) | (1u << 25));
    EXPECT_EQ(kernel->getDriveType("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(kernel->getDriveType("D:\\"), DRIVE_FIXED);
    EXPECT_EQ(kernel->getDriveType("E:\\"), DRIVE_CDROM);
    EXPECT_EQ(kernel->getDriveType("Z:\\"), DRIVE_REMOTE);
    EXPECT_EQ(kernel->getDriveType("A:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(kernel->getDriveType("Y:\\"), DRIVE_RAMDISK);
    EXPECT_EQ(kernel->getDriveType("F:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(kernel->getVersion(), 6u | (2u << 8));

    auto plain = machine("[Drive0]\nSectors = 1\n[Drive2]\nSectors = 1\n[Drive30]\nSectors = 1\n");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->getLogicalDrives(), (1u << 2) | (1u << 4)) << "C and E; drive 30 has no letter left";
    EXPECT_EQ(plain->getDriveType("E:\\"), DRIVE_FIXED);
    EXPECT_EQ(plain->getVersion(), 5u | (1u << 8));
    EXPECT_TRUE(plain->hasDrive(30));
    EXPECT_FALSE(plain->hasDrive(1));

    auto none = machine("[Machine]\nLetters =\n[Drive0]\nSectors = 1\n");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->getLogicalDrives(), 0u);
}

TEST(SimulatedKernelMachine, ClaimForWritingRefusesADriveInUse) {
    auto kernel = machine("[Drive0]\nSectors = 8\nInUse = yes\n[Drive1]\nSectors = 8\n");
    ASSERT_TRUE(kernel);
    const Handle busy = openDrive(*kernel, 0);
    const Handle free = openDrive(*kernel, 1);
    std::string reason;
    EXPECT_FALSE(kernel->claimForWriting(busy, reason));
    EXPECT_EQ(kernel->getLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(reason, "it has a mounted filesystem");
    EXPECT_TRUE(kernel->claimForWriting(free, reason));
    EXPECT_EQ(kernel->getLastError(), 0u);
    EXPECT_FALSE(kernel->claimForWriting(12345, reason));
    kernel->closeHandle(busy);
    kernel->closeHandle(free);
}

TEST(SimulatedKernelMachine, LatencyMakesTransfersTakeRealTime) {
    auto kernel = machine("[Drive0]\nSectors = 100\nLatencyUs = 20000\nLatencyPerSectorUs = 1000\n");
    ASSERT_TRUE(kernel);
    const Handle h = openDrive(*kernel, 0);
    std::vector<std::uint8_t> data(10 * 512);
    DWORD done = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(kernel->readFile(h, data.data(), static_cast<DWORD>(data.size()), &done));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    kernel->closeHandle(h);
}

TEST(SimulatedKernelLog, RecordsEveryCallWithItsArguments) {
    auto kernel = machine("[Drive0]\nSectors = 20000000\n");
    ASSERT_TRUE(kernel);
    const SecurityAttributes security{kSecurityAttributesSize, false, true};
    const Handle h = kernel->createFile("\\\\.\\PHYSICALDRIVE0", GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &security, OPEN_EXISTING, 0);
    std::int32_t high = 1;
    kernel->setFilePointer(h, 0, &high, FILE_BEGIN);
    std::vector<std::uint8_t> data(51200);
    DWORD done = 0;
    kernel->readFile(h, data.data(), 51200, &done);
    kernel->writeFile(h, data.data(), 512, &done);
    const std::uint8_t input[33] = {0, 2, 0, 0, 0xD8};
    std::uint8_t output[17];
    kernel->deviceIoControl(h, SMART_SEND_DRIVE_COMMAND, input, sizeof input, output, sizeof output, &done);
    kernel->getLogicalDrives();
    kernel->getDriveType("C:\\");
    kernel->closeHandle(h);

    const auto& calls = kernel->calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].operation, "createFile");
    EXPECT_EQ(calls[0].path, "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(calls[0].handle, h);
    EXPECT_EQ(calls[0].desiredAccess, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(calls[0].shareMode, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_TRUE(calls[0].hasSecurityAttributes);
    EXPECT_EQ(calls[0].securityLength, kSecurityAttributesSize);
    EXPECT_TRUE(calls[0].inheritHandle);
    EXPECT_EQ(calls[0].creationDisposition, OPEN_EXISTING);
    EXPECT_TRUE(calls[0].result);

    EXPECT_EQ(calls[1].operation, "setFilePointer");
    EXPECT_EQ(calls[1].distanceLow, 0);
    EXPECT_TRUE(calls[1].hadHighPointer);
    EXPECT_EQ(calls[1].distanceHigh, 1);
    EXPECT_EQ(calls[1].moveMethod, FILE_BEGIN);
    EXPECT_EQ(calls[1].offset, std::uint64_t{1} << 32);

    EXPECT_EQ(calls[2].operation, "readFile");
    EXPECT_EQ(calls[2].offset, std::uint64_t{1} << 32);
    EXPECT_EQ(calls[2].bytes, 51200u);
    EXPECT_EQ(calls[3].operation, "writeFile");
    EXPECT_EQ(calls[3].offset, (std::uint64_t{1} << 32) + 51200);
    EXPECT_EQ(calls[3].bytes, 512u);

    EXPECT_EQ(calls[4].operation, "deviceIoControl");
    EXPECT_EQ(calls[4].ioctlCode, SMART_SEND_DRIVE_COMMAND);
    EXPECT_EQ(calls[4].input, std::vector<std::uint8_t>(input, input + 33));
    EXPECT_EQ(calls[4].bytes, 17u);
    EXPECT_FALSE(calls[4].result) << "registers without the S.M.A.R.T. signature";
    EXPECT_NE(calls[4].error, 0u);

    EXPECT_EQ(calls[5].operation, "getLogicalDrives");
    EXPECT_EQ(calls[6].operation, "getDriveType");
    EXPECT_EQ(calls[6].path, "C:\\");
    EXPECT_EQ(calls[7].operation, "closeHandle");
    EXPECT_EQ(calls[7].handle, h);
    EXPECT_EQ(calls[7].error, 0u);

    kernel->clearCalls();
    kernel->setLogging(false);
    openDrive(*kernel, 0);
    EXPECT_TRUE(kernel->calls().empty());
}

}  // namespace
}  // namespace platform::sim
