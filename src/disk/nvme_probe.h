#pragma once
// The health probe of an NVMe drive: Identify Controller for its model, serial number and
// firmware, then the SMART / Health Information log, both through IOCTL_STORAGE_QUERY_PROPERTY.
#include "disk/drive_access.h"
#include "disk/drive_table.h"

namespace disk {

// Probes drive n on an open handle into record n. False when the drive does not answer
// Identify Controller as an NVMe drive (the record then keeps its texts but no health log).
// Otherwise the record becomes an NVMe record: texts from the identify data, no ATA
// attributes, and the health log when it was read whole (nvmeHealthRead false and errorText
// saying why when not); true.
bool ProbeNvmeDrive(DriveAccess& access, platform::Handle handle, DriveTable& table, int n);

}  // namespace disk
