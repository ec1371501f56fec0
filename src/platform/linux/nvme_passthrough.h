#pragma once
// IOCTL_STORAGE_QUERY_PROPERTY and IOCTL_STORAGE_PROTOCOL_COMMAND for NVMe drives, answered
// with the kernel's NVMe admin pass-through (NVME_IOCTL_ADMIN_CMD on the namespace's block
// device). Only what this program needs passes: Identify Controller, the SMART / Health
// Information, Device Self-test and Error Information logs, and Device Self-test with a short,
// extended or abort code; everything else is refused before anything reaches the device.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/linux/linux_namespace.h"
#include "platform/linux/smart_requests.h"
#include "platform/win_types.h"

namespace platform::linux {

// Whether the block device at path is an NVMe namespace (its kernel name is nvme*), following
// symbolic links such as /dev/disk/by-id/....
bool isNvmeNamespace(const std::string& path);

// Answers one query on an open NVMe namespace. in and out may be the same buffer. scratch
// (scratchBytes long, page aligned) receives the data from the device.
IoctlAnswer nvmeQueryProperty(int fd, const void* in, DWORD inSize, void* out, DWORD outSize, std::uint8_t* scratch,
                              std::size_t scratchBytes);

// The bytes read of an allowed log page when the caller offers askedBytes; 0 for a page
// that is not read.
DWORD nvmeLogBytes(DWORD page, DWORD askedBytes);

// Sends one Device Self-test command from a STORAGE_PROTOCOL_COMMAND (header and 64-byte
// command, no data); the answer carries the controller's status in ErrorCode.
IoctlAnswer nvmeProtocolCommand(int fd, const void* in, DWORD inSize, void* out, DWORD outSize);

}  // namespace platform::linux
