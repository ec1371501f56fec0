// The Windows S.M.A.R.T. requests answered over a scripted ATA channel: which commands reach
// the drive, what the output buffers hold, and how failures are reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/linux/smart_requests.h"

using namespace platform;
using namespace platform::linux;

namespace {

class ScriptedChannel final : public AtaChannel {
public:
    AtaOutcome run(const AtaRequest& request, std::uint8_t* data) override {
        requests.push_back(request);
        if (request.dataBytes > 0) std::memcpy(data, answer.data(), request.dataBytes);
        return outcome;
    }
    std::vector<AtaRequest> requests;
    std::vector<std::uint8_t> answer = std::vector<std::uint8_t>(64 * 1024, 0);
    AtaOutcome outcome = success();

    static AtaOutcome success() {
        AtaOutcome o;
        o.ok = true;
        o.error = ERROR_SUCCESS;
        return o;
    }
};

std::vector<std::uint8_t> sendCmdIn(BYTE features, BYTE count, BYTE command) {
    SENDCMDINPARAMS in{};
    in.cBufferSize = 512;
    in.irDriveRegs = {features, count, 1, 0x4F, 0xC2, 0xA0, command, 0};
    std::vector<std::uint8_t> bytes(sizeof in);
    std::memcpy(bytes.data(), &in, sizeof in);
    return bytes;
}

SENDCMDOUTPARAMS_HEADER headerOf(const std::vector<std::uint8_t>& out) {
    SENDCMDOUTPARAMS_HEADER h{};
    std::memcpy(&h, out.data(), sizeof h);
    return h;
}

struct Fixture : ::testing::Test {
    ScriptedChannel channel;
    std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(64 * 1024);

    IoctlAnswer send(DWORD code, const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) {
        return smartDriveCommand(channel, code, in.data(), static_cast<DWORD>(in.size()), out.data(),
                                 static_cast<DWORD>(out.size()), scratch.data(), scratch.size());
    }
};

}  // namespace

using SmartVersion = Fixture;
using SmartCommands = Fixture;

