#include "platform/linux/nvme_passthrough.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>

#include "platform/linux/errno_map.h"
#include "platform/storage_query.h"

namespace platform::linux {
namespace {

constexpr std::uint8_t kAdminGetLogPage = 0x02;
constexpr std::uint8_t kAdminIdentify = 0x06;
constexpr std::uint32_t kAllNamespaces = 0xFFFFFFFFu;

IoctlAnswer refuse(DWORD error) { return {false, error, 0}; }

IoctlAnswer nvmeStatusAnswer(int status) {
    if (status < 0) {
        const int error = errno;
        if (error == ENOTTY || error == EINVAL) return refuse(ERROR_INVALID_FUNCTION);
        return refuse(windowsErrorFromErrno(error));
    }
    return {true, ERROR_SUCCESS, 0};
}

}  // namespace

DWORD nvmeLogBytes(DWORD page, DWORD askedBytes) {
    if (page == NVME_LOG_PAGE_HEALTH_INFO) return kNvmeHealthLogBytes;
    if (page == NVME_LOG_PAGE_DEVICE_SELF_TEST) return kNvmeSelfTestLogBytes;
    // The error log in whole entries, newest first, up to the number this program reads.
    if (page == NVME_LOG_PAGE_ERROR_INFO && askedBytes >= kNvmeErrorEntryBytes)
        return std::min(askedBytes / kNvmeErrorEntryBytes, kNvmeErrorLogMaxEntries) * kNvmeErrorEntryBytes;
    return 0;
}

namespace {

}  // namespace

bool isNvmeNamespace(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return false;
    const char* name = std::strrchr(resolved, '/');
    name = name == nullptr ? resolved : name + 1;
    return std::strncmp(name, "nvme", 4) == 0;
}

IoctlAnswer nvmeQueryProperty(int fd, const void* in, DWORD inSize, void* out, DWORD outSize, std::uint8_t* scratch,
                              std::size_t scratchBytes) {
    if (in == nullptr || inSize < kStorageQueryDataStart) return refuse(ERROR_INVALID_PARAMETER);
    STORAGE_PROPERTY_QUERY_HEADER query;
    STORAGE_PROTOCOL_SPECIFIC_DATA protocol;
    std::memcpy(&query, in, sizeof query);
    std::memcpy(&protocol, static_cast<const std::uint8_t*>(in) + sizeof query, sizeof protocol);

    const bool identify = query.PropertyId == StorageAdapterProtocolSpecificProperty &&
                          protocol.DataType == NVMeDataTypeIdentify &&
                          protocol.ProtocolDataRequestValue == NVME_IDENTIFY_CNS_CONTROLLER;
    const bool logPage = query.PropertyId == StorageDeviceProtocolSpecificProperty &&
                         protocol.DataType == NVMeDataTypeLogPage && protocol.ProtocolDataRequestSubValue == 0;
    const DWORD page = protocol.ProtocolDataRequestValue;
    const bool knownLog = page == NVME_LOG_PAGE_HEALTH_INFO || page == NVME_LOG_PAGE_DEVICE_SELF_TEST ||
                          page == NVME_LOG_PAGE_ERROR_INFO;
    if (query.QueryType != PropertyStandardQuery || protocol.ProtocolType != ProtocolTypeNvme ||
        (!identify && !(logPage && knownLog)))
        return refuse(ERROR_NOT_SUPPORTED);
    const DWORD dataBytes = identify ? kNvmeIdentifyBytes : nvmeLogBytes(page, protocol.ProtocolDataLength);
    if (dataBytes == 0) return refuse(ERROR_NOT_SUPPORTED);
    const std::uint64_t end = std::uint64_t{sizeof query} + protocol.ProtocolDataOffset + dataBytes;
    if (out == nullptr || protocol.ProtocolDataOffset < sizeof protocol || protocol.ProtocolDataLength < dataBytes ||
        end > outSize)
        return refuse(ERROR_INSUFFICIENT_BUFFER);
    if (scratch == nullptr || scratchBytes < dataBytes) return refuse(ERROR_NOT_ENOUGH_MEMORY);

    std::memset(scratch, 0, dataBytes);
    nvme_admin_cmd command{};
    command.addr = reinterpret_cast<std::uintptr_t>(scratch);
    command.data_len = dataBytes;
    if (identify) {
        command.opcode = kAdminIdentify;
        command.cdw10 = NVME_IDENTIFY_CNS_CONTROLLER;
    } else {
        // A log of the whole controller from its start; NUMD counts dwords less one.
        command.opcode = kAdminGetLogPage;
        command.nsid = kAllNamespaces;
        command.cdw10 = ((dataBytes / 4 - 1) << 16) | page;
    }
    const int status = ioctl(fd, NVME_IOCTL_ADMIN_CMD, &command);
    if (status < 0) return nvmeStatusAnswer(status);
    // A positive answer is the command's NVMe status: the controller refused it.
    if (status > 0) return refuse(ERROR_IO_DEVICE);

    STORAGE_PROTOCOL_DATA_DESCRIPTOR descriptor{};
    descriptor.Version = sizeof descriptor;
    descriptor.Size = sizeof descriptor;
    descriptor.ProtocolSpecificData = protocol;
    descriptor.ProtocolSpecificData.ProtocolDataLength = dataBytes;
    auto* output = static_cast<std::uint8_t*>(out);
    std::memcpy(output + sizeof query + protocol.ProtocolDataOffset, scratch, dataBytes);
    std::memcpy(output, &descriptor, sizeof descriptor);
    return {true, ERROR_SUCCESS, static_cast<DWORD>(end)};
}

IoctlAnswer nvmeProtocolCommand(int fd, const void* in, DWORD inSize, void* out, DWORD outSize) {
    if (in == nullptr || inSize < kStorageProtocolCommandBytes) return refuse(ERROR_INVALID_PARAMETER);
    if (out == nullptr || outSize < kStorageProtocolCommandBytes) return refuse(ERROR_INSUFFICIENT_BUFFER);
    STORAGE_PROTOCOL_COMMAND_HEADER header;
    NVME_COMMAND_DWORDS sent;
    std::memcpy(&header, in, sizeof header);
    std::memcpy(&sent, static_cast<const std::uint8_t*>(in) + sizeof header, sizeof sent);
    const DWORD code = sent.CDW10 & 0xF;
    const bool selfTest = (sent.CDW0 & 0xFF) == NVME_ADMIN_DEVICE_SELF_TEST && (sent.CDW10 & ~DWORD{0xF}) == 0 &&
                          (code == NVME_SELF_TEST_SHORT || code == NVME_SELF_TEST_EXTENDED ||
                           code == NVME_SELF_TEST_ABORT);
    const bool wellFormed = header.Version == STORAGE_PROTOCOL_STRUCTURE_VERSION &&
                            header.Length == kStorageProtocolCommandLength && header.ProtocolType == ProtocolTypeNvme &&
                            header.CommandLength == STORAGE_PROTOCOL_COMMAND_LENGTH_NVME &&
                            header.CommandSpecific == STORAGE_PROTOCOL_SPECIFIC_NVME_ADMIN_COMMAND &&
                            header.DataToDeviceTransferLength == 0 && header.DataFromDeviceTransferLength == 0;
    if (!wellFormed || !selfTest) return refuse(ERROR_NOT_SUPPORTED);

    nvme_admin_cmd command{};
    command.opcode = NVME_ADMIN_DEVICE_SELF_TEST;
    command.nsid = sent.NSID;
    command.cdw10 = sent.CDW10;
    const int status = ioctl(fd, NVME_IOCTL_ADMIN_CMD, &command);
    if (status < 0) return nvmeStatusAnswer(status);
    // The controller's own status (type and code) goes back in ErrorCode, as Windows reports it.
    header.ReturnStatus = status == 0 ? STORAGE_PROTOCOL_STATUS_SUCCESS : STORAGE_PROTOCOL_STATUS_ERROR;
    header.ErrorCode = static_cast<DWORD>(status);
    header.FixedProtocolReturnData = command.result;
    auto* output = static_cast<std::uint8_t*>(out);
    if (output != in) std::memcpy(output + sizeof header, &sent, sizeof sent);
    std::memcpy(output, &header, sizeof header);
    if (status > 0) return {false, ERROR_IO_DEVICE, kStorageProtocolCommandBytes};
    return {true, ERROR_SUCCESS, kStorageProtocolCommandBytes};
}

}  // namespace platform::linux
