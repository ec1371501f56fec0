// Refusals of the simulated machine description: every mistake names the file and the line,
// because a typo must never silently give a healthy drive.
#include <gtest/gtest.h>

#include <fstream>

#include "sim_machine_helpers.h"

namespace platform::sim {
namespace {

using namespace platform::sim::testing;

struct Refused {
    const char* text;
    const char* error;  // the whole message
};

TEST(MachineDescription, RefusesEveryMistakeNamingItsLine) {
    const Refused cases[] = {
        {"[Drive0]\nSectors = 10\nSectrs = 5\n", "test.ini:3: unknown key 'Sectrs' in [Drive0]"},
        {"[Disk0]\nSectors = 10\n", "test.ini:1: unknown section [Disk0]"},
        {"[Machine]\nLetter = C:fixed\n", "test.ini:2: unknown key 'Letter' in [Machine]"},
        {"; comment\n\n[Drive50]\nSectors = 10\n", "test.ini:3: drive number 50 is outside 0..49"},
        {"[Drive07]\nSectors = 10\n",
         "test.ini:1: unknown section [Drive07]; drives are [Drive0] to [Drive49]"},
        {"[Drive0]\nImage = a.img\n", "test.ini:1: [Drive0] has no Sectors key"},
        {"[Drive0]\nSectors = 12abc\n",
         "test.ini:2: Sectors must be a number from 0 to 18014398509481984, "
         "found '12abc'"},
        {"[Drive0]\nSectors = -5\n",
         "test.ini:2: Sectors must be a number from 0 to 18014398509481984, found '-5'"},
        {"[Drive0]\nSectors = 10\nsectors = 11\n", "test.ini:3: key sectors appears twice in this section"},
        {"[Drive0]\nSectors = 10\n[drive0]\n",
         "test.ini:3: section [drive0] appears twice (first at line 1)"},
        {"Sectors = 10\n", "test.ini:1: key 'Sectors' is outside any section"},
        {"[Drive0]\nSectors = 10\njust text\n",
         "test.ini:3: expected a [Section] header or a Key = Value line, found 'just text'"},
        {"[Drive0]\nSectors = 100\nBadRead = 5-3\n",
         "test.ini:3: BadRead: '5-3' is not a sector or an ascending range A-B (list: sectors or ranges "
         "separated "
         "by commas)"},
        {"[Drive0]\nSectors = 100\nWeak = 5,,6\n",
         "test.ini:3: Weak: '' is not a sector or an ascending range A-B (list: sectors or ranges separated "
         "by "
         "commas)"},
        {"[Drive0]\nSectors = 100\nPending = 5-\n",
         "test.ini:3: Pending: '5-' is not a sector or an ascending range A-B (list: sectors or ranges "
         "separated "
         "by commas)"},
        {"[Drive0]\nSectors = 100\nPhysicalSectorSize = 1536\n",
         "test.ini:3: PhysicalSectorSize must be 512 or a power of two multiple of it up to 65536, found '1536'"},
        {"[Drive0]\nSectors = 100\nPhysicalSectorSize = 256\n",
         "test.ini:3: PhysicalSectorSize must be 512 or a power of two multiple of it up to 65536, found '256'"},
        {"[Drive0]\nSectors = 100\nAlignmentOffset = 7\nPhysicalSectorSize = 2048\n",
         "test.ini:3: AlignmentOffset must be below the 4 logical sectors of a physical sector, found 7"},
        {"[Drive0]\nSectors = 100\nAlignmentOffset = 1\n",
         "test.ini:3: AlignmentOffset must be below the 1 logical sectors of a physical sector, found 1"},
        {"[Drive0]\nBadWrite = 99-100\nSectors = 100\n",
         "test.ini:2: BadWrite names sector 100, beyond the drive's last sector 99"},
        {"[Drive0]\nSectors = 100\nSlowRead = 5-9\n",
         "test.ini:3: SlowRead: '5-9' is not a sector or an ascending range A-B, a colon and milliseconds up "
         "to 600000 (such as 5000-5099:120)"},
        {"[Drive0]\nSlowRead = 10:5, 99-100:7\nSectors = 100\n",
         "test.ini:2: SlowRead names sector 100, beyond the drive's last sector 99"},
        {"[Machine]\nLetters = C:fixed D:floppy\n",
         "test.ini:2: Letters entry 'D:floppy' is not LETTER:TYPE with TYPE fixed, removable, cdrom, remote "
         "or "
         "ramdisk"},
        {"[Machine]\nLetters = C:fixed c:cdrom\n", "test.ini:2: Letters names C: twice"},
        {"[Machine]\nLetters = 1:fixed\n",
         "test.ini:2: Letters entry '1:fixed' is not LETTER:TYPE with TYPE fixed, removable, cdrom, remote "
         "or "
         "ramdisk"},
        {"[Machine]\nVersion = 5\n", "test.ini:2: Version must be major.minor (such as 5.1), found '5'"},
        {"[Drive0]\nSectors = 10\nSmart = maybe\n",
         "test.ini:3: Smart must be yes, nocap or none, found 'maybe'"},
        {"[Drive0]\nSectors = 10\nInUse = true\n", "test.ini:3: InUse must be yes or no, found 'true'"},
        {"[Drive0]\nSectors = 10\nAttribute.30 = 1, 0, 100, 100, 0 0 0 0 0 0\n",
         "test.ini:3: Attribute.30: page positions are 0 to 29"},
        {"[Drive0]\nSectors = 10\nAttribute.0 = 256, 0, 100, 100, 0 0 0 0 0 0\n",
         "test.ini:3: Attribute.0 must be: id, flags, current, worst, six raw bytes (such as 194, 0x0022, "
         "100, 100, "
         "38 0 20 0 45 0), found '256, 0, 100, 100, 0 0 0 0 0 0'"},
        {"[Drive0]\nSectors = 10\nAttribute.0 = 1, 0, 100, 100, 0 0 0 0 0\n",
         "test.ini:3: Attribute.0 must be: id, flags, current, worst, six raw bytes (such as 194, 0x0022, "
         "100, 100, "
         "38 0 20 0 45 0), found '1, 0, 100, 100, 0 0 0 0 0'"},
        {"[Drive0]\nSectors = 10\nThreshold.1 = 5\n",
         "test.ini:3: Threshold.1 must be: id, threshold (such as 5, 36), found '5'"},
        {"[Drive0]\nSectors = 10\nGeometry = 1,2\n",
         "test.ini:3: Geometry must be: cylinders, tracks per cylinder, sectors per track, found '1,2'"},
        {"[Drive0]\nSectors = 10\nModel = 12345678901234567890123456789012345678901\n",
         "test.ini:3: Model is longer than its 40 characters"},
        {"[Drive0]\nSectors = 10\nOpenError = 4294967296\n",
         "test.ini:3: OpenError must be a number from 0 to 4294967295, found '4294967296'"},
        {"[Drive0]\nSectors = 10\nPowerMode = asleep\n",
         "test.ini:3: PowerMode must be active, idle or standby, found 'asleep'"},
        {"[Drive0]\nSectors = 10\nDevice = /dev/sda\n",
         "test.ini:3: Device must be 1 to 32 letters, digits, '.', '_' or '-' (such as sdb), found '/dev/sda'"},
        {"[Drive0]\nSectors = 10\nNvme.TemperatureSensors = 300 300 300 300 300 300 300 300 300\n",
         "test.ini:3: Nvme.TemperatureSensors must be 1 to 8 temperatures in Kelvin, 0 for an absent sensor (such as "
         "310, 0, 305), found '300 300 300 300 300 300 300 300 300'"},
        {"[Drive0]\nSectors = 10\nNvme.WarningThresholdKelvin = 65536\n",
         "test.ini:3: Nvme.WarningThresholdKelvin must be a number from 0 to 65535, found '65536'"},
        {"[Drive0]\nSectors = 18446744073709551616\n",
         "test.ini:2: Sectors must be a number from 0 to 18014398509481984, found '18446744073709551616'"},
        {"[Drive0]\nSectors = 10\nSelfTestOutcome = fail\n",
         "test.ini:3: SelfTestOutcome must be pass, fail:LBA or fatal, found 'fail'"},
        {"[Drive0]\nSectors = 10\nSelfTestLog.21 = short, 0, 0, 5\n",
         "test.ini:3: self-test log entries are SelfTestLog.0 to SelfTestLog.20, found 'short, 0, 0, 5'"},
        {"[Drive0]\nSectors = 10\nSelfTestLog.0 = short, 16, 0, 5\n",
         "test.ini:3: SelfTestLog.N must be: type, status code (0-15), percent remaining, hours[, LBA], "
         "found 'short, 16, 0, 5'"},
        {"[Drive0]\nSectors = 10\nSelfTestRunning = captive, 40\n",
         "test.ini:3: SelfTestRunning must be: short|extended|conveyance, percent remaining (1 to 100), "
         "found 'captive, 40'"},
    };
    for (const Refused& c : cases) EXPECT_EQ(refusal(c.text), c.error) << c.text;
}

TEST(MachineDescription, AcceptsTheDocumentedExampleWithInlineComments) {
    const std::string example = R"([Machine]
; Drive letters, in any order.
Letters = C:fixed D:fixed E:cdrom
Version = 5.1

[Drive0]                      ; the device \\.\PHYSICALDRIVE0
Sectors = 2000000             ; size in 512-byte sectors (required)
Geometry = 124,255,63         ; cylinders, tracks per cylinder, sectors per track
OpenError = 0                 ; non-zero: every open fails
InUse = no                    ; yes: mounted
Smart = yes                   ; yes | nocap | none
EnableError = 0
Model = SIMDISK 2000          ; IDENTIFY texts
Serial = SIM0001
Firmware = 1.0
IdentifyFails = no
ValuesFail = no
ThresholdsFail = no
Attribute.0 = 194, 0x0022, 100, 100, 38 0 20 0 45 0
Attribute.1 = 9, 0x0032, 97, 97, 210 4 0 0 0 0
Attribute.5 = 5, 0x0033, 100, 100, 0 0 0 0 0 0
Threshold.0 = 5, 36
BadRead = 1050, 70000-70015   ; reads touching these sectors fail
BadWrite = 90000              ; writes touching these sectors fail
Pending = 5000-5003           ; reads fail until written
SelfTestMinutes = 2, 90, 5          ; short, extended, conveyance; 0 = not supported
SelfTestSeconds = 3                 ; how long any test actually runs
SelfTestOutcome = fail:1050         ; pass | fail:LBA | fatal
SelfTestRunning = extended, 40      ; type, % remaining
SelfTestLog.0 = extended, 7, 90, 12345, 1050   ; type, status code, % remaining, hours[, LBA]
SelfTestLog.1 = short, 0, 0, 12000
ErrorLog.0 = 12340, 1050            ; power-on hours, LBA; .0 is newest
ErrorCount = 3                      ; may exceed the entries kept
LogsFail = no                       ; yes: reading either log fails
Weak = 8000-8099              ; unstable
LatencyUs = 0
LatencyPerSectorUs = 0
)";
    EXPECT_EQ(refusal(example), "");
    auto kernel = machine(example);
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->sectorCount(0), 2000000u);
    EXPECT_EQ(kernel->getDriveType("E:\\"), DRIVE_CDROM);
    const Handle h = openDrive(*kernel, 0);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, h, 70015, 1, data)) << "the range is inclusive";
    EXPECT_TRUE(readAt(*kernel, h, 70016, 1, data));
    EXPECT_FALSE(readAt(*kernel, h, 1050, 1, data));
    kernel->closeHandle(h);
}

