#include "disk/self_test.h"

#include <algorithm>
#include <cstring>

#include "disk/nvme_health.h"
#include "platform/storage_query.h"

namespace disk {
namespace {

using platform::BYTE;
using platform::DWORD;

constexpr DWORD kPageOutputSize = platform::kSendCmdOutHeaderSize + 512;
constexpr DWORD kNoDataOutputSize = platform::kSendCmdOutHeaderSize + 1;
constexpr BYTE kDriveHead = 0xA0;
constexpr int kAtaInProgress = 15;
constexpr std::size_t kNvmeLogEntries = 20;
constexpr std::size_t kNvmeEntryBytes = 28;
constexpr int kNvmeShortMinutes = 2;  // the NVMe standard's limit for a short test

std::uint64_t little(const std::uint8_t* at, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes; i-- > 0;) value = value << 8 | at[i];
    return value;
}

// One S.M.A.R.T. request (B0h with its 4Fh/C2h signature); data lands after the header in out.
bool SmartRequest(DriveAccess& access, platform::Handle handle, int driveNumber, DWORD code, BYTE features,
                  BYTE lbaLow, std::uint8_t* out, DWORD outSize) {
    platform::SENDCMDINPARAMS request;
    std::memset(&request, 0, sizeof request);
    request.cBufferSize = code == platform::SMART_RCV_DRIVE_DATA ? 512 : 0;
    request.irDriveRegs.bFeaturesReg = features;
    request.irDriveRegs.bSectorCountReg = 1;
    request.irDriveRegs.bSectorNumberReg = lbaLow;
    request.irDriveRegs.bCylLowReg = platform::SMART_CYL_LOW;
    request.irDriveRegs.bCylHighReg = platform::SMART_CYL_HI;
    request.irDriveRegs.bDriveHeadReg = kDriveHead;
    request.irDriveRegs.bCommandReg = platform::ATA_SMART_CMD;
    request.bDriveNumber = static_cast<BYTE>(driveNumber);
    std::memset(out, 0, outSize);
    return access.SendSmart(handle, code, &request, sizeof request, out, outSize);
}

// A buffer for one NVMe query: header, protocol data, and the largest page read here.
using NvmeBuffer = std::array<std::uint8_t, platform::kStorageQueryDataStart + platform::kNvmeIdentifyBytes>;

// One NVMe query of dataBytes; true when the answer describes that much data where it was
// asked for. The data then starts at kStorageQueryDataStart.
bool NvmeQuery(DriveAccess& access, platform::Handle handle, NvmeBuffer& buffer, DWORD property, DWORD dataType,
               DWORD value, DWORD dataBytes) {
    buffer.fill(0);
    const platform::STORAGE_PROPERTY_QUERY_HEADER header{property, platform::PropertyStandardQuery};
    platform::STORAGE_PROTOCOL_SPECIFIC_DATA protocol{};
    protocol.ProtocolType = platform::ProtocolTypeNvme;
    protocol.DataType = dataType;
    protocol.ProtocolDataRequestValue = value;
    protocol.ProtocolDataOffset = platform::kStorageProtocolDataOffset;
    protocol.ProtocolDataLength = dataBytes;
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, &protocol, sizeof protocol);
    const DWORD size = platform::kStorageQueryDataStart + dataBytes;
    std::uint32_t returned = 0;
    if (!access.QueryProperty(handle, buffer.data(), size, buffer.data(), size, returned)) return false;
    platform::STORAGE_PROTOCOL_DATA_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, buffer.data(), sizeof descriptor);
    return returned == size && descriptor.Version == sizeof descriptor &&
           descriptor.ProtocolSpecificData.ProtocolDataOffset == platform::kStorageProtocolDataOffset &&
           descriptor.ProtocolSpecificData.ProtocolDataLength >= dataBytes;
}

bool NvmeLog(DriveAccess& access, platform::Handle handle, NvmeBuffer& buffer, DWORD page, DWORD bytes) {
    return NvmeQuery(access, handle, buffer, platform::StorageDeviceProtocolSpecificProperty,
                     platform::NVMeDataTypeLogPage, page, bytes);
}

