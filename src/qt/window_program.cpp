#include "window_program.h"

#include <QFont>
#include <cstdio>

#include "scan/transfer_batch.h"

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

bool TakeTransferOption(std::vector<std::string>& args, std::uint32_t& transferMib) {
    bool seen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--transfer-mib") continue;
        if (seen || i + 1 >= args.size() || !scan::ParseTransferMib(args[i + 1], transferMib)) {
            std::fprintf(stderr, "--transfer-mib is given once, as a whole number of MiB from 0 to %u\n",
                         scan::kLargestTransferMib);
            return false;
        }
        seen = true;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return true;
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
