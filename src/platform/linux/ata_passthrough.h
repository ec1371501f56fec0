#pragma once
// ATA commands sent through the SCSI layer with the SAT ATA PASS-THROUGH (16) command, and
// the reading of what comes back: SCSI status, transport errors and the ATA registers in
// fixed or descriptor sense data. The building and the reading are pure functions; only
// SgIoChannel talks to the kernel.
#include <cstddef>
#include <cstdint>

#include "platform/linux/linux_namespace.h"
#include "platform/win_types.h"

namespace platform::linux {

enum class AtaProtocol : std::uint8_t { NonData = 3, PioDataIn = 4 };

struct AtaRequest {
    // The 28-bit task file as IDEREGS carries it.
    BYTE features = 0;
    BYTE sectorCount = 0;
    BYTE lbaLow = 0;   // sector number
    BYTE lbaMid = 0;   // cylinder low
    BYTE lbaHigh = 0;  // cylinder high
    BYTE device = 0;   // drive/head
    BYTE command = 0;
    AtaProtocol protocol = AtaProtocol::NonData;
    std::uint32_t dataBytes = 0;  // data-in length, whole 512-byte blocks; 0 for non-data
    bool returnRegisters = false; // CK_COND: ask for the ATA registers even on success
};

// What the device answered.
struct AtaOutcome {
    bool ok = false;
    DWORD error = ERROR_GEN_FAILURE;  // Windows code when !ok
    bool haveRegisters = false;       // the fields below came from the device
    BYTE status = 0;
    BYTE errorRegister = 0;
    BYTE sectorCount = 0;
    BYTE lbaMid = 0;
    BYTE lbaHigh = 0;
    bool deviceError = false;         // the drive itself refused (ATA ERR/DF or ABORTED COMMAND)
};

// The SCSI-level result of one SG_IO call, as the kernel filled sg_io_hdr.
struct ScsiResult {
    std::uint8_t status = 0;        // SCSI status byte
    std::uint16_t hostStatus = 0;
    std::uint16_t driverStatus = 0;
    int resid = 0;                  // data bytes not transferred
    const std::uint8_t* sense = nullptr;
    std::size_t senseLength = 0;    // bytes of sense actually written
};

// Sense data reduced to what the pass-through needs.
struct SenseSummary {
    bool valid = false;
    BYTE key = 0;
    BYTE asc = 0;
    BYTE ascq = 0;
    bool haveRegisters = false;
    BYTE status = 0;
    BYTE errorRegister = 0;
    BYTE sectorCount = 0;
    BYTE lbaMid = 0;
    BYTE lbaHigh = 0;
};

// The 16-byte ATA PASS-THROUGH (16) CDB for a 28-bit command.
void buildPassThroughCdb(const AtaRequest& request, std::uint8_t cdb[16]);
// Reads fixed (70h/71h) or descriptor (72h/73h, ATA Status Return descriptor 09h) sense.
// Fixed sense from Linux libata before 2024 carries the registers five bytes late; both
// layouts are recognised. Never reads past length.
SenseSummary parseSense(const std::uint8_t* sense, std::size_t length);
// Decides success or failure of a pass-through from its SCSI result. Only a GOOD status,
// or the "ATA pass-through information available" check condition, without ATA ERR or DF
// and with every data byte delivered, counts as success.
AtaOutcome interpretPassThrough(const AtaRequest& request, const ScsiResult& result);

// Runs ATA commands on one device.
class AtaChannel {
public:
    virtual ~AtaChannel() = default;
    // Sends the request; data (request.dataBytes long, caller-owned) receives data-in bytes.
    virtual AtaOutcome run(const AtaRequest& request, std::uint8_t* data) = 0;
};

// AtaChannel over SG_IO on an open block device.
class SgIoChannel final : public AtaChannel {
public:
    explicit SgIoChannel(int fd) : fd_(fd) {}
    AtaOutcome run(const AtaRequest& request, std::uint8_t* data) override;

private:
    int fd_;
};

}  // namespace platform::linux
