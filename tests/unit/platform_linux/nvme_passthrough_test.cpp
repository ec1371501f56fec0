// The NVMe pass-through lets through to the device exactly Identify Controller, the health,
// self-test and error logs from their start, and Device Self-test with a short, extended or
// abort code. On /dev/null a request that passes reaches the ioctl (which
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

TEST(NvmePassthrough, OnlyTheRequestsTheProgramSendsReachTheDevice) {
    const Request requests[] = {
        {"identify controller", StorageAdapterProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeIdentify, 1, 0,
         4096, ERROR_INVALID_FUNCTION},
        {"health log", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 2, 0, 512,
         ERROR_INVALID_FUNCTION},
        {"identify namespace", StorageAdapterProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeIdentify, 0, 0,
         4096, ERROR_NOT_SUPPORTED},
        {"error log", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 1, 0, 512,
         ERROR_INVALID_FUNCTION},
        {"error log smaller than one entry", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme,
         NVMeDataTypeLogPage, 1, 0, 32, ERROR_NOT_SUPPORTED},
        {"self-test log", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 6, 0, 564,
         ERROR_INVALID_FUNCTION},
        {"self-test log into a short buffer", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme,
         NVMeDataTypeLogPage, 6, 0, 512, ERROR_INSUFFICIENT_BUFFER},
        {"firmware slot log", StorageDeviceProtocolSpecificProperty, ProtocolTypeNvme, NVMeDataTypeLogPage, 3, 0, 512,
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

    // Device Self-test: only opcode 14h with code 1h, 2h or Fh and nothing else in CDW10.
    std::vector<DWORD> passed;
    for (const DWORD opcode : {DWORD{0x14}, DWORD{0x80}, DWORD{0x04}}) {
        for (DWORD cdw10 = 0; cdw10 < 0x20; ++cdw10) {
            std::vector<std::uint8_t> buffer(kStorageProtocolCommandBytes, 0);
            STORAGE_PROTOCOL_COMMAND_HEADER header{};
            header.Version = STORAGE_PROTOCOL_STRUCTURE_VERSION;
            header.Length = kStorageProtocolCommandLength;
            header.ProtocolType = ProtocolTypeNvme;
            header.CommandLength = STORAGE_PROTOCOL_COMMAND_LENGTH_NVME;
            header.CommandSpecific = STORAGE_PROTOCOL_SPECIFIC_NVME_ADMIN_COMMAND;
            NVME_COMMAND_DWORDS command{};
            command.CDW0 = opcode;
            command.NSID = NVME_ALL_NAMESPACES;
            command.CDW10 = cdw10;
            std::memcpy(buffer.data(), &header, sizeof header);
            std::memcpy(buffer.data() + sizeof header, &command, sizeof command);
            const auto size = static_cast<DWORD>(buffer.size());
            const linux::IoctlAnswer answer =
                linux::nvmeProtocolCommand(fd, buffer.data(), size, buffer.data(), size);
            EXPECT_FALSE(answer.ok);
            if (answer.error == ERROR_INVALID_FUNCTION) passed.push_back(opcode << 8 | cdw10);
        }
    }
    EXPECT_EQ(passed, (std::vector<DWORD>{0x1401, 0x1402, 0x140F}));
    close(fd);
}

}  // namespace
