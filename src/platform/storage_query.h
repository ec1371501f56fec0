#pragma once
// Byte-exact layouts of IOCTL_STORAGE_QUERY_PROPERTY as it carries NVMe requests: a
// STORAGE_PROPERTY_QUERY whose additional parameters are a STORAGE_PROTOCOL_SPECIFIC_DATA
// naming the identify structure or the log page, followed by room for the data. The answer
// is a STORAGE_PROTOCOL_DATA_DESCRIPTOR whose protocol data points at the returned bytes.
// The same request with StorageAccessAlignmentProperty asks for the drive's sector sizes,
// answered by a STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR.
#include <cstddef>
#include <cstring>

#include "platform/win_types.h"

namespace platform {

#pragma pack(push, 1)
// STORAGE_PROPERTY_QUERY up to its AdditionalParameters.
struct STORAGE_PROPERTY_QUERY_HEADER {
    DWORD PropertyId;
    DWORD QueryType;
};

struct STORAGE_PROTOCOL_SPECIFIC_DATA {
    DWORD ProtocolType;
    DWORD DataType;
    DWORD ProtocolDataRequestValue;
    DWORD ProtocolDataRequestSubValue;
    DWORD ProtocolDataOffset;  // from the start of this structure
    DWORD ProtocolDataLength;
    DWORD FixedProtocolReturnData;
    DWORD ProtocolDataRequestSubValue2;
    DWORD ProtocolDataRequestSubValue3;
    DWORD ProtocolDataRequestSubValue4;
};

struct STORAGE_PROTOCOL_DATA_DESCRIPTOR {
    DWORD Version;  // sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR)
    DWORD Size;     // sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR)
    STORAGE_PROTOCOL_SPECIFIC_DATA ProtocolSpecificData;
};

struct STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR {
    DWORD Version;  // sizeof(STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR)
    DWORD Size;     // sizeof(STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR)
    DWORD BytesPerCacheLine;
    DWORD BytesOffsetForCacheAlignment;
    DWORD BytesPerLogicalSector;
    DWORD BytesPerPhysicalSector;
    DWORD BytesOffsetForSectorAlignment;  // bytes from the drive's start to its first physical sector boundary
};
#pragma pack(pop)

static_assert(sizeof(STORAGE_PROPERTY_QUERY_HEADER) == 8);
static_assert(sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) == 40);
static_assert(sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR) == 48);
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData) ==
              sizeof(STORAGE_PROPERTY_QUERY_HEADER));
static_assert(sizeof(STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR) == 28);

inline constexpr DWORD IOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400;

// STORAGE_PROPERTY_ID and STORAGE_QUERY_TYPE values.
inline constexpr DWORD StorageAccessAlignmentProperty = 6;
inline constexpr DWORD StorageAdapterProtocolSpecificProperty = 49;
inline constexpr DWORD StorageDeviceProtocolSpecificProperty = 50;
inline constexpr DWORD PropertyStandardQuery = 0;

// STORAGE_PROTOCOL_TYPE and the NVMe data types.
inline constexpr DWORD ProtocolTypeNvme = 3;
inline constexpr DWORD NVMeDataTypeIdentify = 1;
inline constexpr DWORD NVMeDataTypeLogPage = 2;

// The NVMe structures this program asks for.
inline constexpr DWORD NVME_IDENTIFY_CNS_CONTROLLER = 1;
inline constexpr DWORD NVME_LOG_PAGE_HEALTH_INFO = 2;
inline constexpr DWORD kNvmeIdentifyBytes = 4096;
inline constexpr DWORD kNvmeHealthLogBytes = 512;
inline constexpr DWORD NVME_LOG_PAGE_ERROR_INFO = 1;
inline constexpr DWORD NVME_LOG_PAGE_DEVICE_SELF_TEST = 6;
inline constexpr DWORD kNvmeSelfTestLogBytes = 564;
inline constexpr DWORD kNvmeErrorEntryBytes = 64;
inline constexpr DWORD kNvmeErrorLogMaxEntries = 16;  // the newest entries read at most

// sizeof(STORAGE_PROPERTY_QUERY): the header and one byte of additional parameters, padded.
inline constexpr DWORD kStoragePropertyQueryBytes = 12;

// Request and answer share one buffer shape: the 8-byte query header (the descriptor's
// Version and Size in the answer), the 40-byte protocol data, then the data itself.
inline constexpr DWORD kStorageProtocolDataOffset = sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA);
inline constexpr DWORD kStorageQueryDataStart =
    sizeof(STORAGE_PROPERTY_QUERY_HEADER) + sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA);  // 48

