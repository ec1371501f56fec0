#pragma once
// A real MainWindow over a simulated machine, with a ProcessExit that records instead of
// ending the test, and an answerer for the real modal dialogs the window opens.
#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "main_window.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/system.h"

namespace uitest {

// Records ExitProcess calls with what the machine had been asked by then.
class RecordingExit : public platform::ProcessExit {
public:
    void exitProcess(int code) override;
    std::vector<int> codes;
    std::size_t callsAtExit = 0;      // the kernel's call log length at the first exit
    bool scanWasExecuting = false;    // whether a scan was on the stack at the first exit
    std::function<void()> onExit;     // lets the rig fill in the two fields above
};

// A machine, the dialog logic and the window on it. The window is not initialised yet.
struct WindowRig {
    explicit WindowRig(std::string_view machineText);
    // Runs the start-up; shows the window when it completed.
    bool start();
    // Clicks a control at its centre, as the user would.
    void click(int id);

    std::unique_ptr<platform::sim::SimulatedKernel> machine;
    RecordingExit exit;
    platform::SystemClock clock;
    std::unique_ptr<app::MainDialog> dialog;
    std::unique_ptr<qtui::MainWindow> window;
};

// One modal dialog as the answerer saw it.
struct SeenModal {
    QString kind;  // "message" or "file"
    QString caption;
    QString text;  // message text, or the file dialog's name filters joined by ";;"
    bool ownerVisible = false;
    int answer = 0;  // the QMessageBox::StandardButton pressed, or 1/0 for an accepted/cancelled file dialog
};

// Polls QApplication::activeModalWidget() and answers message boxes by rules (first rule whose
// needle the text contains), file dialogs with a path or a cancel. A watchdog ends a run that
// hangs: it cancels the open modal, records the failure and asks the dialog to stop.
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(WindowRig& rig, int watchdogMs = 60000);
    ~ModalAnswerer() override;

    // Message boxes whose text contains needle are answered with button; then `after` runs.
    void answer(const QString& needle, QMessageBox::StandardButton button, std::function<void()> after = {});
    // Drops every rule given so far.
    void forgetRules() { rules_.clear(); }
    // The next file dialogs choose these paths (nothing = cancel), in order.
    void chooseFiles(std::vector<std::optional<QString>> paths) { files_ = std::move(paths); }

    std::vector<SeenModal> seen;
    bool watchdogFired = false;
    QStringList messageTexts() const;

private:
    struct Rule {
        QString needle;
        QMessageBox::StandardButton button;
        std::function<void()> after;
    };
    void poll();

    WindowRig& rig_;
    QTimer poller_;
    QTimer watchdog_;
    std::vector<Rule> rules_;
    std::vector<std::optional<QString>> files_;
};

// Processes events until the predicate holds or the time is up; answers whether it held.
bool WaitFor(const std::function<bool()>& predicate, int timeoutMs = 10000);

}  // namespace uitest
