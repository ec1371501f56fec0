// The program around the window: the modal run and its signal wiring, and the demo executable
// as a user starts it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

#include "app/control_ids.h"
#include "main_window.h"
#include "test_machines.h"
#include "window_program.h"
#include "window_rig.h"

namespace {

qtui::MainWindow* RunningWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<qtui::MainWindow*>(widget); window && window->isVisible()) return window;
    return nullptr;
}

QProcessEnvironment OffscreenEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

}  // namespace

TEST(WindowProgram, SignalsReachExitNowAndEscapeEndsTheRun) {
    std::string error;
    auto machine = platform::sim::SimulatedKernel::fromText(
        uitest::MachineText({{0, 1000, "DISK", {{194, 90, 30}}, ""}}), ".", "test machine", error);
    ASSERT_TRUE(machine) << error;
    uitest::RecordingExit exit;
    platform::SystemClock clock;
    const app::DialogServices services{*machine, *machine, exit, clock, "/nonexistent/varim-ui-test"};

    bool sawWindow = false;
    std::size_t exitsAfterSignal = 0;
    QTimer::singleShot(50, [&] {
        qtui::MainWindow* window = RunningWindow();
        sawWindow = window != nullptr;
        std::raise(SIGTERM);
        uitest::WaitFor([&] { return !exit.codes.empty(); }, 5000);
        exitsAfterSignal = exit.codes.size();
        if (window) QTest::keyClick(window->control(app::ids::kDriveList), Qt::Key_Escape);
    });
    EXPECT_EQ(qtui::RunMainWindow(services), app::ids::kCancel);
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(exitsAfterSignal, 1u);
    EXPECT_EQ(exit.codes, std::vector<int>{0});
    EXPECT_EQ(RunningWindow(), nullptr);
}

TEST(DemoExecutable, ABadMachineFileNamesFileAndLineAndExits1) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("broken.ini"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Machine]\nVersion = 5.1\n[Drive0]\nSectors = lots\n");
    file.close();

    QProcess demo;
    demo.setProcessEnvironment(OffscreenEnvironment());
    demo.start(QStringLiteral(VARIM_DEMO_EXECUTABLE), {path});
    ASSERT_TRUE(demo.waitForFinished(20000));
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(demo.exitCode(), 1);
    const QString message = QString::fromLocal8Bit(demo.readAllStandardError());
    EXPECT_TRUE(message.contains(path + QStringLiteral(":4"))) << message.toStdString();
}

TEST(DemoExecutable, TerminationEndsTheIdleWindowWithStatus0) {
    QProcess demo;
    demo.setProcessEnvironment(OffscreenEnvironment());
    demo.start(QStringLiteral(VARIM_DEMO_EXECUTABLE), {});
    ASSERT_TRUE(demo.waitForStarted(20000));
    QTest::qWait(1500);  // the built-in machine is probed and the window shown
    ASSERT_EQ(demo.state(), QProcess::Running);
    demo.terminate();  // SIGTERM
    ASSERT_TRUE(demo.waitForFinished(20000));
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(demo.exitCode(), 0);
}