TEST_F(SmartVersion, AnsweredOnlyWhenTheDeviceReturnsAtaIdentifyData) {
    channel.answer[0] = 0x40;  // word 0 of a fixed ATA disk
    channel.answer[54] = 'Q';
    GETVERSIONINPARAMS version{};
    IoctlAnswer a = smartGetVersion(channel, scratch.data(), &version, sizeof version);
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.returned, 24u);
    EXPECT_EQ(version.bVersion, 1);
    EXPECT_EQ(version.bRevision, 1);
    EXPECT_EQ(version.bIDEDeviceMap, 1);
    EXPECT_EQ(version.fCapabilities, CAP_ATA_ID_CMD | CAP_SMART_CMD);
    ASSERT_EQ(channel.requests.size(), 1u);
    EXPECT_EQ(channel.requests[0].command, ATA_IDENTIFY_DEVICE);
    EXPECT_EQ(channel.requests[0].dataBytes, 512u);

    channel.answer[1] = 0x85;  // a packet (ATAPI) device
    EXPECT_FALSE(smartGetVersion(channel, scratch.data(), &version, sizeof version).ok);
    std::fill(channel.answer.begin(), channel.answer.end(), 0);  // a bridge that answered nothing
    EXPECT_FALSE(smartGetVersion(channel, scratch.data(), &version, sizeof version).ok);
    channel.answer[0] = 0x40;
    channel.outcome.ok = false;
    channel.outcome.error = ERROR_INVALID_FUNCTION;
    a = smartGetVersion(channel, scratch.data(), &version, sizeof version);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.error, ERROR_INVALID_FUNCTION);
    EXPECT_EQ(smartGetVersion(channel, scratch.data(), &version, 23).error, ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(SmartCommands, PagesAndIdentifyComeBackAfterTheHeader) {
    for (std::size_t i = 0; i < 512; ++i) channel.answer[i] = static_cast<std::uint8_t>(i * 3);
    for (BYTE feature : {SMART_READ_DATA, SMART_READ_THRESHOLDS}) {
        std::vector<std::uint8_t> out(531, 0xEE);
        const IoctlAnswer a = send(SMART_RCV_DRIVE_DATA, sendCmdIn(feature, 1, ATA_SMART_CMD), out);
        ASSERT_TRUE(a.ok);
        EXPECT_EQ(a.returned, 528u);
        EXPECT_EQ(headerOf(out).cBufferSize, 512u);
        EXPECT_EQ(headerOf(out).DriverStatus.bDriverError, 0);
        EXPECT_EQ(0, std::memcmp(out.data() + 16, channel.answer.data(), 512));
        const AtaRequest& r = channel.requests.back();
        EXPECT_EQ(r.protocol, AtaProtocol::PioDataIn);
        EXPECT_EQ(r.features, feature);
        EXPECT_EQ(r.lbaMid, 0x4F);
        EXPECT_EQ(r.lbaHigh, 0xC2);
        EXPECT_EQ(r.device, 0xA0);
        EXPECT_EQ(r.command, ATA_SMART_CMD);
    }
    std::vector<std::uint8_t> out(528);
    ASSERT_TRUE(send(SMART_RCV_DRIVE_DATA, sendCmdIn(0, 1, ATA_IDENTIFY_DEVICE), out).ok);
    EXPECT_EQ(channel.requests.back().command, ATA_IDENTIFY_DEVICE);
    EXPECT_EQ(channel.requests.back().sectorCount, 1);

    std::vector<std::uint8_t> small(17);
    const IoctlAnswer enable = send(SMART_SEND_DRIVE_COMMAND, sendCmdIn(SMART_ENABLE_OPERATIONS, 1, ATA_SMART_CMD), small);
    ASSERT_TRUE(enable.ok);
    EXPECT_EQ(channel.requests.back().protocol, AtaProtocol::NonData);
    EXPECT_EQ(channel.requests.back().dataBytes, 0u);
    EXPECT_EQ(headerOf(small).cBufferSize, 0u);

    // CHECK POWER MODE asks for the registers and hands them back: the count is the mode.
    channel.outcome.haveRegisters = true;
    channel.outcome.sectorCount = 0x00;
    channel.outcome.status = 0x50;
    std::vector<std::uint8_t> power(24, 0xEE);
    const IoctlAnswer mode = send(SMART_SEND_DRIVE_COMMAND, sendCmdIn(0, 0, ATA_CHECK_POWER_MODE), power);
    ASSERT_TRUE(mode.ok);
    EXPECT_TRUE(channel.requests.back().returnRegisters);
    EXPECT_EQ(channel.requests.back().protocol, AtaProtocol::NonData);
    EXPECT_EQ(headerOf(power).cBufferSize, sizeof(IDEREGS));
    IDEREGS returned{};
    std::memcpy(&returned, power.data() + 16, sizeof returned);
    EXPECT_EQ(returned.bSectorCountReg, 0x00);
    EXPECT_EQ(returned.bCommandReg, 0x50);
}

TEST_F(SmartCommands, OnlyTheCommandsTheProgramSendsEverReachTheDrive) {
    struct Sent {
        DWORD code;
        int command;
        int features;
        bool operator==(const Sent&) const = default;
    };
    std::vector<Sent> reached;
    int wronglyRefused = 0;
    std::vector<std::uint8_t> out(531);
    for (const DWORD code : {SMART_SEND_DRIVE_COMMAND, SMART_RCV_DRIVE_DATA, DWORD{0x7C08C}}) {
        for (int command = 0; command < 256; ++command) {
            for (int features = 0; features < 256; ++features) {
                const std::size_t before = channel.requests.size();
                std::fill(out.begin(), out.end(), 0xEE);
                const IoctlAnswer a =
                    send(code, sendCmdIn(static_cast<BYTE>(features), 1, static_cast<BYTE>(command)), out);
                if (channel.requests.size() != before) {
                    reached.push_back({code, command, features});
                    continue;
                }
                wronglyRefused += a.ok || a.error != ERROR_INVALID_PARAMETER ||
                                  headerOf(out).DriverStatus.bDriverError != SMART_INVALID_COMMAND;
            }
        }
    }
    // LBA low is 1 in these requests: the short self-test and the summary error log.
    EXPECT_EQ(reached, (std::vector<Sent>{{SMART_SEND_DRIVE_COMMAND, ATA_SMART_CMD, SMART_EXECUTE_OFFLINE_IMMEDIATE},
                                          {SMART_SEND_DRIVE_COMMAND, ATA_SMART_CMD, SMART_ENABLE_OPERATIONS},
                                          {SMART_SEND_DRIVE_COMMAND, ATA_CHECK_POWER_MODE, 0},
                                          {SMART_RCV_DRIVE_DATA, ATA_SMART_CMD, SMART_READ_DATA},
                                          {SMART_RCV_DRIVE_DATA, ATA_SMART_CMD, SMART_READ_THRESHOLDS},
                                          {SMART_RCV_DRIVE_DATA, ATA_SMART_CMD, SMART_READ_LOG},
                                          {SMART_RCV_DRIVE_DATA, ATA_IDENTIFY_DEVICE, 0}}));
    EXPECT_EQ(wronglyRefused, 0);

    // Of the self-test subcommands only the off-line short, extended and conveyance tests and
    // the abort pass (never the captive ones nor off-line data collection); of the logs only
    // one sector of the summary error log and of the self-test log.
    std::vector<int> subcommands;
    std::vector<int> logs;
    for (int lbaLow = 0; lbaLow < 256; ++lbaLow) {
        for (int count = 0; count < 3; ++count) {
            for (const BYTE features : {SMART_EXECUTE_OFFLINE_IMMEDIATE, SMART_READ_LOG}) {
                std::vector<std::uint8_t> in = sendCmdIn(features, static_cast<BYTE>(count), ATA_SMART_CMD);
                in[offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bSectorNumberReg)] =
                    static_cast<BYTE>(lbaLow);
                const std::size_t before = channel.requests.size();
                const DWORD code = features == SMART_READ_LOG ? SMART_RCV_DRIVE_DATA : SMART_SEND_DRIVE_COMMAND;
                send(code, in, out);
                if (channel.requests.size() == before) continue;
                if (features == SMART_READ_LOG) logs.push_back(lbaLow * 10 + count);
                else if (count == 1) subcommands.push_back(lbaLow);
            }
        }
    }
    EXPECT_EQ(subcommands, (std::vector<int>{1, 2, 3, 127}));
    EXPECT_EQ(logs, (std::vector<int>{11, 61}));

    // A S.M.A.R.T. command without its signature in LBA mid/high is not one of them either.
    std::vector<std::uint8_t> in = sendCmdIn(SMART_READ_DATA, 1, ATA_SMART_CMD);
    in[offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCylHighReg)] = 0;
    const std::size_t before = channel.requests.size();
    EXPECT_FALSE(send(SMART_RCV_DRIVE_DATA, in, out).ok);
    EXPECT_EQ(channel.requests.size(), before);
}

