#include "app/drive_availability.h"

#include "disk/drive_access.h"
#include "platform/limits.h"

namespace app {

namespace {
constexpr int kDriveNumbers = platform::kDriveNumbers;  // the numbers the discovery walks
}

DriveAvailability CheckDriveAvailability(platform::Kernel& kernel) {
    disk::DriveAccess access(kernel);
    bool refused = false;
    bool failedOtherwise = false;
    for (int drive = 0; drive < kDriveNumbers; ++drive) {
        const platform::Handle handle = access.OpenDrive(drive, disk::OpenProfile::Probe);
        if (handle != platform::kInvalidHandle) {
            access.CloseDrive(handle);
            return DriveAvailability::SomeOpen;
        }
        const std::uint32_t error = access.LastError();
        if (error == platform::ERROR_ACCESS_DENIED) {
            refused = true;
        } else if (error != platform::ERROR_FILE_NOT_FOUND && error != platform::ERROR_PATH_NOT_FOUND) {
            failedOtherwise = true;
        }
    }
    if (refused) return DriveAvailability::PermissionDenied;
    return failedOtherwise ? DriveAvailability::NoneOpens : DriveAvailability::NoneFound;
}

}  // namespace app
