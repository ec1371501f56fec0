// The S.M.A.R.T. and geometry requests of the simulated machine, byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>

#include "sim_machine_helpers.h"

namespace platform::sim {
namespace {

using namespace platform::sim::testing;

constexpr const char* kSmartDrive =
    "[Drive0]\n"
    "Sectors = 2000000\n"
    "Model = SIMDISK 2000\n"
    "Serial = SIM0001\n"
    "Firmware = 1.0\n"
    "Attribute.0 = 194, 0x0022, 100, 99, 38 0 20 0 45 0\n"
    "Attribute.1 = 9, 0x0032, 97, 96, 210 4 0 0 0 0\n"
    "Attribute.29 = 5, 0x0033, 100, 100, 1 2 3 4 5 6\n"
    "Threshold.0 = 5, 36\n"
    "Threshold.29 = 194, 0\n";

// A SENDCMDINPARAMS as the probe builds it.
std::array<std::uint8_t, 33> command(BYTE features, BYTE cylLow, BYTE cylHigh, BYTE commandReg,
                                     DWORD bufferSize) {
    std::array<std::uint8_t, 33> in{};
    std::memcpy(in.data(), &bufferSize, 4);
    in[4] = features;
    in[5] = 1;
    in[6] = 1;
    in[7] = cylLow;
    in[8] = cylHigh;
    in[9] = 0xA0;
    in[10] = commandReg;
    return in;
}

const auto kEnable = command(SMART_ENABLE_OPERATIONS, SMART_CYL_LOW, SMART_CYL_HI, ATA_SMART_CMD, 0);
const auto kIdentify = command(0, 0, 0, ATA_IDENTIFY_DEVICE, 512);
const auto kValues = command(SMART_READ_DATA, SMART_CYL_LOW, SMART_CYL_HI, ATA_SMART_CMD, 512);
const auto kThresholds = command(SMART_READ_THRESHOLDS, SMART_CYL_LOW, SMART_CYL_HI, ATA_SMART_CMD, 512);

class SmartRequests : public ::testing::Test {
  protected:
    void build(const std::string& text) {
        kernel = machine(text);
        ASSERT_TRUE(kernel);
        handle = openDrive(*kernel, 0);
    }
    void TearDown() override {
        if (kernel) kernel->closeHandle(handle);
    }
    bool send(DWORD code, const std::array<std::uint8_t, 33>& in, DWORD outSize = 531) {
        out.assign(outSize, 0xCC);
        returned = 0;
        return kernel->deviceIoControl(handle, code, in.data(), 33, out.data(), outSize, &returned);
    }
    // The 512 data bytes after the 16-byte SENDCMDOUTPARAMS header.
    const std::uint8_t* data() const { return out.data() + kSendCmdOutHeaderSize; }
    std::uint32_t headerSize() const {
        std::uint32_t size = 0;
        std::memcpy(&size, out.data(), 4);
        return size;
    }
    std::string ataText(std::size_t firstWord, std::size_t width) const {
        std::string text;
        for (std::size_t i = 0; i < width; ++i)
            text.push_back(static_cast<char>(data()[2 * firstWord + (i ^ 1)]));
        return text;
    }
    int pageSum() const { return std::accumulate(data(), data() + 512, 0) & 0xFF; }

    std::unique_ptr<SimulatedKernel> kernel;
    Handle handle = kInvalidHandle;
    std::vector<std::uint8_t> out;
    DWORD returned = 0;
};

TEST_F(SmartRequests, VersionQueryReportsTheCapabilitiesOfEachSmartSetting) {
    build(kSmartDrive);
    GETVERSIONINPARAMS version{};
    ASSERT_TRUE(
        kernel->deviceIoControl(handle, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned));
    EXPECT_EQ(returned, 24u);
    EXPECT_EQ(version.fCapabilities, CAP_ATA_ID_CMD | CAP_SMART_CMD);
    EXPECT_FALSE(kernel->deviceIoControl(handle, SMART_GET_VERSION, nullptr, 0, &version, 23, &returned));
    EXPECT_EQ(kernel->getLastError(), ERROR_INSUFFICIENT_BUFFER);

    build("[Drive0]\nSectors = 10\nSmart = nocap\n");
    ASSERT_TRUE(
        kernel->deviceIoControl(handle, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned));
    EXPECT_EQ(version.fCapabilities & CAP_SMART_CMD, 0u);
    EXPECT_FALSE(send(SMART_SEND_DRIVE_COMMAND, kEnable, 17));

    build("[Drive0]\nSectors = 10\nSmart = none\n");
    EXPECT_FALSE(
        kernel->deviceIoControl(handle, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned));
    EXPECT_NE(kernel->getLastError(), 0u);
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, kIdentify));
}

