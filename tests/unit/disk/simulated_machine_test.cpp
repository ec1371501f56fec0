// The enumeration and the probe on simulated machines: what reaches the kernel, byte for byte,
// and what ends up in the drive table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "disk/drive_probe.h"
#include "platform/sim/simulated_kernel.h"

namespace {

using platform::DWORD;
using platform::sim::CallRecord;
using platform::sim::SimulatedKernel;

constexpr const char* kNoSettings = "/nonexistent/varim-test";

std::unique_ptr<SimulatedKernel> Machine(const std::string& text) {
    std::string error;
    auto kernel = SimulatedKernel::fromText(text, "/nonexistent", "machine.ini", error);
    EXPECT_TRUE(kernel) << error;
    return kernel;
}

std::vector<CallRecord> CallsOf(const SimulatedKernel& kernel, const std::string& operation) {
    std::vector<CallRecord> found;
    for (const CallRecord& call : kernel.calls())
        if (call.operation == operation) found.push_back(call);
    return found;
}

struct Probed {
    std::unique_ptr<SimulatedKernel> kernel;
    std::unique_ptr<disk::DriveAccess> access;
    std::unique_ptr<disk::DriveTable> table;
};

Probed Enumerate(const std::string& machine) {
    Probed probed;
    probed.kernel = Machine(machine);
    if (!probed.kernel) return probed;
    probed.access = std::make_unique<disk::DriveAccess>(*probed.kernel);
    probed.table = std::make_unique<disk::DriveTable>(kNoSettings);
    disk::EnumerateDrives(*probed.access, *probed.table);
    return probed;
}

TEST(Enumeration, TwoFixedLettersOnOneDiskAndAnOpticalDrive) {
    Probed m = Enumerate("[Machine]\nLetters = C:fixed D:fixed E:cdrom\n[Drive0]\nSectors = 100000\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->fixedLettersSeen, 2);
    EXPECT_EQ(m.table->drivesRead, 1);
    const auto opens = CallsOf(*m.kernel, "createFile");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].path, "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(opens[1].path, "\\\\.\\PHYSICALDRIVE1");
    EXPECT_FALSE(opens[1].result);
    std::vector<std::string> roots;
    for (const CallRecord& call : CallsOf(*m.kernel, "getDriveType")) roots.push_back(call.path);
    EXPECT_EQ(roots, (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}));
    EXPECT_TRUE(m.table->ProbedInLastEnumeration(0));
    EXPECT_FALSE(m.table->ProbedInLastEnumeration(1));
    EXPECT_EQ(m.kernel->openHandleCount(), 0u);
}

TEST(Enumeration, LetterZIsDriveTwentyThreeAndRemovableIsNeverProbed) {
    Probed m = Enumerate("[Machine]\nLetters = F:removable Z:fixed\n[Drive3]\nSectors = 5000\n[Drive23]\nSectors = 5000\n");
    ASSERT_TRUE(m.kernel);
    const auto opens = CallsOf(*m.kernel, "createFile");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].path, "\\\\.\\PHYSICALDRIVE23");
    EXPECT_EQ(m.table->fixedLettersSeen, 1);
    EXPECT_EQ(m.table->drivesRead, 1);
    EXPECT_EQ(m.table->DriveAt(23).number, 23);
}

