#include "window_rig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

namespace uitest {

void RecordingExit::exitProcess(int code) {
    if (codes.empty() && onExit) onExit();
    codes.push_back(code);
}

WindowRig::WindowRig(std::string_view machineText) {
    std::string error;
    machine = platform::sim::SimulatedKernel::fromText(machineText, ".", "test machine", error);
    if (!machine) throw std::runtime_error(error);
    exit.onExit = [this] {
        exit.callsAtExit = machine->calls().size();
        exit.scanWasExecuting = dialog && dialog->scanExecuting();
    };
    // No settings file beside a made-up executable path: the store stays empty.
    dialog = std::make_unique<app::MainDialog>(
        app::DialogServices{*machine, *machine, exit, clock, "/nonexistent/varim-ui-test"});
    window = std::make_unique<qtui::MainWindow>(*dialog);
}

bool WindowRig::start() {
    if (!window->initialise()) return false;
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

void WindowRig::click(int id) {
    QWidget* target = window->control(id);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
}

ModalAnswerer::ModalAnswerer(WindowRig& rig, int watchdogMs) : rig_(rig) {
    connect(&poller_, &QTimer::timeout, this, [this] { poll(); });
    poller_.start(5);
    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
        watchdogFired = true;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
        rig_.dialog->ExitNow();
    });
    watchdog_.start(watchdogMs);
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::answer(const QString& needle, QMessageBox::StandardButton button, std::function<void()> after) {
    rules_.push_back({needle, button, std::move(after)});
}

QStringList ModalAnswerer::messageTexts() const {
    QStringList texts;
    for (const SeenModal& modal : seen)
        if (modal.kind == QLatin1String("message")) texts << modal.text;
    return texts;
}

void ModalAnswerer::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    SeenModal record;
    record.ownerVisible = rig_.window->isVisible();
    record.caption = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        record.kind = QStringLiteral("message");
        record.text = box->text();
        QMessageBox::StandardButton button =
            box->button(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::No;
        std::function<void()> after;
        for (const Rule& rule : rules_) {
            if (box->text().contains(rule.needle) && box->button(rule.button)) {
                button = rule.button;
                after = rule.after;
                break;
            }
        }
        record.answer = button;
        seen.push_back(record);
        box->button(button)->click();
        if (after) after();
    } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
        record.kind = QStringLiteral("file");
        record.text = files->nameFilters().join(QStringLiteral(";;"));
        std::optional<QString> choice;
        if (!files_.empty()) {
            choice = files_.front();
            files_.erase(files_.begin());
        }
        record.answer = choice ? 1 : 0;
        seen.push_back(record);
        if (choice) {
            files->selectFile(*choice);
            static_cast<QDialog*>(files)->accept();  // QFileDialog hides accept(); the dialog slot reaches it
        } else {
            files->reject();
        }
    }
}

bool WaitFor(const std::function<bool()>& predicate, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace uitest