TEST_F(SmartRequests, EnableAnswersAnEmptyOutputOrTheConfiguredError) {
    build(kSmartDrive);
    ASSERT_TRUE(send(SMART_SEND_DRIVE_COMMAND, kEnable, 17));
    EXPECT_EQ(returned, 16u);
    EXPECT_EQ(headerSize(), 0u);
    EXPECT_EQ(out[4], 0) << "DRIVERSTATUS reports no error";

    auto wrongCylinder = kEnable;
    wrongCylinder[7] = 0;
    EXPECT_FALSE(send(SMART_SEND_DRIVE_COMMAND, wrongCylinder, 17))
        << "the drive aborts without the signature";
    EXPECT_EQ(out[5], 0x04) << "the ATA error register shows the abort";
    auto disable = kEnable;
    disable[4] = 0xD9;
    EXPECT_FALSE(send(SMART_SEND_DRIVE_COMMAND, disable, 17));

    EXPECT_FALSE(kernel->deviceIoControl(handle, SMART_SEND_DRIVE_COMMAND, kEnable.data(), 31, out.data(), 17,
                                         &returned))
        << "a SENDCMDINPARAMS is at least 32 bytes";
    EXPECT_EQ(kernel->getLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(send(SMART_SEND_DRIVE_COMMAND, kEnable, 15));
    EXPECT_EQ(kernel->getLastError(), ERROR_INSUFFICIENT_BUFFER);

    build("[Drive0]\nSectors = 10\nEnableError = 1\n");
    EXPECT_FALSE(send(SMART_SEND_DRIVE_COMMAND, kEnable, 17));
    EXPECT_EQ(kernel->getLastError(), 1u);
}

TEST_F(SmartRequests, IdentifyCarriesTheTextsTheAtaWayAndTheSectorCounts) {
    build(kSmartDrive);
    ASSERT_TRUE(send(SMART_RCV_DRIVE_DATA, kIdentify, 528));
    EXPECT_EQ(returned, 528u);
    EXPECT_EQ(headerSize(), 512u);
    EXPECT_EQ(ataText(27, 40), "SIMDISK 2000" + std::string(28, ' '));
    EXPECT_EQ(ataText(10, 20), "SIM0001" + std::string(13, ' '));
    EXPECT_EQ(ataText(23, 8), "1.0     ");
    EXPECT_EQ(data()[54], 'I') << "the first character sits in the high (second) byte of word 27";
    EXPECT_EQ(data()[55], 'S');
    const auto word = [&](std::size_t w) { return data()[2 * w] | (data()[2 * w + 1] << 8); };
    EXPECT_EQ(word(60) | (word(61) << 16), 2000000);
    EXPECT_EQ(word(100) | (word(101) << 16), 2000000);
    EXPECT_EQ(word(102) | word(103), 0);
    EXPECT_EQ(word(82) & 1, 1) << "S.M.A.R.T. supported";
    EXPECT_EQ(data()[510], 0xA5);
    EXPECT_EQ(pageSum(), 0);

    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, kIdentify, 527));
    EXPECT_EQ(kernel->getLastError(), ERROR_INSUFFICIENT_BUFFER);

    build("[Drive0]\nSectors = 10\nIdentifyFails = yes\n");
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, kIdentify));
    EXPECT_TRUE(send(SMART_RCV_DRIVE_DATA, kValues)) << "only the identify request fails";
}

