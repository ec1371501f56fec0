#pragma once
// Why a drive cannot be used, in words a user understands.
#include <cstdint>
#include <string>
#include <string_view>

namespace scan {

// Why a drive whose number now names another disk (or a resized one) is not scanned.
inline constexpr const char* kDriveChangedReason = "the drive changed since it was listed";

// The reason behind a failed open of a drive, from its Windows error code.
std::string OpenFailureReason(std::uint32_t errorCode);
// "Cannot scan Drive n (MODEL): reason" (without the parentheses when the model is unknown).
std::string DriveRefusalText(int driveNumber, std::string_view model, std::string_view reason);

}  // namespace scan
