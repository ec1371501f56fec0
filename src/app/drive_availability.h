#pragma once
// Why a machine shows no drive: the window tells the user instead of showing an empty list.
#include "platform/kernel.h"

namespace app {

enum class DriveAvailability {
    SomeOpen,          // at least one drive number opens
    PermissionDenied,  // none opens, and at least one was refused for lack of rights
    NoneOpens,         // drives exist but none opens (busy, not ready), none refused for rights
    NoneFound,         // no drive number names a device
};

// Opens drive numbers 0..49 the way the start-up probe does, stopping at the first that opens
// (closing it at once); nothing is read or written.
DriveAvailability CheckDriveAvailability(platform::Kernel& kernel);

}  // namespace app
