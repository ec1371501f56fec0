// The NVMe pass-through lets exactly two reads through to the device: Identify Controller and
// the health log from its start. On /dev/null a request that passes reaches the ioctl (which
// fails with ERROR_INVALID_FUNCTION); one that is refused never gets there.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/linux/nvme_passthrough.h"
#include "platform/storage_query.h"

using namespace platform;

namespace {

struct Request {
    const char* what;
    DWORD property, protocol, dataType, value, subValue, length;
    DWORD expected;  // ERROR_INVALID_FUNCTION: passed on to the device
};

TEST(NvmePassthrough, OnlyIdentifyControllerAndTheHealthLogReachTheDevice) {
    const Request requests[] = {
        {"identify controller", StorageAdapterProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeIdentify, 1, 0,
         4096, ERROR_INVALID_FUNCTION},
        {"health log", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 2, 0, 512,
         ERROR_INVALID_FUNCTION},
        {"identify namespace", StorageAdapterProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeIdentify, 0, 0,
         4096, ERROR_NOT_SUPPORTED},
        {"error log", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 1, 0, 512,
         ERROR_NOT_SUPPORTED},
        {"health log past its start", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 2,
         8, 512, ERROR_NOT_SUPPORTED},
        {"feature", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, 3, 2, 0, 512, ERROR_NOT_SUPPORTED},
        {"ATA protocol", StorageDeviceProtocolSpecificProperty, 2, NVMeDataTypeLogPage, 2, 0, 512,
         ERROR_NOT_SUPPORTED},
        {"health log into a short buffer", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme,
         NVMeDataTypeLogPage, 2, 0, 256, ERROR_INSUFFICIENT_BUFFER},
    };
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::vector<std::uint8_t> scratch(4096);
    for (const Request& r : requests) {
        SCOPED_TRACE(r.what);
        std::vector<std::uint8_t> buffer(kStorageQueryDataStart + r.length, 0);
        const STORAGE_PROPERTY_QUERY_HEADER header{r.property, PropertyStandardQuery};
        STORAGE_PROTOCOL_SPECIFIC_DATA protocol{};
        protocol.ProtocolType = r.protocol;
        protocol.DataType = r.dataType;
        protocol.ProtocolDataRequestValue = r.value;
        protocol.ProtocolDataRequestSubValue = r.subValue;
        protocol.ProtocolDataOffset = sizeof protocol;
        protocol.ProtocolDataLength = r.length;
        std::memcpy(buffer.data(), &header, sizeof header);
        std::memcpy(buffer.data() + sizeof header, &protocol, sizeof protocol);
        const auto size = static_cast<DWORD>(buffer.size());
        const linux::IoctlAnswer answer = linux::nvmeQueryProperty(fd, buffer.data(), size, buffer.data(), size,
                                                                   scratch.data(), scratch.size());
        EXPECT_FALSE(answer.ok);
        EXPECT_EQ(answer.error, r.expected);
    }
    close(fd);
}

}  // namespace