bool NvmeSelfTestCommand(DriveAccess& access, platform::Handle handle, DWORD code) {
    std::array<std::uint8_t, platform::kStorageProtocolCommandBytes> buffer{};
    platform::STORAGE_PROTOCOL_COMMAND_HEADER header{};
    header.Version = platform::STORAGE_PROTOCOL_STRUCTURE_VERSION;
    header.Length = platform::kStorageProtocolCommandLength;
    header.ProtocolType = platform::ProtocolTypeNvme;
    header.Flags = platform::STORAGE_PROTOCOL_COMMAND_FLAG_ADAPTER_REQUEST;
    header.CommandLength = platform::STORAGE_PROTOCOL_COMMAND_LENGTH_NVME;
    header.TimeOutValue = 10;
    header.CommandSpecific = platform::STORAGE_PROTOCOL_SPECIFIC_NVME_ADMIN_COMMAND;
    platform::NVME_COMMAND_DWORDS command{};
    command.CDW0 = platform::NVME_ADMIN_DEVICE_SELF_TEST;
    command.NSID = platform::NVME_ALL_NAMESPACES;
    command.CDW10 = code;
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, &command, sizeof command);
    const auto size = static_cast<std::uint32_t>(buffer.size());
    return access.ProtocolCommand(handle, buffer.data(), size, buffer.data(), size);
}

SelfTestState ReadNvmeState(DriveAccess& access, platform::Handle handle) {
    SelfTestState state;
    state.transport = Transport::Nvme;
    NvmeBuffer buffer;
    if (!NvmeQuery(access, handle, buffer, platform::StorageAdapterProtocolSpecificProperty,
                   platform::NVMeDataTypeIdentify, platform::NVME_IDENTIFY_CNS_CONTROLLER, platform::kNvmeIdentifyBytes))
        return state;
    state.smart = true;
    const std::uint8_t* identify = buffer.data() + platform::kStorageQueryDataStart;
    // OACS bit 4: the controller runs Device Self-test; EDSTT: the extended test's minutes.
    const bool selfTests = (identify[256] & 0x10) != 0;
    state.supported = {selfTests, selfTests, false};
    state.minutes = {selfTests ? kNvmeShortMinutes : 0, selfTests ? static_cast<int>(little(identify + 316, 2)) : 0, 0};
    if (!selfTests) {
        state.stateRead = true;
        return state;
    }
    if (NvmeLog(access, handle, buffer, platform::NVME_LOG_PAGE_DEVICE_SELF_TEST, platform::kNvmeSelfTestLogBytes)) {
        DecodeNvmeSelfTestLog(buffer.data() + platform::kStorageQueryDataStart, &state, nullptr);
        state.stateRead = true;
    }
    return state;
}

}  // namespace

void DecodeAtaSelfTestBytes(const std::uint8_t* smartData, SelfTestState& state) {
    const std::uint8_t execution = smartData[363];
    const std::uint8_t capability = smartData[367];
    // Bit 0: EXECUTE OFF-LINE IMMEDIATE; bit 4: self-tests; bit 5: the conveyance test.
    const bool execute = (capability & 0x01) != 0;
    const bool selfTests = execute && (capability & 0x10) != 0;
    state.supported = {selfTests, selfTests, execute && (capability & 0x20) != 0};
    const int extended = smartData[373] == 0xFF ? static_cast<int>(little(smartData + 375, 2)) : smartData[373];
    state.minutes = {state.supported[0] ? smartData[372] : 0, state.supported[1] ? extended : 0,
                     state.supported[2] ? smartData[374] : 0};
    const int status = execution >> 4;
    state.running = status == kAtaInProgress;
    state.remainingPercent = (execution & 0x0F) * 10;
    state.lastStatus = state.running ? -1 : status;
}