TEST(Enumeration, WithoutRightsEveryProbeFails) {
    Probed m = Enumerate("[Machine]\nLetters = C:fixed D:fixed\n"
                         "[Drive0]\nSectors = 5000\nOpenError = 5\n[Drive1]\nSectors = 5000\nOpenError = 5\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->fixedLettersSeen, 2);
    EXPECT_EQ(m.table->drivesRead, 0);
    EXPECT_TRUE(CallsOf(*m.kernel, "deviceIoControl").empty());
    EXPECT_TRUE(CallsOf(*m.kernel, "closeHandle").empty());
}

TEST(Enumeration, NoLettersMeansNothingProbed) {
    Probed m = Enumerate("[Machine]\nLetters = E:cdrom\n[Drive0]\nSectors = 5000\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->fixedLettersSeen, 0);
    EXPECT_EQ(m.table->drivesRead, 0);
    EXPECT_TRUE(CallsOf(*m.kernel, "createFile").empty());
}

TEST(ProbeRequests, FiveRequestsWithTheExactBytes) {
    auto kernel = Machine("[Machine]\nLetters = C:fixed\n[Drive12]\nSectors = 5000\n");
    ASSERT_TRUE(kernel);
    disk::DriveAccess access(*kernel);
    disk::DriveTable table(kNoSettings);
    ASSERT_TRUE(disk::ProbeDrive(access, table, 12));

    const auto& calls = kernel->calls();
    ASSERT_EQ(calls.size(), 7u);
    const CallRecord& open = calls[0];
    EXPECT_EQ(open.operation, "createFile");
    EXPECT_EQ(open.path, "\\\\.\\PHYSICALDRIVE12");
    EXPECT_EQ(open.desiredAccess, platform::GENERIC_READ | platform::GENERIC_WRITE);
    EXPECT_EQ(open.shareMode, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE);
    EXPECT_FALSE(open.hasSecurityAttributes);
    EXPECT_EQ(open.creationDisposition, platform::OPEN_EXISTING);
    EXPECT_EQ(open.flagsAndAttributes, platform::FILE_ATTRIBUTE_SYSTEM);

    struct Expected {
        DWORD code;
        DWORD offered;
        bool hasInput;
        std::uint32_t bufferSize;
        std::uint8_t regs[7];  // features, count, number, cyl low, cyl high, drive head, command
    };
    const Expected expected[] = {
        {platform::SMART_GET_VERSION, 24, false, 0, {}},
        {platform::SMART_SEND_DRIVE_COMMAND, 17, true, 0, {0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}},
        {platform::SMART_RCV_DRIVE_DATA, 528, true, 512, {0x00, 1, 1, 0x00, 0x00, 0xA0, 0xEC}},
        {platform::SMART_RCV_DRIVE_DATA, 531, true, 512, {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}},
        {platform::SMART_RCV_DRIVE_DATA, 531, true, 512, {0xD1, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}},
    };
    for (int step = 0; step < 5; ++step) {
        const CallRecord& call = calls[static_cast<std::size_t>(step) + 1];
        SCOPED_TRACE("step " + std::to_string(step));
        EXPECT_EQ(call.operation, "deviceIoControl");
        EXPECT_EQ(call.handle, open.handle);
        EXPECT_EQ(call.ioctlCode, expected[step].code);
        EXPECT_EQ(call.bytes, expected[step].offered);
        if (!expected[step].hasInput) {
            EXPECT_TRUE(call.input.empty());
            continue;
        }
        ASSERT_EQ(call.input.size(), 33u);
        std::vector<std::uint8_t> want(33, 0);
        std::memcpy(want.data(), &expected[step].bufferSize, 4);
        std::memcpy(want.data() + 4, expected[step].regs, 7);
        want[12] = 12;  // bDriveNumber
        EXPECT_EQ(call.input, want);
    }
    EXPECT_EQ(calls[6].operation, "closeHandle");
    EXPECT_EQ(calls[6].handle, open.handle);
}

TEST(ProbeRequests, SectorProfileAndTheSeekToFourGiB) {
    auto kernel = Machine("[Machine]\nLetters = C:fixed\n[Drive0]\nSectors = 9000000\n");
    ASSERT_TRUE(kernel);
    const std::uint64_t sector = std::uint64_t{1} << 23;
    std::vector<std::uint8_t> marker(512, 0);
    for (std::size_t i = 0; i < marker.size(); ++i) marker[i] = static_cast<std::uint8_t>(i * 7 + 3);
    kernel->pokeSectors(0, sector, marker);

    disk::DriveAccess access(*kernel);
    const platform::Handle handle = access.OpenDrive(0, disk::OpenProfile::Sector);
    ASSERT_NE(handle, platform::kInvalidHandle);
    ASSERT_TRUE(access.SeekDrive(handle, sector * disk::kSectorSize));
    std::vector<std::uint8_t> read(512, 0);
    ASSERT_TRUE(access.ReadSectors(handle, read.data(), 512));
    EXPECT_EQ(read, marker);
    EXPECT_EQ(disk::SectorCountOf(access.GetGeometry(handle)), 9000000u);
    access.CloseDrive(handle);

    const CallRecord open = CallsOf(*kernel, "createFile").at(0);
    EXPECT_EQ(open.desiredAccess, platform::GENERIC_READ | platform::GENERIC_WRITE);
    EXPECT_EQ(open.shareMode, platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE);
    EXPECT_TRUE(open.hasSecurityAttributes);
    EXPECT_EQ(open.securityLength, platform::kSecurityAttributesSize);
    EXPECT_TRUE(open.inheritHandle);
    EXPECT_EQ(open.creationDisposition, platform::OPEN_EXISTING);
    EXPECT_EQ(open.flagsAndAttributes, 0u);

    const CallRecord seek = CallsOf(*kernel, "setFilePointer").at(0);
    EXPECT_EQ(seek.distanceLow, 0);
    EXPECT_TRUE(seek.hadHighPointer);
    EXPECT_EQ(seek.distanceHigh, 1);
    EXPECT_EQ(seek.moveMethod, platform::FILE_BEGIN);
    EXPECT_EQ(seek.offset, sector * 512);
    EXPECT_EQ(kernel->openHandleCount(), 0u);
}

// One drive with the given S.M.A.R.T. keys, probed once.
Probed ProbeOne(const std::string& smartKeys) {
    return Enumerate("[Machine]\nLetters = C:fixed\n[Drive0]\nSectors = 5000\n" + smartKeys);
}

TEST(ValuePage, PositionsRawBytesAndEmptyEntries) {
    Probed m = ProbeOne("Attribute.0 = 1, 0x000F, 100, 99, 30 0 20 0 45 0\n"
                        "Attribute.1 = 3, 0x0003, 90, 80, 5 1 7 0 0 0\n"
                        "Attribute.5 = 194, 0x0022, 70, 60, 255 255 255 255 255 255\n");
    ASSERT_TRUE(m.kernel);
    ASSERT_EQ(m.table->drivesRead, 1);
    const disk::PhysicalDrive& drive = m.table->DriveAt(0);
    ASSERT_EQ(drive.attributeCount, 3);
    EXPECT_EQ(drive.attributes[0].id, 1);
    EXPECT_EQ(drive.attributes[1].id, 3);
    EXPECT_EQ(drive.attributes[2].id, 194);
    EXPECT_EQ(drive.attributes[0].raw, 30u);
    EXPECT_EQ(drive.attributes[1].raw, 261u);
    EXPECT_EQ(drive.attributes[2].raw, 65535u);
    EXPECT_EQ(drive.attributes[0].current, 100);
    EXPECT_EQ(drive.attributes[0].worst, 99);
    EXPECT_EQ(drive.attributes[1].current, 90);
    EXPECT_EQ(drive.attributes[1].worst, 80);
    EXPECT_EQ(drive.number, 0);
    EXPECT_EQ(m.table->FindAttribute(0, 194), &drive.attributes[2]);
    EXPECT_EQ(m.table->FindAttribute(0, 0), nullptr);
    EXPECT_EQ(m.table->FindAttribute(1, 194), nullptr);
}

TEST(ThresholdPage, PairedByIdNeverByPosition) {
    Probed m = ProbeOne("Attribute.0 = 5, 0x0033, 100, 100, 0 0 0 0 0 0\n"
                        "Attribute.1 = 9, 0x0032, 97, 97, 210 4 0 0 0 0\n"
                        "Attribute.2 = 194, 0x0022, 100, 100, 38 0 0 0 0 0\n"
                        "Threshold.0 = 194, 45\nThreshold.1 = 5, 36\nThreshold.7 = 200, 51\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->FindAttribute(0, 5)->threshold, 36);
    EXPECT_EQ(m.table->FindAttribute(0, 194)->threshold, 45);
    EXPECT_EQ(m.table->FindAttribute(0, 9)->threshold, -1);
    EXPECT_EQ(m.table->FindAttribute(0, 200), nullptr);
    EXPECT_EQ(m.table->DriveAt(0).attributeCount, 3);
}

TEST(ThresholdPage, DuplicateIdListedTwiceLaterOneIndexed) {
    Probed m = ProbeOne("Attribute.0 = 9, 0x0032, 97, 97, 1 0 0 0 0 0\n"
                        "Attribute.3 = 9, 0x0032, 96, 95, 2 0 0 0 0 0\n"
                        "Threshold.0 = 9, 20\n");
    ASSERT_TRUE(m.kernel);
    const disk::PhysicalDrive& drive = m.table->DriveAt(0);
    ASSERT_EQ(drive.attributeCount, 2);
    EXPECT_EQ(m.table->FindAttribute(0, 9), &drive.attributes[1]);
    EXPECT_EQ(drive.attributes[1].raw, 2u);
    EXPECT_EQ(drive.attributes[1].threshold, 20);
    EXPECT_EQ(drive.attributes[0].threshold, -1);
}

TEST(Identify, TextsDecodedFromTheDrive) {
    Probed m = ProbeOne("Model = ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd\nSerial =   SIM0001\nFirmware = 1.0\n");
    ASSERT_TRUE(m.kernel);
    const disk::PhysicalDrive& drive = m.table->DriveAt(0);
    EXPECT_EQ(drive.model(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd");
    EXPECT_NE(drive.identify[disk::kModelOffset + 39], 0);
    EXPECT_EQ(drive.serial(), "SIM0001");
    EXPECT_EQ(drive.firmware(), "1.0");
}

TEST(ProbeOutcomes, NoSmartCapabilityCountsButStoresOnlyTheVersion) {
    Probed m = ProbeOne("Smart = nocap\nModel = SHOULD NOT APPEAR\nAttribute.0 = 5, 0, 100, 100, 1 0 0 0 0 0\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->drivesRead, 1);
    const disk::PhysicalDrive& drive = m.table->DriveAt(0);
    EXPECT_EQ(drive.versionInfo.fCapabilities & platform::CAP_SMART_CMD, 0u);
    EXPECT_EQ(drive.model(), "");
    EXPECT_EQ(drive.attributeCount, 0);
    EXPECT_EQ(CallsOf(*m.kernel, "deviceIoControl").size(), 1u);
    EXPECT_EQ(m.kernel->openHandleCount(), 0u);
}

TEST(ProbeOutcomes, RefusedEnableCountsWithItsErrorText) {
    Probed m = ProbeOne("EnableError = 1\nModel = SHOULD NOT APPEAR\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->drivesRead, 1);
    EXPECT_EQ(m.table->DriveAt(0).errorText, "Error 1 in reading SMART Enabled flag");
    EXPECT_EQ(m.table->DriveAt(0).model(), "");
    EXPECT_EQ(CallsOf(*m.kernel, "deviceIoControl").size(), 2u);
    EXPECT_EQ(m.kernel->openHandleCount(), 0u);
}

TEST(ProbeOutcomes, FailedThresholdsDoNotCountButKeepTheValues) {
    Probed m = ProbeOne("ThresholdsFail = yes\nAttribute.0 = 194, 0x0022, 100, 100, 38 0 0 0 0 0\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->drivesRead, 0);
    EXPECT_EQ(m.table->fixedLettersSeen, 1);
    ASSERT_NE(m.table->FindAttribute(0, 194), nullptr);
    EXPECT_EQ(m.table->FindAttribute(0, 194)->raw, 38u);
    EXPECT_EQ(m.table->FindAttribute(0, 194)->threshold, -1);
    EXPECT_EQ(m.kernel->openHandleCount(), 0u);
}

TEST(ProbeOutcomes, NoPassThroughFailsWithNothingStored) {
    Probed m = ProbeOne("Smart = none\nModel = SHOULD NOT APPEAR\n");
    ASSERT_TRUE(m.kernel);
    EXPECT_EQ(m.table->drivesRead, 0);
    EXPECT_EQ(m.table->DriveAt(0).versionInfo.fCapabilities, 0u);
    EXPECT_EQ(m.kernel->openHandleCount(), 0u);
}

TEST(ProbeOutcomes, FailedIdentifyAndValuesKeepTheEarlierRecord) {
    auto kernel = Machine("[Machine]\nLetters = C:fixed\n[Drive0]\nSectors = 5000\nModel = FIRST MODEL\n"
                          "Attribute.0 = 9, 0x0032, 97, 97, 3 0 0 0 0 0\n");
    ASSERT_TRUE(kernel);
    disk::DriveAccess access(*kernel);
    disk::DriveTable table(kNoSettings);
    disk::EnumerateDrives(access, table);
    ASSERT_EQ(table.DriveAt(0).model(), "FIRST MODEL");

    // The drive leaves between two enumerations: counted as not read, record kept, index gone.
    kernel->setDrivePresent(0, false);
    disk::EnumerateDrives(access, table);
    EXPECT_EQ(table.drivesRead, 0);
    EXPECT_EQ(table.fixedLettersSeen, 1);
    EXPECT_EQ(table.DriveAt(0).model(), "FIRST MODEL");
    EXPECT_EQ(table.DriveAt(0).attributeCount, 1);
    EXPECT_EQ(table.FindAttribute(0, 9), nullptr);
    EXPECT_FALSE(table.ProbedInLastEnumeration(0));
    kernel->setDrivePresent(0, true);
    disk::EnumerateDrives(access, table);
    EXPECT_EQ(table.drivesRead, 1);
    EXPECT_NE(table.FindAttribute(0, 9), nullptr);
    EXPECT_EQ(kernel->openHandleCount(), 0u);
}

TEST(ProbeOutcomes, IdentifyOrValueFailuresLeaveEarlierContent) {
    // First probe on a healthy twin, then the same table probed on a drive whose identify and
    // value requests fail.
    auto healthy = Machine("[Machine]\nLetters = C:fixed\n[Drive0]\nSectors = 5000\nModel = KEPT\n"
                           "Attribute.0 = 9, 0x0032, 97, 97, 3 0 0 0 0 0\n");
    auto failing = Machine("[Machine]\nLetters = C:fixed\n[Drive0]\nSectors = 5000\nModel = NEW\n"
                           "IdentifyFails = yes\nValuesFail = yes\nThreshold.0 = 9, 50\n");
    ASSERT_TRUE(healthy && failing);
    disk::DriveTable table(kNoSettings);
    disk::DriveAccess first(*healthy);
    ASSERT_TRUE(disk::ProbeDrive(first, table, 0));
    disk::DriveAccess second(*failing);
    EXPECT_TRUE(disk::ProbeDrive(second, table, 0));
    EXPECT_EQ(table.DriveAt(0).model(), "KEPT");
    EXPECT_EQ(table.DriveAt(0).attributeCount, 1);
    ASSERT_NE(table.FindAttribute(0, 9), nullptr);
    EXPECT_EQ(table.FindAttribute(0, 9)->threshold, 50);  // the threshold request is still sent
    EXPECT_EQ(CallsOf(*failing, "deviceIoControl").size(), 5u);
}

}  // namespace
