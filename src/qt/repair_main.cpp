// varim-repair: the window over this machine's drives. Without the rights to open them the
// window starts with an empty drive list.
#include <QApplication>

#include "platform/linux/linux_kernel.h"
#include "platform/system.h"
#include "window_program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    qtui::PrepareApplication(application);
    platform::linux::LinuxKernel kernel;
    platform::FixedOsVersion version;
    platform::ImmediateProcessExit processExit;
    platform::SystemClock clock;
    const app::DialogServices services{kernel, version, processExit, clock, platform::modulePath()};
    qtui::RunMainWindow(services);
    return 0;
}
