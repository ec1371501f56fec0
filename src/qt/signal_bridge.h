#pragma once
// SIGINT, SIGTERM and SIGHUP turned into a Qt signal on the window's thread. The handler only
// writes one byte into a pipe; a socket notifier reads it in the event loop (also inside the
// scan's message steps), so the window treats the signal exactly like its close box.
#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace qtui {

class SignalBridge : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; active() is false when the pipe or a handler could not be set up.
    explicit SignalBridge(QObject* parent = nullptr);
    // Restores the previous handlers and closes the pipe.
    ~SignalBridge() override;
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

    bool active() const { return notifier_ != nullptr; }

signals:
    // One of the three signals arrived (once per signal delivered).
    void closeRequested(int signalNumber);

private:
    void drain();

    int readFd_ = -1;
    int writeFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace qtui
