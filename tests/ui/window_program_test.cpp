// The program around the window: the modal run and its signal wiring, and the demo executable
// as a user starts it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
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

// A repair killed among its zero writes leaves its block in the journal beside the machine file;
// the demo started on that file (options before it) finds it and asks before writing anything:
// while the question stands, the block and the entry stay as the crash left them. (Answering Yes
// is the main dialog's own test.)
TEST(DemoExecutable, AsksBeforeWritingBackTheBlockACrashedRepairLeftBesideItsMachineFile) {
    QTemporaryDir folder;
    const QString machine = folder.filePath(QStringLiteral("machine.ini"));
    const QString image = folder.filePath(QStringLiteral("drive.img"));
    QByteArray original(100 * 512, '\0');
    for (int i = 0; i < original.size(); ++i) original[i] = static_cast<char>(i * 7 + i / 512);
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray drive = "[Drive0]\nSectors = 100\nImage = drive.img\nPending = 30\n";
    write(image, original);
    write(machine, "[Machine]\nCrashAtWrite = 10\n" + drive);

    QProcess scan;
    scan.start(QStringLiteral(VARIM_CONSOLE_EXECUTABLE), {QStringLiteral("--machine"), machine, QStringLiteral("scan"),
                                                         QStringLiteral("0"), QStringLiteral("--end"), QStringLiteral("0"),
                                                         QStringLiteral("--mode"), QStringLiteral("regenerate")});
    ASSERT_TRUE(scan.waitForFinished(20000));
    ASSERT_EQ(scan.exitStatus(), QProcess::CrashExit);
    const QDir journal(machine + QStringLiteral(".journal"));
    ASSERT_FALSE(journal.isEmpty());
    ASSERT_NE(read(image), original);

    const QByteArray afterCrash = read(image);
    write(machine, drive);
    QProcess demo;
    demo.setProcessEnvironment(OffscreenEnvironment());
    demo.start(QStringLiteral(VARIM_DEMO_EXECUTABLE), {QStringLiteral("--transfer-mib"), QStringLiteral("8"), machine});
    ASSERT_TRUE(demo.waitForStarted(20000));
    QTest::qWait(3000);
    EXPECT_EQ(demo.state(), QProcess::Running);
    EXPECT_FALSE(journal.isEmpty());
    EXPECT_EQ(read(image), afterCrash);
    demo.kill();
    ASSERT_TRUE(demo.waitForFinished(20000));
}
