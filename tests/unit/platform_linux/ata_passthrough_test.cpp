// The ATA PASS-THROUGH (16) command bytes and the reading of the device's answers: SCSI
// status, transport errors, and the ATA registers in both sense formats.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/linux/ata_passthrough.h"

using namespace platform;
using namespace platform::linux;

namespace {

AtaRequest smartReadData() {
    AtaRequest r;
    r.features = 0xD0;
    r.sectorCount = 1;
    r.lbaLow = 1;
    r.lbaMid = 0x4F;
    r.lbaHigh = 0xC2;
    r.device = 0xA0;
    r.command = 0xB0;
    r.protocol = AtaProtocol::PioDataIn;
    r.dataBytes = 512;
    return r;
}

AtaRequest smartEnable() {
    AtaRequest r = smartReadData();
    r.features = 0xD8;
    r.protocol = AtaProtocol::NonData;
    r.dataBytes = 0;
    return r;
}

ScsiResult withSense(std::uint8_t status, const std::vector<std::uint8_t>& sense) {
    ScsiResult r;
    r.status = status;
    r.driverStatus = 0x08;
    r.sense = sense.data();
    r.senseLength = sense.size();
    return r;
}

// libata's descriptor sense for a command the drive aborted: ATA status 51h, error 04h.
const std::vector<std::uint8_t> kDescriptorAbort = {0x72, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0E,
                                                    0x09, 0x0C, 0x00, 0x04, 0x00, 0x01, 0x00, 0xE8,
                                                    0x00, 0x03, 0x00, 0x00, 0x40, 0x51};
// The same answer in fixed format as Linux 6.1 writes it (registers five bytes late).
const std::vector<std::uint8_t> kOldLibataFixed = {0x70, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x04,
                                                   0x41, 0x40, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8};
// SAT's own fixed layout: error, status, device, count in INFORMATION; LBA in bytes 9-11.
const std::vector<std::uint8_t> kSatFixed = {0x70, 0x00, 0x01, 0x00, 0x50, 0x00, 0x00, 0x0A, 0x00,
                                             0x00, 0x4F, 0xC2, 0x00, 0x1D, 0x00, 0x00, 0x00, 0x00};

// The first `length` bytes of sense, followed in memory by 32 bytes of `tail`.
SenseSummary parsePrefix(const std::vector<std::uint8_t>& sense, std::size_t length, std::uint8_t tail) {
    std::vector<std::uint8_t> bytes(sense.begin(), sense.begin() + static_cast<std::ptrdiff_t>(length));
    bytes.resize(length + 32, tail);
    return parseSense(bytes.data(), length);
}

bool sameSummary(const SenseSummary& a, const SenseSummary& b) {
    return a.valid == b.valid && a.key == b.key && a.asc == b.asc && a.ascq == b.ascq &&
           a.haveRegisters == b.haveRegisters && a.status == b.status && a.errorRegister == b.errorRegister &&
           a.sectorCount == b.sectorCount && a.lbaMid == b.lbaMid && a.lbaHigh == b.lbaHigh;
}

}  // namespace

TEST(PassThroughCdb, CarriesTheTaskFileWhereSatPutsIt) {
    std::uint8_t cdb[16];
    buildPassThroughCdb(smartReadData(), cdb);
    const std::array<std::uint8_t, 16> readData = {0x85, 0x08, 0x0E, 0x00, 0xD0, 0x00, 0x01, 0x00,
                                                   0x01, 0x00, 0x4F, 0x00, 0xC2, 0xA0, 0xB0, 0x00};
    EXPECT_TRUE(std::equal(readData.begin(), readData.end(), cdb));

    buildPassThroughCdb(smartEnable(), cdb);
    EXPECT_EQ(cdb[1], 0x06);  // protocol 3, non-data
    EXPECT_EQ(cdb[2], 0x00);  // no transfer: no direction, no length
    EXPECT_EQ(cdb[4], 0xD8);

    AtaRequest status = smartEnable();
    status.features = 0xDA;
    status.returnRegisters = true;
    buildPassThroughCdb(status, cdb);
    EXPECT_EQ(cdb[2], 0x20);  // CK_COND
}

TEST(SenseParsing, DescriptorFormatGivesTheAtaStatusReturnRegisters) {
    const SenseSummary s = parseSense(kDescriptorAbort.data(), kDescriptorAbort.size());
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(s.key, 0x0B);
    ASSERT_TRUE(s.haveRegisters);
    EXPECT_EQ(s.errorRegister, 0x04);
    EXPECT_EQ(s.status, 0x51);
    EXPECT_EQ(s.sectorCount, 0x01);
    EXPECT_EQ(s.lbaMid, 0x03);
}

TEST(SenseParsing, BothFixedFormatLayoutsAreRead) {
    const SenseSummary old = parseSense(kOldLibataFixed.data(), kOldLibataFixed.size());
    EXPECT_EQ(old.key, 0x0B);
    ASSERT_TRUE(old.haveRegisters);
    EXPECT_EQ(old.errorRegister, 0x04);
    EXPECT_EQ(old.status, 0x41);
    EXPECT_EQ(old.sectorCount, 0x01);

    const SenseSummary s = parseSense(kSatFixed.data(), kSatFixed.size());
    EXPECT_EQ(s.key, 0x01);
    EXPECT_EQ(s.ascq, 0x1D);
    ASSERT_TRUE(s.haveRegisters);
    EXPECT_EQ(s.status, 0x50);
    EXPECT_EQ(s.sectorCount, 0x00);
    EXPECT_EQ(s.lbaMid, 0x4F);
    EXPECT_EQ(s.lbaHigh, 0xC2);
}

