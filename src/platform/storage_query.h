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

}  // namespace platform
