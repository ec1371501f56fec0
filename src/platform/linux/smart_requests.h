#pragma once
// The Windows S.M.A.R.T. requests (SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND,
// SMART_RCV_DRIVE_DATA) answered with ATA commands on an AtaChannel, with input and output
// buffers in the published layouts. Exactly the five commands the program sends are passed on
// (IDENTIFY DEVICE, CHECK POWER MODE, and the S.M.A.R.T. features ENABLE OPERATIONS, READ DATA
// and READ THRESHOLDS); any other command or feature is refused before it reaches the device.
#include <cstddef>
#include <cstdint>

#include "platform/linux/ata_passthrough.h"
#include "platform/linux/linux_namespace.h"
#include "platform/win_types.h"

namespace platform::linux {

// DRIVERSTATUS.bDriverError values.
inline constexpr BYTE SMART_NO_ERROR = 0;
inline constexpr BYTE SMART_IDE_ERROR = 1;
inline constexpr BYTE SMART_INVALID_COMMAND = 3;
inline constexpr BYTE SMART_INVALID_BUFFER = 4;
inline constexpr BYTE SMART_NOT_SUPPORTED = 9;

struct IoctlAnswer {
    bool ok = false;
    DWORD error = ERROR_GEN_FAILURE;  // ERROR_SUCCESS when ok
    DWORD returned = 0;               // bytes written to the output buffer
};

// SMART_GET_VERSION: answered only when the device takes an IDENTIFY DEVICE through the
// pass-through and returns ATA identify data. scratch holds at least 512 bytes.
IoctlAnswer smartGetVersion(AtaChannel& channel, std::uint8_t* scratch, void* out, DWORD outSize);

// SMART_SEND_DRIVE_COMMAND or SMART_RCV_DRIVE_DATA with a SENDCMDINPARAMS input; the
// output is a SENDCMDOUTPARAMS header (cBufferSize, DRIVERSTATUS) and then the data (for
// CHECK POWER MODE, the IDEREGS the drive returned).
// scratch holds scratchBytes bytes for the data-in phase.
IoctlAnswer smartDriveCommand(AtaChannel& channel, DWORD code, const void* in, DWORD inSize, void* out,
                              DWORD outSize, std::uint8_t* scratch, std::size_t scratchBytes);

}  // namespace platform::linux
