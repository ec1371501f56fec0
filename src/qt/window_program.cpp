#include "window_program.h"

#include <QFont>

#include "artwork.h"
#include "main_window.h"
#include "signal_bridge.h"

namespace qtui {

void PrepareApplication(QApplication& application) {
    application.setApplicationName(QStringLiteral("Varim Hard Disk Repair"));
    application.setWindowIcon(LoadAppIcon());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    application.setFont(font);
}

int RunMainWindow(const app::DialogServices& services) {
    app::MainDialog dialog(services);
    MainWindow window(dialog);
    // Ctrl+C, kill and a closed terminal act as the close box: ExitNow, which waits for the
    // scan's write-back when a scan is running.
    SignalBridge closeSignals;
    QObject::connect(&closeSignals, &SignalBridge::closeRequested, &window, [&dialog](int) { dialog.ExitNow(); });
    if (!window.initialise()) return 0;
    return window.exec();
}

}  // namespace qtui
