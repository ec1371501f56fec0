#pragma once
// Linux errno values translated to the Windows error codes the drive layer expects.
#include "platform/linux/linux_namespace.h"
#include "platform/win_types.h"

namespace platform::linux {

inline constexpr DWORD ERROR_DISK_FULL = 112;

// The Windows error code a caller of CreateFile/ReadFile/WriteFile would have seen for this
// errno; anything without a closer meaning is ERROR_GEN_FAILURE.
DWORD windowsErrorFromErrno(int error);

}  // namespace platform::linux