TEST_F(SmartCommands, BadBuffersAreRefusedBeforeTheDriveIsAsked) {
    std::vector<std::uint8_t> out(527);  // one byte short of header plus a page
    IoctlAnswer a = send(SMART_RCV_DRIVE_DATA, sendCmdIn(SMART_READ_DATA, 1, ATA_SMART_CMD), out);
    EXPECT_EQ(a.error, ERROR_INSUFFICIENT_BUFFER);
    std::vector<std::uint8_t> shortIn = sendCmdIn(SMART_READ_DATA, 1, ATA_SMART_CMD);
    shortIn.resize(20);
    out.resize(531);
    a = send(SMART_RCV_DRIVE_DATA, shortIn, out);
    EXPECT_EQ(a.error, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(channel.requests.empty());
}

TEST_F(SmartCommands, AFailedCommandReportsTheDriveErrorAndNoData) {
    for (std::size_t i = 0; i < 512; ++i) channel.answer[i] = 0xAB;  // whatever the device left behind
    channel.outcome = AtaOutcome{};
    channel.outcome.ok = false;
    channel.outcome.error = ERROR_GEN_FAILURE;
    channel.outcome.deviceError = true;
    channel.outcome.haveRegisters = true;
    channel.outcome.errorRegister = 0x04;
    std::vector<std::uint8_t> out(531, 0xEE);
    const IoctlAnswer a = send(SMART_RCV_DRIVE_DATA, sendCmdIn(SMART_READ_DATA, 1, ATA_SMART_CMD), out);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.error, ERROR_GEN_FAILURE);
    const SENDCMDOUTPARAMS_HEADER h = headerOf(out);
    EXPECT_EQ(h.cBufferSize, 0u);
    EXPECT_EQ(h.DriverStatus.bDriverError, SMART_IDE_ERROR);
    EXPECT_EQ(h.DriverStatus.bIDEError, 0x04);
    EXPECT_EQ(out[16], 0);
    EXPECT_EQ(out[527], 0);
}
