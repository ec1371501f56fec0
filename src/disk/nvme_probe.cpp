#include "disk/nvme_probe.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "platform/storage_query.h"

namespace disk {
namespace {

using platform::DWORD;

constexpr DWORD kLogOffset = 0;  // the sub-value of a log page request: where in the log to start
constexpr std::size_t kIdentifySerial = 4, kIdentifyModel = 24, kIdentifyFirmware = 64;
constexpr std::size_t kIdentifyWarningTemperature = 266, kIdentifyCriticalTemperature = 268;

// One request buffer: query header, protocol data and room for the answer's data.
template <DWORD DataBytes>
using QueryBuffer = std::array<std::uint8_t, platform::kStorageQueryDataStart + DataBytes>;

enum class QueryResult { Answered, Failed, Invalid };

// Sends one protocol-specific query and checks that the answer describes at least DataBytes of
// data inside the buffer. On Answered the data starts at kStorageQueryDataStart.
template <DWORD DataBytes>
QueryResult Query(DriveAccess& access, platform::Handle handle, QueryBuffer<DataBytes>& buffer, DWORD property,
                  DWORD dataType, DWORD requestValue, DWORD subValue) {
    buffer.fill(0);
    platform::STORAGE_PROPERTY_QUERY_HEADER header{property, platform::PropertyStandardQuery};
    platform::STORAGE_PROTOCOL_SPECIFIC_DATA protocol{};
    protocol.ProtocolType = platform::ProtocolTypeNvme;
    protocol.DataType = dataType;
    protocol.ProtocolDataRequestValue = requestValue;
    protocol.ProtocolDataRequestSubValue = subValue;
    protocol.ProtocolDataOffset = platform::kStorageProtocolDataOffset;
    protocol.ProtocolDataLength = DataBytes;
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, &protocol, sizeof protocol);

    std::uint32_t returned = 0;
    const auto size = static_cast<std::uint32_t>(buffer.size());
    if (!access.QueryProperty(handle, buffer.data(), size, buffer.data(), size, returned)) return QueryResult::Failed;

    // Trust nothing the answer says about itself: the data must be where it was asked to be,
    // as long as asked, and actually returned.
    platform::STORAGE_PROTOCOL_DATA_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, buffer.data(), sizeof descriptor);
    const platform::STORAGE_PROTOCOL_SPECIFIC_DATA& answer = descriptor.ProtocolSpecificData;
    const bool valid = returned == size && descriptor.Version == sizeof descriptor &&
                       descriptor.Size == sizeof descriptor &&
                       answer.ProtocolDataOffset == platform::kStorageProtocolDataOffset &&
                       answer.ProtocolDataLength >= DataBytes;
    return valid ? QueryResult::Answered : QueryResult::Invalid;
}

// An identify text: printable ASCII up to the first zero byte, blanks trimmed, anything else
// shown as '?'; written at the record's text offset with a terminator when shorter than width.
void PutIdentifyText(std::uint8_t* identify, std::size_t offset, std::size_t width, const std::uint8_t* source,
                     std::size_t sourceWidth) {
    std::size_t end = 0;
    while (end < sourceWidth && source[end] != 0) ++end;
    std::size_t begin = 0;
    while (begin < end && source[begin] == ' ') ++begin;
    while (end > begin && source[end - 1] == ' ') --end;
    std::uint8_t* field = identify + offset;
    std::memset(field, 0, width);
    for (std::size_t i = 0; begin + i < end && i < width; ++i) {
        const std::uint8_t c = source[begin + i];
        field[i] = c >= 0x20 && c < 0x7F ? c : '?';
    }
}

}  // namespace

bool ProbeNvmeDrive(DriveAccess& access, platform::Handle handle, DriveTable& table, int n) {
    QueryBuffer<platform::kNvmeIdentifyBytes> identify;
    if (Query<platform::kNvmeIdentifyBytes>(access, handle, identify, platform::StorageAdapterProtocolSpecificProperty,
                                            platform::NVMeDataTypeIdentify, platform::NVME_IDENTIFY_CNS_CONTROLLER,
                                            0) != QueryResult::Answered) {
        // Like an ATA drive that loses its index entries, a drive that no longer answers keeps
        // its texts but shows no health.
        table.DriveAt(n).nvmeHealthRead = false;
        return false;
    }

    PhysicalDrive& drive = table.DriveAt(n);
    table.ClearIndexOf(n);
    drive.transport = Transport::Nvme;
    drive.versionInfo = {};
    drive.attributeCount = 0;
    drive.number = static_cast<std::uint8_t>(n);
    drive.errorText.clear();
    std::memset(drive.identify, 0, sizeof drive.identify);
    const std::uint8_t* data = identify.data() + platform::kStorageQueryDataStart;
    PutIdentifyText(drive.identify, kModelOffset, kModelWidth, data + kIdentifyModel, 40);
    PutIdentifyText(drive.identify, kSerialOffset, kSerialWidth, data + kIdentifySerial, 20);
    PutIdentifyText(drive.identify, kFirmwareOffset, kFirmwareWidth, data + kIdentifyFirmware, 8);
    drive.nvmeWarningKelvin = static_cast<std::uint16_t>(data[kIdentifyWarningTemperature] |
                                                         (data[kIdentifyWarningTemperature + 1] << 8));
    drive.nvmeCriticalKelvin = static_cast<std::uint16_t>(data[kIdentifyCriticalTemperature] |
                                                          (data[kIdentifyCriticalTemperature + 1] << 8));

    // A health log that cannot be read leaves no health at all, never the previous probe's.
    drive.nvmeHealthRead = false;
    drive.nvme = NvmeHealth{};
    QueryBuffer<platform::kNvmeHealthLogBytes> log;
    const QueryResult result =
        Query<platform::kNvmeHealthLogBytes>(access, handle, log, platform::StorageDeviceProtocolSpecificProperty,
                                             platform::NVMeDataTypeLogPage, platform::NVME_LOG_PAGE_HEALTH_INFO,
                                             kLogOffset);
    if (result == QueryResult::Answered) {
        drive.nvme = DecodeNvmeHealthLog(log.data() + platform::kStorageQueryDataStart);
        drive.nvmeHealthRead = true;
    } else {
        char text[80];
        if (result == QueryResult::Failed)
            std::snprintf(text, sizeof text, "Error %d in reading the NVMe health log",
                          static_cast<int>(access.LastError()));
        else
            std::snprintf(text, sizeof text, "The NVMe health log answer is incomplete");
        drive.errorText = text;
    }
    return true;
}

}  // namespace disk
