#pragma once
// The window's word when no drive opens, so an empty drive list never goes unexplained.
#include <QApplication>

#include "app/drive_availability.h"

namespace qtui {

// The explanation for an availability other than SomeOpen (empty for SomeOpen).
QString MissingDrivesText(app::DriveAvailability availability, bool runningAsRoot);

// Shows MissingDrivesText in a message box over the window once its modal run has begun.
void ExplainMissingDrivesOnceShown(QApplication& application, app::DriveAvailability availability,
                                   bool runningAsRoot);

}  // namespace qtui
