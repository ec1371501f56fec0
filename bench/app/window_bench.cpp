// Prints the window's start-up time and the cost of one paint on the demo machine.
//   bench_window [runs]
// Start-up: the benchmark starts itself again as a child and measures from just before exec to
// the child's first paint of the window (dynamic loading, Qt, drive probing and layout included).
// Paint: the window's own paint (background, indicator evaluation and texts) and a full repaint
// with every control, and one idle message step. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/demo_machine.h"
#include "main_window.h"
#include "platform/sim/simulated_kernel.h"
#include "platform/system.h"
#include "window_program.h"

namespace {

constexpr const char* kChildFlag = "--startup-child";

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The exit of a benchmark run never ends the process.
class NoExit final : public platform::ProcessExit {
public:
    void exitProcess(int) override {}
};

struct DemoWindow {
    DemoWindow() {
        std::string error;
        machine = platform::sim::SimulatedKernel::fromText(app::DemoMachineText(), ".", "demo machine", error);
        if (!machine) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        machine->setLogging(false);
        dialog = std::make_unique<app::MainDialog>(
            app::DialogServices{*machine, *machine, processExit, clock, platform::modulePath()});
        window = std::make_unique<qtui::MainWindow>(*dialog);
    }
    std::unique_ptr<platform::sim::SimulatedKernel> machine;
    NoExit processExit;
    platform::SystemClock clock;
    std::unique_ptr<app::MainDialog> dialog;
    std::unique_ptr<qtui::MainWindow> window;
};

// Reports the moment of the window's first paint on stdout.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                std::printf("%lld\n", static_cast<long long>(nowNs()));
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

int runChild(int argc, char** argv) {
    QApplication application(argc, argv);
    qtui::PrepareApplication(application);
    DemoWindow demo;
    FirstPaint firstPaint;
    demo.window->installEventFilter(&firstPaint);
    if (!demo.window->initialise()) return 1;
    demo.window->show();
    return application.exec();
}

// One child start: nanoseconds from before exec to its first paint, or -1.
std::int64_t measureStart(const char* self) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const std::int64_t start = nowNs();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execl(self, self, kChildFlag, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[64] = {};
    std::size_t got = 0;
    for (ssize_t n; got < sizeof text - 1 && (n = read(pipeFds[0], text + got, sizeof text - 1 - got)) > 0;)
        got += static_cast<std::size_t>(n);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got == 0) return -1;
    return std::strtoll(text, nullptr, 10) - start;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double microsecondsPer(int repetitions, Work work) {
    const std::int64_t start = nowNs();
    for (int i = 0; i < repetitions; ++i) work();
    return static_cast<double>(nowNs() - start) / 1000.0 / repetitions;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], kChildFlag) == 0) return runChild(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 10;

    std::vector<double> starts;
    for (int i = 0; i < runs; ++i) {
        const std::int64_t ns = measureStart("/proc/self/exe");
        if (ns > 0) starts.push_back(static_cast<double>(ns) / 1e6);
    }
    if (starts.empty()) {
        std::fprintf(stderr, "the child window never painted\n");
        return 1;
    }
    std::printf("start-up, process start to window painted (demo machine, %zu runs): median %.1f ms, min %.1f ms, max %.1f ms\n",
                starts.size(), median(starts), *std::min_element(starts.begin(), starts.end()),
                *std::max_element(starts.begin(), starts.end()));

    QApplication application(argc, argv);
    qtui::PrepareApplication(application);
    DemoWindow demo;
    demo.window->initialise();
    demo.window->show();
    QCoreApplication::processEvents();

    QImage target(demo.window->size(), QImage::Format_RGB32);
    const double own = microsecondsPer(500, [&] {
        demo.window->render(&target, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    });
    const double full = microsecondsPer(200, [&] { demo.window->repaint(); });
    std::printf("one paint of the window (background, indicator evaluation, texts): %.1f us\n", own);
    std::printf("one full repaint with every control: %.1f us\n", full);
    std::printf("indicator evaluations during the runs: %d\n", demo.window->indicatorPaints());
    // The scan calls this between disk operations (up to 202 times a block when repairing).
    const double pump = microsecondsPer(20000, [&] { demo.window->pumpOneMessage(); });
    std::printf("one message step with nothing waiting: %.2f us\n", pump);
    return 0;
}
