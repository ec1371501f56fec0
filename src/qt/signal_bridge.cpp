#include "signal_bridge.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace qtui {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can reach nothing but process-wide state: the write end of the one active
// bridge's pipe. Only the constructor and destructor of that bridge change it.
volatile std::sig_atomic_t g_writeFd = -1;
struct sigaction g_previous[3];

extern "C" void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = g_writeFd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    int fds[2];
    if (g_writeFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return;
    readFd_ = fds[0];
    writeFd_ = fds[1];
    g_writeFd = writeFd_;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { drain(); });
}

SignalBridge::~SignalBridge() {
    if (writeFd_ < 0) return;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
    g_writeFd = -1;
    notifier_.reset();
    ::close(readFd_);
    ::close(writeFd_);
}

void SignalBridge::drain() {
    unsigned char bytes[16];
    for (;;) {
        const ssize_t got = ::read(readFd_, bytes, sizeof bytes);
        if (got <= 0) break;
        for (ssize_t i = 0; i < got; ++i) emit closeRequested(bytes[i]);
    }
}

}  // namespace qtui
