#include "platform/linux/nvme_passthrough.h"

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
    const bool healthLog = query.PropertyId == StorageDeviceProtocolSpecificProperty &&
                           protocol.DataType == NVMeDataTypeLogPage &&
                           protocol.ProtocolDataRequestValue == NVME_LOG_PAGE_HEALTH_INFO &&
                           protocol.ProtocolDataRequestSubValue == 0;
    if (query.QueryType != PropertyStandardQuery || protocol.ProtocolType != ProtocolTypeNvme || (!identify && !healthLog))
        return refuse(ERROR_NOT_SUPPORTED);
    const DWORD dataBytes = identify ? kNvmeIdentifyBytes : kNvmeHealthLogBytes;
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
        // The health log of the whole controller; NUMD counts dwords less one.
        command.opcode = kAdminGetLogPage;
        command.nsid = kAllNamespaces;
        command.cdw10 = ((dataBytes / 4 - 1) << 16) | NVME_LOG_PAGE_HEALTH_INFO;
    }
    const int status = ioctl(fd, NVME_IOCTL_ADMIN_CMD, &command);
    if (status < 0) {
        const int error = errno;
        if (error == ENOTTY || error == EINVAL) return refuse(ERROR_INVALID_FUNCTION);
        return refuse(windowsErrorFromErrno(error));
    }
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

}  // namespace platform::linux