TEST_F(SmartRequests, ValuePageHoldsEachAttributeAtItsPosition) {
    build(kSmartDrive);
    ASSERT_TRUE(send(SMART_RCV_DRIVE_DATA, kValues));
    EXPECT_EQ(returned, 528u);
    EXPECT_EQ(headerSize(), 512u);
    const std::uint8_t first[12] = {194, 0x22, 0x00, 100, 99, 38, 0, 20, 0, 45, 0, 0};
    EXPECT_EQ(std::memcmp(data() + 2, first, 12), 0);
    const std::uint8_t second[12] = {9, 0x32, 0x00, 97, 96, 210, 4, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(data() + 14, second, 12), 0);
    const std::uint8_t last[12] = {5, 0x33, 0x00, 100, 100, 1, 2, 3, 4, 5, 6, 0};
    EXPECT_EQ(std::memcmp(data() + 2 + 12 * 29, last, 12), 0);
    EXPECT_EQ(data()[2 + 12 * 2], 0) << "positions not given are empty";
    EXPECT_EQ(pageSum(), 0) << "checksum in byte 511";

    ASSERT_TRUE(send(SMART_RCV_DRIVE_DATA, kThresholds));
    EXPECT_EQ(data()[2], 5);
    EXPECT_EQ(data()[3], 36);
    EXPECT_EQ(data()[2 + 12 * 29], 194);
    EXPECT_EQ(data()[3 + 12 * 29], 0);
    EXPECT_EQ(data()[14], 0);
    EXPECT_EQ(pageSum(), 0);

    auto unknownFeature = kValues;
    unknownFeature[4] = 0xD4;
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, unknownFeature));
    auto unknownCommand = kValues;
    unknownCommand[10] = 0x25;
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, unknownCommand));
}

TEST_F(SmartRequests, PageFailuresAreIndependent) {
    build("[Drive0]\nSectors = 10\nValuesFail = yes\n");
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, kValues));
    EXPECT_TRUE(send(SMART_RCV_DRIVE_DATA, kThresholds));
    build("[Drive0]\nSectors = 10\nThresholdsFail = yes\n");
    EXPECT_TRUE(send(SMART_RCV_DRIVE_DATA, kValues));
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, kThresholds));
    EXPECT_TRUE(send(SMART_SEND_DRIVE_COMMAND, kEnable, 17));
}

TEST_F(SmartRequests, GeometryIsGivenOrDerivedSoItsProductIsTheSectorCount) {
    const auto geometryOf = [&](const std::string& text) {
        build(text);
        std::vector<std::uint8_t> buffer(2400);
        DISK_GEOMETRY geometry{};
        EXPECT_TRUE(kernel->deviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, buffer.data(),
                                            2400, &returned));
        EXPECT_EQ(returned, 24u);
        std::memcpy(&geometry, buffer.data(), sizeof geometry);
        EXPECT_EQ(geometry.BytesPerSector, 512u);
        EXPECT_EQ(geometry.MediaType, 12u);
        return geometry;
    };
    DISK_GEOMETRY g = geometryOf("[Drive0]\nSectors = 2000000\nGeometry = 124,255,63\n");
    EXPECT_EQ(g.Cylinders, 124);
    EXPECT_EQ(g.TracksPerCylinder, 255u);
    EXPECT_EQ(g.SectorsPerTrack, 63u);

    for (const std::uint64_t sectors :
         {std::uint64_t{2000000}, std::uint64_t{16065 * 1000}, std::uint64_t{999983},
          (std::uint64_t{1} << 32) + 1000, std::uint64_t{1}}) {
        g = geometryOf("[Drive0]\nSectors = " + std::to_string(sectors) + "\n");
        EXPECT_EQ(static_cast<std::uint64_t>(g.Cylinders) * g.TracksPerCylinder * g.SectorsPerTrack, sectors);
        EXPECT_LE(g.SectorsPerTrack, 63u);
        EXPECT_LE(g.TracksPerCylinder, 255u);
    }
    g = geometryOf("[Drive0]\nSectors = 16065000\n");
    EXPECT_EQ(g.SectorsPerTrack, 63u);
    EXPECT_EQ(g.TracksPerCylinder, 255u);

    std::uint8_t small[23];
    EXPECT_FALSE(
        kernel->deviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, small, 23, &returned));
    EXPECT_EQ(kernel->getLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(kernel->deviceIoControl(handle, 0x12345, nullptr, 0, small, 23, &returned));
    EXPECT_EQ(kernel->getLastError(), ERROR_INVALID_FUNCTION);
}

TEST_F(SmartRequests, DefaultTextsNameTheDrive) {
    build("[Drive0]\nSectors = 10\n");
    ASSERT_TRUE(send(SMART_RCV_DRIVE_DATA, kIdentify));
    EXPECT_EQ(ataText(27, 40), "VARIM SIMULATED DISK" + std::string(20, ' '));
    EXPECT_EQ(ataText(10, 20), "SIM0000" + std::string(13, ' '));
}

}  // namespace
}  // namespace platform::sim
