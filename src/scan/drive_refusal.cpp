#include "scan/drive_refusal.h"

#include <cstdio>

#include "platform/win_types.h"

namespace scan {

std::string OpenFailureReason(std::uint32_t errorCode) {
    switch (errorCode) {
        case platform::ERROR_FILE_NOT_FOUND:
        case platform::ERROR_PATH_NOT_FOUND:
            return "the drive does not exist (any more)";
        case platform::ERROR_ACCESS_DENIED:
            return "access denied (opening a drive for writing needs administrator rights)";
        case platform::ERROR_SHARING_VIOLATION:
            return "the drive is in use by another program";
        case platform::ERROR_NOT_READY:
            return "the drive is not ready";
        case platform::ERROR_DEV_NOT_EXIST:
            return kDriveChangedReason;
        default:
            break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "it cannot be opened (error %u)", static_cast<unsigned>(errorCode));
    return text;
}

std::string DriveRefusalText(int driveNumber, std::string_view model, std::string_view reason) {
    std::string text = "Cannot scan Drive " + std::to_string(driveNumber);
    if (!model.empty()) text.append(" (").append(model).append(")");
    text.append(": ").append(reason);
    return text;
}

}  // namespace scan