TEST(MachineDescription, NamesAndValuesFollowTheIniRules) {
    auto kernel = machine(
        "\xEF\xBB\xBF[DRIVE3]\r\n  sectors=0x20  \r\nMODEL = \"A; B\"\r\nbadread = 0X1F\r\n"
        "[machine]\r\nletters = c:FIXED, d:fixed\r\n");
    ASSERT_TRUE(kernel);
    EXPECT_EQ(kernel->sectorCount(3), 32u);
    EXPECT_EQ(kernel->getLogicalDrives(), 0xCu);
    const Handle h = openDrive(*kernel, 3);
    std::vector<std::uint8_t> data;
    EXPECT_FALSE(readAt(*kernel, h, 31, 1, data));
    kernel->closeHandle(h);
    EXPECT_EQ(refusal(""), "") << "an empty machine has no drives";
}

TEST(MachineDescription, BinaryAndMissingFilesAreRefusedWithoutHarm) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(SimulatedKernel::fromFile((dir.path() / "absent.ini").string(), error));
    EXPECT_NE(error.find("absent.ini"), std::string::npos) << error;

    std::string binary;
    for (int i = 0; i < 70000; ++i) binary.push_back(static_cast<char>((i * 7919) % 256));
    const std::string file = dir.write("binary.ini", binary);
    error.clear();
    EXPECT_FALSE(SimulatedKernel::fromFile(file, error));
    EXPECT_EQ(error.rfind(file + ":", 0), 0u) << error;

    EXPECT_FALSE(SimulatedKernel::fromFile(dir.path().string(), error)) << "a folder is no machine file";

    const std::string enormous =
        dir.write("enormous.ini", "[Drive0]\nSectors = 10\n" + std::string(17 << 20, ';'));
    EXPECT_FALSE(SimulatedKernel::fromFile(enormous, error));
    EXPECT_EQ(error, enormous + ": the machine file is larger than 16 MiB");

    // Many drive sections with many fault ranges load without trouble.
    std::string big;
    for (int drive = 0; drive < 50; ++drive) {
        big += "[Drive" + std::to_string(drive) + "]\nSectors = 100000000\nBadRead = ";
        for (int r = 0; r < 2000; ++r)
            big += std::to_string(r * 1000) + "-" + std::to_string(r * 1000 + 5) + ",";
        big += "99999999\n";
    }
    auto kernel = machine(big);
    ASSERT_TRUE(kernel);
    EXPECT_TRUE(kernel->hasDrive(49));
}

}  // namespace
}  // namespace platform::sim
