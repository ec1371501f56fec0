#include "platform/linux/ata_passthrough.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <scsi/sg.h>
#include <sys/ioctl.h>

#include "platform/linux/errno_map.h"

namespace platform::linux {
namespace {

constexpr std::uint8_t kAtaPassThrough16 = 0x85;
constexpr std::uint8_t kScsiGood = 0x00;
constexpr std::uint8_t kScsiCheckCondition = 0x02;
constexpr std::uint8_t kScsiBusy = 0x08;
constexpr std::uint16_t kDriverSense = 0x08;

constexpr BYTE kSenseNoSense = 0x0;
constexpr BYTE kSenseRecovered = 0x1;
constexpr BYTE kSenseNotReady = 0x2;
constexpr BYTE kSenseMediumError = 0x3;
constexpr BYTE kSenseHardwareError = 0x4;
constexpr BYTE kSenseIllegalRequest = 0x5;
constexpr BYTE kSenseUnitAttention = 0x6;
constexpr BYTE kSenseDataProtect = 0x7;
constexpr BYTE kSenseAbortedCommand = 0xB;

constexpr BYTE kAtaErr = 0x01;
constexpr BYTE kAtaDeviceFault = 0x20;
constexpr BYTE kAtaStatusReturnDescriptor = 0x09;

constexpr unsigned kTimeoutMs = 30000;

DWORD errorForSenseKey(BYTE key) {
    switch (key) {
    case kSenseNotReady:
    case kSenseUnitAttention:
        return ERROR_NOT_READY;
    case kSenseMediumError:
        return ERROR_CRC;
    case kSenseHardwareError:
        return ERROR_IO_DEVICE;
    case kSenseIllegalRequest:
        return ERROR_INVALID_FUNCTION;  // the device or bridge does not take the command
    case kSenseDataProtect:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

AtaOutcome failure(DWORD error) {
    AtaOutcome outcome;
    outcome.ok = false;
    outcome.error = error;
    return outcome;
}

}  // namespace

void buildPassThroughCdb(const AtaRequest& request, std::uint8_t cdb[16]) {
    std::memset(cdb, 0, 16);
    cdb[0] = kAtaPassThrough16;
    cdb[1] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(request.protocol) << 1);  // EXTEND 0
    std::uint8_t flags = 0;
    if (request.protocol == AtaProtocol::PioDataIn)
        flags = 0x08 | 0x04 | 0x02;  // T_DIR from the device, BYT_BLOK in blocks, T_LENGTH in COUNT
    if (request.returnRegisters) flags |= 0x20;  // CK_COND
    cdb[2] = flags;
    cdb[4] = request.features;
    cdb[6] = request.sectorCount;
    cdb[8] = request.lbaLow;
    cdb[10] = request.lbaMid;
    cdb[12] = request.lbaHigh;
    cdb[13] = request.device;
    cdb[14] = request.command;
}

SenseSummary parseSense(const std::uint8_t* sense, std::size_t length) {
    SenseSummary summary;
    if (sense == nullptr || length < 1) return summary;
    const std::uint8_t code = sense[0] & 0x7f;
    if (code == 0x72 || code == 0x73) {
        if (length < 4) return summary;
        summary.valid = true;
        summary.key = sense[1] & 0x0f;
        summary.asc = sense[2];
        summary.ascq = sense[3];
        if (length < 8) return summary;
        const std::size_t end = std::min<std::size_t>(length, 8u + sense[7]);
        for (std::size_t i = 8; i + 1 < end; i += 2u + sense[i + 1]) {
            if (sense[i] == kAtaStatusReturnDescriptor && sense[i + 1] >= 0x0c && i + 13 < end) {
                summary.haveRegisters = true;
                summary.errorRegister = sense[i + 3];
                summary.sectorCount = sense[i + 5];
                summary.lbaMid = sense[i + 9];
                summary.lbaHigh = sense[i + 11];
                summary.status = sense[i + 13];
            }
        }
    } else if (code == 0x70 || code == 0x71) {
        if (length < 3) return summary;
        summary.valid = true;
        summary.key = sense[2] & 0x0f;
        if (length >= 14) {
            summary.asc = sense[12];
            summary.ascq = sense[13];
        }
        // SAT puts error, status, device and count in INFORMATION (bytes 3-6) and the LBA in
        // COMMAND-SPECIFIC INFORMATION (bytes 9-11). A completed command always has some
        // status bit set, so a zero status byte with a non-zero byte 9 is the older libata
        // layout (bytes 8-11, LBA from byte 17).
        if (length >= 12 && sense[4] != 0) {
            summary.haveRegisters = true;
            summary.errorRegister = sense[3];
            summary.status = sense[4];
            summary.sectorCount = sense[6];
            summary.lbaMid = sense[10];
            summary.lbaHigh = sense[11];
        } else if (length >= 12 && sense[4] == 0 && sense[9] != 0) {
            summary.haveRegisters = true;
            summary.errorRegister = sense[8];
            summary.status = sense[9];
            summary.sectorCount = sense[11];
            summary.lbaMid = length > 18 ? sense[18] : 0;
            summary.lbaHigh = length > 19 ? sense[19] : 0;
        }
    }
    return summary;
}

AtaOutcome interpretPassThrough(const AtaRequest& request, const ScsiResult& result) {
    if (result.hostStatus != 0) return failure(ERROR_IO_DEVICE);
    const std::uint16_t driver = result.driverStatus & 0x0f;
    if (driver != 0 && driver != kDriverSense) return failure(ERROR_IO_DEVICE);

    const SenseSummary sense = parseSense(result.sense, result.senseLength);
    AtaOutcome outcome;
    if (sense.haveRegisters) {
        outcome.haveRegisters = true;
        outcome.status = sense.status;
        outcome.errorRegister = sense.errorRegister;
        outcome.sectorCount = sense.sectorCount;
        outcome.lbaMid = sense.lbaMid;
        outcome.lbaHigh = sense.lbaHigh;
    }
    const std::uint8_t status = result.status & 0x3e;
    if (status == kScsiBusy) {
        outcome.error = ERROR_BUSY;
        return outcome;
    }
    if (status != kScsiGood && status != kScsiCheckCondition) {
        outcome.error = ERROR_IO_DEVICE;
        return outcome;
    }
    if (status == kScsiCheckCondition || (driver == kDriverSense && result.senseLength > 0)) {
        if (!sense.valid) {
            outcome.error = ERROR_IO_DEVICE;
            return outcome;
        }
        if (sense.key != kSenseNoSense && sense.key != kSenseRecovered) {
            outcome.deviceError = sense.key == kSenseAbortedCommand || sense.key == kSenseMediumError;
            outcome.error = errorForSenseKey(sense.key);
            return outcome;
        }
    }
    if (outcome.haveRegisters && (outcome.status & (kAtaErr | kAtaDeviceFault)) != 0) {
        outcome.deviceError = true;
        outcome.error = ERROR_GEN_FAILURE;
        return outcome;
    }
    if (request.dataBytes > 0 && result.resid != 0) {
        outcome.error = ERROR_IO_DEVICE;  // fewer bytes than the command returns: not an answer
        return outcome;
    }
    if (request.returnRegisters && !outcome.haveRegisters) {
        outcome.error = ERROR_IO_DEVICE;  // the answer we asked for is missing
        return outcome;
    }
    outcome.ok = true;
    outcome.error = ERROR_SUCCESS;
    return outcome;
}

AtaOutcome SgIoChannel::run(const AtaRequest& request, std::uint8_t* data) {
    std::uint8_t cdb[16];
    std::uint8_t sense[64] = {};
    buildPassThroughCdb(request, cdb);
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.cmd_len = sizeof cdb;
    io.cmdp = cdb;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.dxfer_direction = request.dataBytes > 0 ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    io.dxfer_len = request.dataBytes;
    io.dxferp = request.dataBytes > 0 ? data : nullptr;
    io.timeout = kTimeoutMs;
    int rc;
    do {
        rc = ioctl(fd_, SG_IO, &io);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) return failure(windowsErrorFromErrno(errno));
    ScsiResult result;
    result.status = io.status;
    result.hostStatus = io.host_status;
    result.driverStatus = io.driver_status;
    result.resid = io.resid;
    result.sense = sense;
    result.senseLength = std::min<std::size_t>(io.sb_len_wr, sizeof sense);
    return interpretPassThrough(request, result);
}

}  // namespace platform::linux
