#pragma once
// The program's life around its one window: the dialog logic, the window, the close signals
// and the modal run. Shared by varim-repair and varim-repair-demo.
#include <QApplication>
#include <cstdint>
#include <string>
#include <vector>

#include "app/main_dialog.h"

namespace qtui {

// Application-wide settings the window relies on: its name and an explicit pixel-sized font
// (message boxes and file dialogs do not inherit the window's).
void PrepareApplication(QApplication& application);

// Takes `--transfer-mib M` out of the arguments (the others keep their order) into transferMib;
// false, with the reason on stderr, when its value is missing or not one the scan takes.
bool TakeTransferOption(std::vector<std::string>& args, std::uint32_t& transferMib);

// Constructs the dialog (which loads the settings file beside services.executablePath), builds
// the window, runs the start-up and then the window modally. Returns the modal run's result
// (2 after the Cancel command); ExitNow ends the process through services.processExit instead.
int RunMainWindow(const app::DialogServices& services);

}  // namespace qtui
