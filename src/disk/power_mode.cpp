#include "disk/power_mode.h"

#include <cstring>

namespace disk {

PowerMode CheckPowerMode(DriveAccess& access, platform::Handle handle, int driveNumber) {
    platform::SENDCMDINPARAMS request;
    std::memset(&request, 0, sizeof request);
    request.irDriveRegs.bDriveHeadReg = 0xA0;
    request.irDriveRegs.bCommandReg = platform::ATA_CHECK_POWER_MODE;
    request.bDriveNumber = static_cast<platform::BYTE>(driveNumber);
    std::uint8_t out[platform::kSendCmdOutHeaderSize + sizeof(platform::IDEREGS)] = {};
    if (!access.SendSmart(handle, platform::SMART_SEND_DRIVE_COMMAND, &request, sizeof request, out, sizeof out))
        return PowerMode::Unknown;
    // Without the returned registers there is no answer: a zero count must not read as standby.
    platform::DWORD dataBytes = 0;
    std::memcpy(&dataBytes, out, sizeof dataBytes);
    if (dataBytes != sizeof(platform::IDEREGS)) return PowerMode::Unknown;
    platform::IDEREGS returned;
    std::memcpy(&returned, out + platform::kSendCmdOutHeaderSize, sizeof returned);
    return returned.bSectorCountReg <= 0x01 ? PowerMode::Standby : PowerMode::Active;
}

}  // namespace disk