TEST(SenseParsing, ShortOrStrangeSenseIsNeverReadPastItsEnd) {
    // Descriptors that claim more bytes than the sense holds.
    std::vector<std::uint8_t> lying = kDescriptorAbort;
    lying[9] = 0xF0;
    lying[7] = 0xFF;
    std::vector<std::uint8_t> lyingShort = lying;
    lyingShort.resize(21);  // the status byte is missing
    const std::vector<std::uint8_t> strange = {0x7F, 0x0B, 0x00, 0x00};
    const std::vector<std::uint8_t>* senses[] = {&kDescriptorAbort, &kOldLibataFixed, &kSatFixed,
                                                 &lying,           &lyingShort,      &strange};
    for (const auto* sense : senses) {
        for (std::size_t length = 0; length <= sense->size(); ++length) {
            SCOPED_TRACE(testing::Message() << "sense " << int{(*sense)[0]} << " length " << length);
            // What lies past the end can never change the reading.
            EXPECT_TRUE(sameSummary(parsePrefix(*sense, length, 0x00), parsePrefix(*sense, length, 0xFF)));
        }
    }
    for (std::size_t length = 0; length < kDescriptorAbort.size(); ++length)
        EXPECT_FALSE(parsePrefix(kDescriptorAbort, length, 0x51).haveRegisters) << length;
    // The registers of a descriptor that overstates its length come only from bytes that are there.
    const SenseSummary overstated = parseSense(lying.data(), lying.size());
    ASSERT_TRUE(overstated.haveRegisters);
    EXPECT_EQ(overstated.status, 0x51);
    EXPECT_EQ(overstated.errorRegister, 0x04);
    EXPECT_FALSE(parseSense(lyingShort.data(), lyingShort.size()).haveRegisters);
    EXPECT_FALSE(parseSense(strange.data(), strange.size()).valid);
    EXPECT_FALSE(parseSense(nullptr, 18).valid);
}

TEST(PassThroughResult, OnlyAGenuineAnswerIsSuccess) {
    ScsiResult good;
    EXPECT_TRUE(interpretPassThrough(smartReadData(), good).ok);

    // The drive aborted the command (what QEMU answers for a bad sector or a refused feature).
    AtaOutcome aborted = interpretPassThrough(smartReadData(), withSense(0x02, kOldLibataFixed));
    EXPECT_FALSE(aborted.ok);
    EXPECT_TRUE(aborted.deviceError);
    EXPECT_EQ(aborted.error, ERROR_GEN_FAILURE);
    EXPECT_EQ(aborted.errorRegister, 0x04);
    aborted = interpretPassThrough(smartReadData(), withSense(0x02, kDescriptorAbort));
    EXPECT_FALSE(aborted.ok);
    EXPECT_EQ(aborted.errorRegister, 0x04);

    // A SCSI disk (or bridge) without SAT: ILLEGAL REQUEST, invalid opcode.
    const std::vector<std::uint8_t> illegal = {0x70, 0x00, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x20, 0x00};
    const AtaOutcome notSat = interpretPassThrough(smartReadData(), withSense(0x02, illegal));
    EXPECT_FALSE(notSat.ok);
    EXPECT_EQ(notSat.error, ERROR_INVALID_FUNCTION);

    ScsiResult transport;
    transport.hostStatus = 0x01;  // DID_NO_CONNECT
    EXPECT_FALSE(interpretPassThrough(smartReadData(), transport).ok);
    ScsiResult timedOut;
    timedOut.driverStatus = 0x06;
    EXPECT_FALSE(interpretPassThrough(smartReadData(), timedOut).ok);

    ScsiResult shortData;
    shortData.resid = 512;
    EXPECT_FALSE(interpretPassThrough(smartReadData(), shortData).ok);

    ScsiResult checkWithoutSense;
    checkWithoutSense.status = 0x02;
    EXPECT_FALSE(interpretPassThrough(smartReadData(), checkWithoutSense).ok);

    ScsiResult busy;
    busy.status = 0x08;
    EXPECT_EQ(interpretPassThrough(smartReadData(), busy).error, ERROR_BUSY);
}

TEST(PassThroughResult, RegistersAskedForComeBackAndAnAtaErrorIsAFailure) {
    AtaRequest status = smartEnable();
    status.features = 0xDA;
    status.returnRegisters = true;
    // "ATA pass-through information available" with the registers of a healthy drive.
    std::vector<std::uint8_t> info = kDescriptorAbort;
    info[1] = 0x01;
    info[3] = 0x1D;
    info[11] = 0x00;  // error
    info[17] = 0x4F;  // lba mid
    info[19] = 0xC2;  // lba high
    info[21] = 0x50;  // status: DRDY, no ERR
    info[13] = 0xFF;  // count: CHECK POWER MODE's "active or idle"
    const AtaOutcome ok = interpretPassThrough(status, withSense(0x02, info));
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(ok.sectorCount, 0xFF);
    EXPECT_EQ(ok.lbaMid, 0x4F);
    EXPECT_EQ(ok.lbaHigh, 0xC2);

    info[21] = 0x51;  // ERR set although the SCSI layer called it informational
    info[11] = 0x04;
    const AtaOutcome err = interpretPassThrough(status, withSense(0x02, info));
    EXPECT_FALSE(err.ok);
    EXPECT_TRUE(err.deviceError);
    EXPECT_EQ(err.errorRegister, 0x04);

    // Asked for registers, got none: nothing to report, so no success.
    EXPECT_FALSE(interpretPassThrough(status, ScsiResult{}).ok);
}