void DecodeAtaSelfTestLog(const std::uint8_t* page, DriveLogs& logs) {
    logs.selfTestCount = 0;
    // A circular buffer of 21 descriptors; byte 508 is the newest one's number (1..21). Walk
    // back from it and keep every descriptor that holds anything.
    const int newest = page[508];
    for (int i = kSelfTestLogEntries - 1; i >= 0; --i) {
        const int slot = (i + newest) % kSelfTestLogEntries;
        const std::uint8_t* d = page + 2 + 24 * slot;
        if (std::all_of(d, d + 24, [](std::uint8_t b) { return b == 0; })) continue;
        SelfTestEntry& e = logs.selfTests[static_cast<std::size_t>(logs.selfTestCount++)];
        e.type = d[0];
        e.statusCode = d[1] >> 4;
        e.remainingPercent = (d[1] & 0x0F) * 10;
        e.powerOnHours = little(d + 2, 2);
        const std::uint64_t lba = little(d + 5, 4);
        e.hasLba = e.statusCode >= 3 && e.statusCode <= 8 && lba != 0xFFFFFFFFu;
        e.lba = e.hasLba ? lba : 0;
    }
}

void DecodeAtaErrorLog(const std::uint8_t* page, DriveLogs& logs) {
    logs.errorCount = little(page + 452, 2);
    logs.errorEntries = 0;
    // Five error structures of 90 bytes in a circular buffer; byte 1 names the newest (0: none).
    const int newest = page[1];
    if (newest < 1 || newest > 5) return;
    for (int i = 0; i < 5; ++i) {
        const int slot = ((newest - 1 - i) % 5 + 5) % 5;
        const std::uint8_t* structure = page + 2 + 90 * slot;
        if (std::all_of(structure, structure + 90, [](std::uint8_t b) { return b == 0; })) continue;
        const std::uint8_t* error = structure + 60;
        DriveErrorEntry& e = logs.errors[static_cast<std::size_t>(logs.errorEntries++)];
        e.hasHours = true;
        e.powerOnHours = little(error + 28, 2);
        e.lba = little(error + 3, 3) | std::uint64_t{error[6] & 0x0Fu} << 24;
        e.status = error[1];
    }
}

void DecodeNvmeSelfTestLog(const std::uint8_t* page, SelfTestState* state, DriveLogs* logs) {
    if (state != nullptr) {
        state->running = (page[0] & 0x0F) != 0;
        state->remainingPercent = state->running ? 100 - std::min(100, page[1] & 0x7F) : 0;
    }
    if (logs == nullptr) return;
    logs->selfTestCount = 0;
    for (std::size_t i = 0; i < kNvmeLogEntries; ++i) {
        const std::uint8_t* d = page + 4 + kNvmeEntryBytes * i;
        if ((d[0] & 0x0F) == 0x0F) continue;  // entry not used
        SelfTestEntry& e = logs->selfTests[static_cast<std::size_t>(logs->selfTestCount++)];
        e.type = d[0] >> 4;
        e.statusCode = d[0] & 0x0F;
        e.remainingPercent = -1;
        e.powerOnHours = little(d + 4, 8);
        e.hasLba = (d[2] & 0x02) != 0;
        e.lba = e.hasLba ? little(d + 16, 8) : 0;
    }
}

void DecodeNvmeErrorLog(const std::uint8_t* page, int entries, DriveLogs& logs) {
    logs.errorEntries = 0;
    for (int i = 0; i < entries && i < kErrorLogEntries; ++i) {
        const std::uint8_t* d = page + 64 * i;
        if (little(d, 8) == 0) continue;  // an error count of 0 marks an empty entry
        DriveErrorEntry& e = logs.errors[static_cast<std::size_t>(logs.errorEntries++)];
        e.hasHours = false;
        e.lba = little(d + 16, 8);
        e.status = static_cast<std::uint32_t>(little(d + 12, 2));
    }
}

SelfTestState ReadSelfTestState(DriveAccess& access, platform::Handle handle, int driveNumber) {
    platform::GETVERSIONINPARAMS version;
    std::memset(&version, 0, sizeof version);
    if (!access.SendSmart(handle, platform::SMART_GET_VERSION, nullptr, 0, &version, sizeof version))
        return ReadNvmeState(access, handle);
    SelfTestState state;
    state.transport = Transport::Ata;
    if ((version.fCapabilities & platform::CAP_SMART_CMD) == 0) return state;
    std::uint8_t out[kPageOutputSize];
    if (!SmartRequest(access, handle, driveNumber, platform::SMART_RCV_DRIVE_DATA, platform::SMART_READ_DATA, 1, out,
                      sizeof out)) {
        // A drive that rejects READ DATA has no usable S.M.A.R.T. for this purpose.
        state.smart = access.LastError() != platform::ERROR_INVALID_FUNCTION;
        return state;
    }
    state.smart = true;
    state.stateRead = true;
    DecodeAtaSelfTestBytes(out + platform::kSendCmdOutHeaderSize, state);
    return state;
}