// Whether a request asks for the standard StorageAccessAlignmentProperty answer.
inline bool IsAlignmentQuery(const void* in, DWORD inSize) {
    if (in == nullptr || inSize < sizeof(STORAGE_PROPERTY_QUERY_HEADER)) return false;
    STORAGE_PROPERTY_QUERY_HEADER query;
    std::memcpy(&query, in, sizeof query);
    return query.PropertyId == StorageAccessAlignmentProperty && query.QueryType == PropertyStandardQuery;
}

// The alignment answer for the given sizes, written to out; false when out is too small.
inline bool WriteAlignmentAnswer(DWORD logicalBytes, DWORD physicalBytes, DWORD alignmentBytes, void* out,
                                 DWORD outSize) {
    if (out == nullptr || outSize < sizeof(STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR)) return false;
    STORAGE_ACCESS_ALIGNMENT_DESCRIPTOR answer{};
    answer.Version = sizeof answer;
    answer.Size = sizeof answer;
    answer.BytesPerCacheLine = 64;
    answer.BytesPerLogicalSector = logicalBytes;
    answer.BytesPerPhysicalSector = physicalBytes;
    answer.BytesOffsetForSectorAlignment = alignmentBytes;
    std::memcpy(out, &answer, sizeof answer);
    return true;
}
// IOCTL_STORAGE_PROTOCOL_COMMAND: one NVMe admin command in a STORAGE_PROTOCOL_COMMAND whose
// 64-byte submission queue entry follows the 80-byte header. This program sends only Device
// Self-test (opcode 14h) with code 1h, 2h or Fh, and no data.
#pragma pack(push, 1)
struct STORAGE_PROTOCOL_COMMAND_HEADER {
    DWORD Version;  // STORAGE_PROTOCOL_STRUCTURE_VERSION
    DWORD Length;   // sizeof(STORAGE_PROTOCOL_COMMAND): 84
    DWORD ProtocolType;
    DWORD Flags;
    DWORD ReturnStatus;
    DWORD ErrorCode;
    DWORD CommandLength;
    DWORD ErrorInfoLength;
    DWORD DataToDeviceTransferLength;
    DWORD DataFromDeviceTransferLength;
    DWORD TimeOutValue;
    DWORD ErrorInfoOffset;
    DWORD DataToDeviceBufferOffset;
    DWORD DataFromDeviceBufferOffset;
    DWORD CommandSpecific;
    DWORD Reserved0;
    DWORD FixedProtocolReturnData;
    DWORD Reserved1[3];
};

// The part of an NVMe submission queue entry a Device Self-test uses.
struct NVME_COMMAND_DWORDS {
    DWORD CDW0;  // opcode in bits 7:0
    DWORD NSID;
    DWORD Reserved[8];
    DWORD CDW10;
    DWORD CDW11;
    DWORD CDW12;
    DWORD CDW13;
    DWORD CDW14;
    DWORD CDW15;
};
#pragma pack(pop)

static_assert(sizeof(STORAGE_PROTOCOL_COMMAND_HEADER) == 80);
static_assert(sizeof(NVME_COMMAND_DWORDS) == 64);

inline constexpr DWORD IOCTL_STORAGE_PROTOCOL_COMMAND = 0x002DD3C0;
inline constexpr DWORD STORAGE_PROTOCOL_STRUCTURE_VERSION = 1;
inline constexpr DWORD kStorageProtocolCommandLength = 84;
inline constexpr DWORD STORAGE_PROTOCOL_COMMAND_LENGTH_NVME = 0x40;
inline constexpr DWORD STORAGE_PROTOCOL_SPECIFIC_NVME_ADMIN_COMMAND = 1;
inline constexpr DWORD STORAGE_PROTOCOL_COMMAND_FLAG_ADAPTER_REQUEST = 0x80000000u;
inline constexpr DWORD STORAGE_PROTOCOL_STATUS_SUCCESS = 1;
inline constexpr DWORD STORAGE_PROTOCOL_STATUS_ERROR = 2;
inline constexpr DWORD STORAGE_PROTOCOL_STATUS_NOT_SUPPORTED = 0xFF;
inline constexpr DWORD kStorageProtocolCommandBytes = 80 + 64;  // header and command, no data

inline constexpr BYTE NVME_ADMIN_DEVICE_SELF_TEST = 0x14;
inline constexpr DWORD NVME_SELF_TEST_SHORT = 0x1;
inline constexpr DWORD NVME_SELF_TEST_EXTENDED = 0x2;
inline constexpr DWORD NVME_SELF_TEST_ABORT = 0xF;
inline constexpr DWORD NVME_ALL_NAMESPACES = 0xFFFFFFFFu;

}  // namespace platform
