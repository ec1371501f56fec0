#pragma once
// The S.M.A.R.T. probe of one drive and the enumeration of drives from the drive letters.
#include <cstdint>
#include <functional>

#include "disk/drive_access.h"
#include "disk/drive_table.h"

namespace disk {

// Version, enable, identify, values, thresholds for drive n into record n and the index.
// True when the drive counts as read.
bool ProbeDrive(DriveAccess& access, DriveTable& table, int driveNumber);

// Zeroes the counters and the index, then probes every fixed drive letter C.. as drive
// letter - 'C' (A and B are skipped), counting fixed letters and successful probes.
void EnumerateDrives(DriveAccess& access, DriveTable& table);

}  // namespace disk
