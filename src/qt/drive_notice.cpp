#include "drive_notice.h"

#include <QMessageBox>
#include <QTimer>

#include "elevation.h"

namespace qtui {

QString MissingDrivesText(app::DriveAvailability availability, bool runningAsRoot) {
    switch (availability) {
        case app::DriveAvailability::SomeOpen:
            return {};
        case app::DriveAvailability::PermissionDenied:
            if (runningAsRoot) {
                return QStringLiteral(
                    "No drive can be opened: the system refused to open the disks for reading and "
                    "writing, even with administrator rights.");
            }
            return QStringLiteral(
                       "No drive can be opened: reading the disks' health and repairing them needs "
                       "administrator rights.\n\nStart Varim Hard Disk Repair from the desktop menu and "
                       "give an administrator's password when it asks. ") +
                   QString::fromUtf8(RunAsRootAdvice());
        case app::DriveAvailability::NoneOpens:
            return QStringLiteral(
                "No drive can be opened: the disks this computer shows are busy or do not answer.");
        case app::DriveAvailability::NoneFound:
            return QStringLiteral(
                "No drive was found: this computer shows no hard disk, SSD or other whole disk.");
    }
    return {};
}

void ExplainMissingDrivesOnceShown(QApplication& application, app::DriveAvailability availability,
                                   bool runningAsRoot) {
    const QString text = MissingDrivesText(availability, runningAsRoot);
    if (text.isEmpty()) return;
    // A zero timer fires inside the window's modal run, so the box sits over the shown window.
    QTimer::singleShot(0, &application, [text] {
        QMessageBox::information(QApplication::activeModalWidget(), QStringLiteral("Varim Hard Disk Repair"),
                                 text);
    });
}

}  // namespace qtui
