#pragma once
// Whether an ATA drive is spun down, asked without waking it: CHECK POWER MODE is the one
// command a drive in standby answers from its electronics alone.
#include "disk/drive_access.h"

namespace disk {

enum class PowerMode {
    Unknown,  // the drive or its path does not take the command (NVMe, no pass-through)
    Active,   // active or idle: asking it anything costs nothing
    Standby,  // spun down: any other command would spin it up
};

// Sends CHECK POWER MODE to the drive behind an open handle (drive number n).
PowerMode CheckPowerMode(DriveAccess& access, platform::Handle handle, int driveNumber);

}  // namespace disk
