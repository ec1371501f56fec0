#pragma once
// Ctrl+C, SIGTERM and SIGHUP during a scan: the handlers only record the signal; the scan's
// message step picks it up, so a block between its zero passes and its write-back always
// gets its content back before the process ends.
namespace cli {

// Installs the recording handlers for SIGINT, SIGTERM and SIGHUP (no SA_RESTART needed:
// nothing blocks in a system call that must be resumed).
void InstallStopSignals();
// The first signal recorded since the last call (0 when none), and forgets it.
int TakeStopSignal();

}  // namespace cli
