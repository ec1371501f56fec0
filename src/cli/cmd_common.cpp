#include <unistd.h>

#include <cstdio>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "platform/text_codec.h"

namespace cli {

DriveSize MeasureDrive(disk::DriveAccess& access, int driveNumber) {
    DriveSize size;
    platform::Handle handle = access.OpenDrive(driveNumber, disk::OpenProfile::Sector);
    size.error = access.LastError();
    size.opened = handle != platform::kInvalidHandle && size.error == 0;
    if (handle == platform::kInvalidHandle) return size;
    if (size.opened) size.sectors = disk::SectorCountOf(access.GetGeometry(handle));
    access.CloseDrive(handle);
    return size;
}

std::string DeviceNameOf(disk::DriveAccess& access, int driveNumber) {
    const platform::Handle handle = access.OpenDrive(driveNumber, disk::OpenProfile::Sector);
    if (handle == platform::kInvalidHandle) return {};
    std::string name = access.DeviceName(handle);
    access.CloseDrive(handle);
    return name;
}

std::string DriveOpenFailure(const Context& context, int driveNumber, unsigned error) {
    std::string text = "Drive " + std::to_string(driveNumber) + " cannot be opened (error " + std::to_string(error) + ")";
    if (error == platform::ERROR_FILE_NOT_FOUND) text = "Drive " + std::to_string(driveNumber) + " does not exist";
    if (context.realMachine && error == platform::ERROR_ACCESS_DENIED && geteuid() != 0)
        text += ": opening drives for reading and writing needs root";
    return text;
}

int Refuse(const Context& context, const std::string& cp1252Text) {
    if (context.options.json) {
        JsonWriter json;
        json.beginObject().key("refused").value(cp1252Text).endObject();
        std::printf("%s\n", json.text().c_str());
    } else {
        std::fprintf(stderr, "varim: %s\n", platform::cp1252ToUtf8(cp1252Text).c_str());
    }
    return kExitFailed;
}

}  // namespace cli
