#include "platform/linux/smart_requests.h"

#include <algorithm>
#include <cstring>

namespace platform::linux {
namespace {

constexpr DWORD kSendCmdInWithoutBuffer = sizeof(SENDCMDINPARAMS) - 1;
constexpr std::uint32_t kBlock = 512;

IoctlAnswer refused(DWORD error) {
    IoctlAnswer answer;
    answer.error = error;
    return answer;
}

// Fills the SENDCMDOUTPARAMS header when the output has room for it.
DWORD writeHeader(void* out, DWORD outSize, DWORD dataBytes, BYTE driverError, BYTE ideError) {
    if (out == nullptr || outSize < kSendCmdOutHeaderSize) return 0;
    SENDCMDOUTPARAMS_HEADER header{};
    header.cBufferSize = dataBytes;
    header.DriverStatus.bDriverError = driverError;
    header.DriverStatus.bIDEError = ideError;
    std::memcpy(out, &header, sizeof header);
    return kSendCmdOutHeaderSize;
}

// A S.M.A.R.T. command as the feature set defines it: command B0h with 4Fh/C2h in LBA mid/high.
bool isSmartCommand(const IDEREGS& regs) {
    return regs.bCommandReg == ATA_SMART_CMD && regs.bCylLowReg == SMART_CYL_LOW && regs.bCylHighReg == SMART_CYL_HI;
}

// Whether an EXECUTE OFF-LINE IMMEDIATE subcommand is one of the self-tests the program starts
// (short, extended, conveyance, all in off-line mode) or the abort. The captive-mode variants
// would hold the drive busy until the test ends and are never sent.
bool isSelfTestSubcommand(BYTE subcommand) {
    return subcommand == SMART_SHORT_SELFTEST_OFFLINE || subcommand == SMART_EXTENDED_SELFTEST_OFFLINE ||
           subcommand == SMART_CONVEYANCE_SELFTEST_OFFLINE || subcommand == SMART_ABORT_SELFTEST;
}

// The ATA request a SENDCMDINPARAMS stands for, or false when it is not one the program uses:
// IDENTIFY DEVICE, CHECK POWER MODE, S.M.A.R.T. ENABLE OPERATIONS, READ DATA, READ THRESHOLDS, EXECUTE OFF-LINE
// IMMEDIATE with a self-test subcommand, and READ LOG of the summary error log or the
// self-test log (one sector). Everything else is refused: nothing the program does not send
// may ever reach a failing drive through it.
bool planRequest(DWORD code, const SENDCMDINPARAMS& params, AtaRequest& request) {
    const IDEREGS& regs = params.irDriveRegs;
    request.features = regs.bFeaturesReg;
    request.sectorCount = regs.bSectorCountReg;
    request.lbaLow = regs.bSectorNumberReg;
    request.lbaMid = regs.bCylLowReg;
    request.lbaHigh = regs.bCylHighReg;
    request.device = regs.bDriveHeadReg;
    request.command = regs.bCommandReg;
    if (code == SMART_RCV_DRIVE_DATA) {
        request.protocol = AtaProtocol::PioDataIn;
        request.sectorCount = 1;
        request.dataBytes = kBlock;
        if (regs.bCommandReg == ATA_IDENTIFY_DEVICE) return regs.bFeaturesReg == 0;
        if (!isSmartCommand(regs)) return false;
        if (regs.bFeaturesReg == SMART_READ_LOG)
            return regs.bSectorCountReg == 1 &&
                   (regs.bSectorNumberReg == SMART_SUMMARY_ERROR_LOG || regs.bSectorNumberReg == SMART_SELFTEST_LOG);
        return regs.bFeaturesReg == SMART_READ_DATA || regs.bFeaturesReg == SMART_READ_THRESHOLDS;
    }
    request.protocol = AtaProtocol::NonData;
    if (code != SMART_SEND_DRIVE_COMMAND) return false;
    if (regs.bCommandReg == ATA_CHECK_POWER_MODE && regs.bFeaturesReg == 0) {
        // Its answer is the sector count register, so the registers must come back.
        request.returnRegisters = true;
        return true;
    }
    if (!isSmartCommand(regs)) return false;
    if (regs.bFeaturesReg == SMART_EXECUTE_OFFLINE_IMMEDIATE) return isSelfTestSubcommand(regs.bSectorNumberReg);
    return regs.bFeaturesReg == SMART_ENABLE_OPERATIONS;
}

}  // namespace

IoctlAnswer smartGetVersion(AtaChannel& channel, std::uint8_t* scratch, void* out, DWORD outSize) {
    if (out == nullptr || outSize < sizeof(GETVERSIONINPARAMS)) return refused(ERROR_INSUFFICIENT_BUFFER);
    AtaRequest identify;
    identify.command = ATA_IDENTIFY_DEVICE;
    identify.sectorCount = 1;
    identify.device = 0xA0;
    identify.protocol = AtaProtocol::PioDataIn;
    identify.dataBytes = kBlock;
    std::memset(scratch, 0, kBlock);
    const AtaOutcome outcome = channel.run(identify, scratch);
    if (!outcome.ok) return refused(outcome.error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : outcome.error);
    // Word 0 bit 15 is set by packet (ATAPI) devices; all zeros is a bridge that ignored us.
    const bool empty = std::all_of(scratch, scratch + kBlock, [](std::uint8_t b) { return b == 0; });
    if (empty || (scratch[1] & 0x80) != 0) return refused(ERROR_INVALID_FUNCTION);

    GETVERSIONINPARAMS version{};
    version.bVersion = 1;
    version.bRevision = 1;
    version.bIDEDeviceMap = 0x01;
    version.fCapabilities = CAP_ATA_ID_CMD | CAP_SMART_CMD;
    std::memcpy(out, &version, sizeof version);
    IoctlAnswer answer;
    answer.ok = true;
    answer.error = ERROR_SUCCESS;
    answer.returned = sizeof version;
    return answer;
}

IoctlAnswer smartDriveCommand(AtaChannel& channel, DWORD code, const void* in, DWORD inSize, void* out,
                              DWORD outSize, std::uint8_t* scratch, std::size_t scratchBytes) {
    if (in == nullptr || inSize < kSendCmdInWithoutBuffer) return refused(ERROR_INVALID_PARAMETER);
    SENDCMDINPARAMS params{};
    std::memcpy(&params, in, kSendCmdInWithoutBuffer);

    AtaRequest request;
    if (!planRequest(code, params, request)) {
        IoctlAnswer answer = refused(ERROR_INVALID_PARAMETER);
        answer.returned = writeHeader(out, outSize, 0, SMART_INVALID_COMMAND, 0);
        return answer;
    }
    const bool checkPowerMode = request.command == ATA_CHECK_POWER_MODE;
    const DWORD dataBytes = checkPowerMode ? static_cast<DWORD>(sizeof(IDEREGS)) : request.dataBytes;
    if (out == nullptr || outSize < kSendCmdOutHeaderSize + dataBytes) {
        IoctlAnswer answer = refused(ERROR_INSUFFICIENT_BUFFER);
        answer.returned = writeHeader(out, outSize, 0, SMART_INVALID_BUFFER, 0);
        return answer;
    }
    if (request.dataBytes > scratchBytes) return refused(ERROR_NOT_ENOUGH_MEMORY);

    std::memset(scratch, 0, request.dataBytes);
    std::memset(out, 0, kSendCmdOutHeaderSize + dataBytes);
    const AtaOutcome outcome = channel.run(request, scratch);
    auto* data = static_cast<std::uint8_t*>(out) + kSendCmdOutHeaderSize;
    IoctlAnswer answer;
    if (!outcome.ok) {
        answer.error = outcome.error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : outcome.error;
        const BYTE driverError = outcome.deviceError ? SMART_IDE_ERROR : SMART_NOT_SUPPORTED;
        answer.returned = writeHeader(out, outSize, 0, driverError, outcome.haveRegisters ? outcome.errorRegister : 0);
        return answer;
    }
    if (checkPowerMode) {
        IDEREGS returned{};
        returned.bFeaturesReg = outcome.errorRegister;
        returned.bSectorCountReg = outcome.sectorCount;
        returned.bCylLowReg = outcome.lbaMid;
        returned.bCylHighReg = outcome.lbaHigh;
        returned.bCommandReg = outcome.status;
        std::memcpy(data, &returned, sizeof returned);
    } else {
        std::memcpy(data, scratch, request.dataBytes);
    }
    answer.ok = true;
    answer.error = ERROR_SUCCESS;
    answer.returned = writeHeader(out, outSize, dataBytes, SMART_NO_ERROR, 0) + dataBytes;
    return answer;
}

}  // namespace platform::linux
