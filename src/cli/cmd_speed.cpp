#include <cstdio>

#include "cli/commands.h"
#include "cli/console_surface.h"
#include "cli/json_writer.h"
#include "scan/speed_test.h"

namespace cli {

int RunSpeed(const Context& context) {
    const int n = context.options.drive;
    disk::DriveAccess access(context.kernel);
    DriveSize size = MeasureDrive(access, n);
    if (!size.opened) return Refuse(context, DriveOpenFailure(context, n, size.error));

    ConsoleSurface surface(context.options.json);
    platform::SystemClock clock;
    scan::SpeedTest test(access, surface, clock);
    // The second zone ends at the end sector a scan of the whole drive would use.
    scan::SpeedResult result = test.Run(n, static_cast<std::int64_t>(size.sectors));
    if (!result.opened) return Refuse(context, DriveOpenFailure(context, n, access.LastError()));

    if (context.options.json) {
        JsonWriter json;
        json.beginObject()
            .key("drive").value(n)
            .key("zone1MBps").value(result.zone1MBps)
            .key("zone2MBps").value(result.zone2MBps)
            .key("zone2Start").value(result.zone2StartSector)
            .endObject();
        std::printf("%s\n", json.text().c_str());
    } else {
        std::printf("Zone 1 (from sector 0): %.1f MB/s\n", result.zone1MBps);
        std::printf("Zone 2 (from sector %llu): %.1f MB/s\n",
                    static_cast<unsigned long long>(result.zone2StartSector), result.zone2MBps);
    }
    return kExitDone;
}

}  // namespace cli
