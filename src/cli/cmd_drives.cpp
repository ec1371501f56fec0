#include <cstdio>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "disk/drive_probe.h"
#include "platform/text_codec.h"

namespace cli {

int RunDrives(const Context& context) {
    disk::DriveAccess access(context.kernel);
    disk::DriveTable table(context.executablePath);
    disk::EnumerateDrives(access, table);

    JsonWriter json;
    json.beginObject()
        .key("fixedLettersSeen").value(static_cast<int>(table.fixedLettersSeen))
        .key("drivesRead").value(static_cast<int>(table.drivesRead))
        .key("drives").beginArray();
    if (!context.options.json)
        std::printf("%d fixed drive letters seen, %d drives read\n", table.fixedLettersSeen, table.drivesRead);

    int listed = 0;
    unsigned firstError = 0;
    for (int n = 0; n < 50; ++n) {
        DriveSize size = MeasureDrive(access, n);
        if (!size.opened) {
            if (firstError == 0 && size.error != platform::ERROR_FILE_NOT_FOUND) firstError = size.error;
            continue;
        }
        ++listed;
        std::string model = n < disk::kDriveSlots ? std::string(table.DriveAt(n).model()) : std::string();
        bool probed = n < disk::kDriveSlots && table.ProbedInLastEnumeration(n);
        double capacityMb = static_cast<double>(size.sectors) * 512.0 / (1024.0 * 1024.0);
        json.beginObject()
            .key("number").value(n)
            .key("model").value(model)
            .key("sectors").value(size.sectors)
            .key("capacityMb").value(capacityMb)
            .key("probed").value(probed)
            .key("device").value(DeviceNameOf(access, n))
            .endObject();
        if (!context.options.json) {
            std::printf("Drive %d %s\n    %llu sectors, %.2f MB%s\n", n, platform::cp1252ToUtf8(model).c_str(),
                        static_cast<unsigned long long>(size.sectors), capacityMb,
                        probed ? "" : ", no S.M.A.R.T. answer");
        }
    }
    json.endArray().endObject();
    if (context.options.json) std::printf("%s\n", json.text().c_str());
    if (listed == 0 && firstError != 0) std::fprintf(stderr, "varim: %s\n", DriveOpenFailure(context, 0, firstError).c_str());
    return kExitDone;
}

}  // namespace cli