StartResult StartSelfTest(DriveAccess& access, platform::Handle handle, int driveNumber, const SelfTestState& state,
                          SelfTestKind kind) {
    const auto index = static_cast<std::size_t>(kind) - 1;
    if (!state.smart || !state.supported[index]) return StartResult::Unsupported;
    if (state.running) return StartResult::Busy;
    if (state.transport == Transport::Nvme)
        return NvmeSelfTestCommand(access, handle, static_cast<DWORD>(kind)) ? StartResult::Started
                                                                               : StartResult::Failed;
    std::uint8_t out[kNoDataOutputSize];
    const bool sent = SmartRequest(access, handle, driveNumber, platform::SMART_SEND_DRIVE_COMMAND,
                                   platform::SMART_EXECUTE_OFFLINE_IMMEDIATE, static_cast<BYTE>(kind), out, sizeof out);
    return sent ? StartResult::Started : StartResult::Failed;
}

bool AbortSelfTest(DriveAccess& access, platform::Handle handle, int driveNumber, const SelfTestState& state) {
    if (state.transport == Transport::Nvme)
        return NvmeSelfTestCommand(access, handle, platform::NVME_SELF_TEST_ABORT);
    std::uint8_t out[kNoDataOutputSize];
    return SmartRequest(access, handle, driveNumber, platform::SMART_SEND_DRIVE_COMMAND,
                        platform::SMART_EXECUTE_OFFLINE_IMMEDIATE, platform::SMART_ABORT_SELFTEST, out, sizeof out);
}

DriveLogs ReadDriveLogs(DriveAccess& access, platform::Handle handle, int driveNumber, const SelfTestState& state) {
    DriveLogs logs;
    if (!state.smart) return logs;
    if (state.transport == Transport::Ata) {
        std::uint8_t out[kPageOutputSize];
        const std::uint8_t* data = out + platform::kSendCmdOutHeaderSize;
        if (state.supported[0] && SmartRequest(access, handle, driveNumber, platform::SMART_RCV_DRIVE_DATA,
                                               platform::SMART_READ_LOG, platform::SMART_SELFTEST_LOG, out, sizeof out)) {
            logs.selfTestLogRead = true;
            DecodeAtaSelfTestLog(data, logs);
        }
        if (SmartRequest(access, handle, driveNumber, platform::SMART_RCV_DRIVE_DATA, platform::SMART_READ_LOG,
                         platform::SMART_SUMMARY_ERROR_LOG, out, sizeof out)) {
            logs.errorLogRead = true;
            DecodeAtaErrorLog(data, logs);
        }
        return logs;
    }
    NvmeBuffer buffer;
    const std::uint8_t* data = buffer.data() + platform::kStorageQueryDataStart;
    if (state.supported[0] &&
        NvmeLog(access, handle, buffer, platform::NVME_LOG_PAGE_DEVICE_SELF_TEST, platform::kNvmeSelfTestLogBytes)) {
        logs.selfTestLogRead = true;
        DecodeNvmeSelfTestLog(data, nullptr, &logs);
    }
    // The drive's error count is the health log's; the error log holds the newest entries.
    if (NvmeLog(access, handle, buffer, platform::NVME_LOG_PAGE_HEALTH_INFO, platform::kNvmeHealthLogBytes)) {
        const std::uint64_t count = DecodeNvmeHealthLog(data).errorLogEntries;
        if (NvmeLog(access, handle, buffer, platform::NVME_LOG_PAGE_ERROR_INFO,
                    kErrorLogEntries * platform::kNvmeErrorEntryBytes)) {
            logs.errorLogRead = true;
            logs.errorCount = count;
            DecodeNvmeErrorLog(data, kErrorLogEntries, logs);
        }
    }
    return logs;
}

}  // namespace disk
