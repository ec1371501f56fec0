#include "cli/signals.h"

#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t pendingSignal = 0;

extern "C" void RecordSignal(int signal) {
    if (pendingSignal == 0) pendingSignal = signal;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = RecordSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int TakeStopSignal() {
    int signal = pendingSignal;
    pendingSignal = 0;
    return signal;
}

}  // namespace cli
