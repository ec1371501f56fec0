#pragma once
// IOCTL_STORAGE_QUERY_PROPERTY for NVMe drives, answered with the kernel's NVMe admin
// pass-through (NVME_IOCTL_ADMIN_CMD on the namespace's block device). Only the two reads
// this program needs pass: Identify Controller and the SMART / Health Information log; every
// other query is refused before anything reaches the device.
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

}  // namespace platform::linux
