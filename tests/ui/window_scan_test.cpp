// A scan driven through the real window: the click, the mode question, Stop with a saved
// session, the session loaded back, the scan to its end, and Exit, Escape and signals while
// a scan runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <csignal>

#include "app/control_ids.h"
#include "graphic_progress_ctrl.h"
#include "image_bridge.h"
#include "signal_bridge.h"
#include "test_machines.h"
#include "window_rig.h"

namespace ids = app::ids;
using uitest::MachineText;
using uitest::ModalAnswerer;
using uitest::WindowRig;

namespace {

constexpr std::uint64_t kSectors = 20000;
const QString kModeQuestion = QStringLiteral("Do you want to regenerate all hard disk surface");

// One drive slow enough (about 3 ms a block) for a user to act while it is being scanned.
std::string ScanMachine(const std::string& faults = "") {
    return MachineText({{0, kSectors, "SLOW DISK", {{194, 90, 40}, {9, 90, 10}}, "LatencyUs = 1000\n" + faults}});
}

std::vector<std::uint8_t> Pattern() {
    std::vector<std::uint8_t> bytes(kSectors * 512);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 512) & 0xFF);
    return bytes;
}

std::size_t LastIndexOf(const std::vector<platform::sim::CallRecord>& calls, const std::string& operation,
                        std::size_t before) {
    std::size_t found = before;
    for (std::size_t i = 0; i < before && i < calls.size(); ++i)
        if (calls[i].operation == operation) found = i;
    return found;
}

QString ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("<missing>");
    return QString::fromLatin1(file.readAll());
}

}  // namespace

TEST(WindowScan, StopSaveOpenAndScanToTheEnd) {
    WindowRig rig(ScanMachine("BadRead = 19950\n"));
    ASSERT_TRUE(rig.start());
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A non-ASCII folder and name ("séances/séance"): the session must land in the file the
    // dialog named and load back from it.
    const QString place = folder.filePath(QString::fromUtf8("s\xC3\xA9" "ances"));
    ASSERT_TRUE(QDir().mkpath(place));
    const QString chosen = place + QString::fromUtf8("/s\xC3\xA9" "ance");

    ModalAnswerer answerer(rig);
    QString titleWhileRunning;
    bool stopShown = false, scanHidden = false, progressShown = false, listDisabled = false;
    answerer.answer(kModeQuestion, QMessageBox::No, [&] {
        QTimer::singleShot(150, [&] {
            titleWhileRunning = rig.window->windowTitle();
            stopShown = rig.window->control(ids::kStop)->isVisible();
            scanHidden = !rig.window->control(ids::kScan)->isVisible() &&
                         !rig.window->control(ids::kOpenSession)->isVisible();
            progressShown = rig.window->control(ids::kProgress)->isVisible();
            listDisabled = !rig.window->control(ids::kDriveList)->isEnabled();
            rig.click(ids::kStop);
        });
    });
    std::int64_t resume = -1;  // the position the Stop command saves
    answerer.answer(QStringLiteral("Do you want to stop the scanning process?"), QMessageBox::Yes,
                    [&] { resume = rig.dialog->scanState().currentLba; });
    answerer.answer(QStringLiteral("Do you want to save current sesion"), QMessageBox::Yes);
    answerer.chooseFiles({chosen});

    rig.click(ids::kScan);
    ASSERT_FALSE(answerer.watchdogFired);

    EXPECT_TRUE(titleWhileRunning.contains(QStringLiteral("Sector:"))) << titleWhileRunning.toStdString();
    EXPECT_TRUE(stopShown);
    EXPECT_TRUE(scanHidden);
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(listDisabled);

    ASSERT_EQ(answerer.seen.size(), 5u);
    EXPECT_EQ(answerer.seen[0].caption, QStringLiteral("Varim Hard Disk Repair"));
    EXPECT_EQ(answerer.seen[1].caption, QStringLiteral("Press yes if you want to stop the scanning! "));
    EXPECT_EQ(answerer.seen[2].caption, QStringLiteral("Press yes if you want to save current session. "));
    EXPECT_EQ(answerer.seen[3].kind, QStringLiteral("file"));
    EXPECT_EQ(answerer.seen[3].caption, QStringLiteral("Save current session"));
    EXPECT_EQ(answerer.seen[3].text, QStringLiteral("Varim hard disk session (*.qsx)"));
    EXPECT_TRUE(answerer.seen[4].text.startsWith(QStringLiteral(" Process intrerupted ")));

    EXPECT_GT(resume, 0);
    EXPECT_LT(resume, static_cast<std::int64_t>(kSectors));
    EXPECT_EQ(ReadAll(chosen + QStringLiteral(".qsx")), QString::number(resume) + QStringLiteral("\r\n20000"));

    // Back to idle.
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("Varim Hard Disk Repair 4.1"));
    EXPECT_FALSE(rig.window->control(ids::kStop)->isVisible());
    EXPECT_FALSE(rig.window->control(ids::kProgress)->isVisible());
    EXPECT_TRUE(rig.window->control(ids::kScan)->isVisible());
    EXPECT_TRUE(rig.window->control(ids::kOpenSession)->isVisible());
    EXPECT_TRUE(rig.window->control(ids::kDriveList)->isEnabled());

    // Load the session back into the fields, then scan from there to the end.
    rig.window->edit(ids::kStartField)->setText(QStringLiteral("0"));
    answerer.chooseFiles({chosen + QStringLiteral(".qsx")});
    rig.click(ids::kOpenSession);
    ASSERT_EQ(answerer.seen.size(), 6u);
    EXPECT_EQ(answerer.seen[5].caption, QStringLiteral("Open previously saved session"));
    EXPECT_EQ(answerer.seen[5].text, QStringLiteral("Varim Hard Disk Repair session (*.qsx)"));
    EXPECT_EQ(rig.window->edit(ids::kStartField)->text(), QString::number(resume));
    EXPECT_EQ(rig.window->edit(ids::kEndField)->text(), QStringLiteral("20000"));

    std::vector<int> positions;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { positions.push_back(rig.window->progressBar(ids::kProgress)->position()); });
    answerer.forgetRules();
    answerer.answer(kModeQuestion, QMessageBox::No, [&] { sampler.start(20); });
    int positionAtEnd = -1;
    answerer.answer(QStringLiteral("Process completed"), QMessageBox::Ok, [&] {
        sampler.stop();
        positionAtEnd = rig.window->progressBar(ids::kProgress)->position();
    });
    rig.click(ids::kScan);
    ASSERT_FALSE(answerer.watchdogFired);
    ASSERT_EQ(answerer.seen.size(), 8u) << answerer.messageTexts().join('|').toStdString();
    EXPECT_TRUE(answerer.seen[7].text.startsWith(QStringLiteral(" Process completed 1 bads found")))
        << answerer.seen[7].text.toStdString();
    EXPECT_TRUE(rig.dialog->lastScan().completed);
    QStringList info;
    for (int i = 0; i < rig.window->listBox(ids::kInfoList)->count(); ++i)
        info << rig.window->listBox(ids::kInfoList)->item(i)->text();
    EXPECT_TRUE(info.contains(QStringLiteral("Bad sector LBA: 19900"))) << info.join('|').toStdString();
    ASSERT_FALSE(positions.empty());
    EXPECT_GE(positions.front(), static_cast<int>(resume * 100 / static_cast<std::int64_t>(kSectors)));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positionAtEnd, 100);
    EXPECT_TRUE(rig.exit.codes.empty());

    // The drive's last scan gives its surface map: well-formed XML, one cell per cell of the grid.
    const app::ScanSummary* summary = rig.dialog->lastScanOf(0);
    ASSERT_NE(summary, nullptr);
    QTemporaryDir mapFolder;
    const QString mapPath = mapFolder.filePath(QStringLiteral("map.svg"));
    ASSERT_TRUE(rig.window->saveSurfaceMap(0, mapPath));
    EXPECT_FALSE(rig.window->saveSurfaceMap(1, mapPath));  // no scan of drive 1
    QFile mapFile(mapPath);
    ASSERT_TRUE(mapFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&mapFile);
    std::uint32_t cells = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.attributes().value("class") == QStringLiteral("cell"))
            ++cells;
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(summary->map.cells, 0u);
    EXPECT_EQ(cells, summary->map.cells);
}

TEST(WindowScan, ExitDuringAScanEndsTheProcessOnlyAfterTheWriteBack) {
    WindowRig rig(ScanMachine());
    ASSERT_TRUE(rig.start());
    const std::vector<std::uint8_t> pattern = Pattern();
    rig.machine->pokeSectors(0, 0, pattern);

    ModalAnswerer answerer(rig);
    std::size_t exitsRightAfterClose = 99;
    // Regenerate mode: every block is zeroed and rewritten, the riskiest moment to leave.
    answerer.answer(kModeQuestion, QMessageBox::Yes, [&] {
        QTimer::singleShot(120, [&] {
            rig.window->close();
            exitsRightAfterClose = rig.exit.codes.size();
        });
    });
    rig.machine->clearCalls();
    rig.click(ids::kScan);
    ASSERT_FALSE(answerer.watchdogFired);

    EXPECT_EQ(exitsRightAfterClose, 0u) << "the close box must not end the process inside a scan";
    EXPECT_TRUE(rig.dialog->exitPending());
    EXPECT_EQ(rig.exit.codes, std::vector<int>{0});
    EXPECT_FALSE(rig.exit.scanWasExecuting);
    EXPECT_TRUE(answerer.messageTexts().last().startsWith(QStringLiteral(" Process intrerupted ")));

    // Call log order: the drive's last write, then its close, then the exit.
    const auto& calls = rig.machine->calls();
    const std::size_t lastWrite = LastIndexOf(calls, "writeFile", rig.exit.callsAtExit);
    const std::size_t lastClose = LastIndexOf(calls, "closeHandle", rig.exit.callsAtExit);
    ASSERT_LT(lastWrite, rig.exit.callsAtExit);
    ASSERT_LT(lastClose, rig.exit.callsAtExit);
    EXPECT_LT(lastWrite, lastClose);
    EXPECT_EQ(rig.machine->openHandleCount(), 0u);
    // And no block was left zeroed.
    EXPECT_TRUE(rig.machine->peekSectors(0, 0, static_cast<std::uint32_t>(kSectors)) == pattern);
}

TEST(WindowScan, SignalDuringAScanWaitsForTheWriteBack) {
    WindowRig rig(ScanMachine());
    ASSERT_TRUE(rig.start());
    const std::vector<std::uint8_t> pattern = Pattern();
    rig.machine->pokeSectors(0, 0, pattern);
    qtui::SignalBridge bridge;
    ASSERT_TRUE(bridge.active());
    QObject::connect(&bridge, &qtui::SignalBridge::closeRequested, [&](int) { rig.dialog->ExitNow(); });

    ModalAnswerer answerer(rig);
    answerer.answer(kModeQuestion, QMessageBox::Yes, [&] { QTimer::singleShot(100, [] { std::raise(SIGINT); }); });
    rig.click(ids::kScan);
    ASSERT_FALSE(answerer.watchdogFired);
    EXPECT_EQ(rig.exit.codes, std::vector<int>{0});
    EXPECT_FALSE(rig.exit.scanWasExecuting);
    EXPECT_FALSE(rig.dialog->lastScan().completed);
    EXPECT_TRUE(rig.machine->peekSectors(0, 0, static_cast<std::uint32_t>(kSectors)) == pattern);
}

TEST(WindowScan, EscapeIsIgnoredWhileAScanRuns) {
    WindowRig rig(ScanMachine());
    ASSERT_TRUE(rig.start());
    ModalAnswerer answerer(rig);
    bool visibleAfterEscape = false;
    answerer.answer(kModeQuestion, QMessageBox::No, [&] {
        QTimer::singleShot(100, [&] {
            QTest::keyClick(rig.window->control(ids::kStartField), Qt::Key_Escape);
            visibleAfterEscape = rig.window->isVisible();
            rig.dialog->ExitNow();
        });
    });
    rig.click(ids::kScan);
    ASSERT_FALSE(answerer.watchdogFired);
    EXPECT_TRUE(visibleAfterEscape);
    EXPECT_EQ(rig.window->result(), 0) << "the modal run was not ended";
    EXPECT_EQ(rig.exit.codes, std::vector<int>{0});
}

TEST(WindowScreenshots, IdleAndDuringAScanWithTheProgressBarInItsBorder) {
    WindowRig rig(uitest::MachineText(
        {{0, kSectors, "WDC WD5000AAKX-00ERMA0", {{1, 200, 0}, {5, 200, 0}, {9, 98, 1234}, {194, 103, 38}},
          "LatencyUs = 1000\n"},
         {1, 120000, "ST3500418AS", {{194, 62, 58}}, ""}}));
    ASSERT_TRUE(rig.start());
    const QString folder = QStringLiteral(VARIM_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    CGraphicProgressCtrl* bar = rig.window->progressBar(ids::kProgress);
    const QRect area = bar->geometry();
    const QRgb frame = bar->palette().color(QPalette::WindowText).rgb();
    // How many pixels of the bar's outer ring show the frame colour in a picture of the window.
    auto framePixels = [&](const QImage& picture) {
        int count = 0;
        for (int x = area.left(); x <= area.right(); ++x)
            count += (picture.pixel(x, area.top()) == frame) + (picture.pixel(x, area.bottom()) == frame);
        for (int y = area.top() + 1; y < area.bottom(); ++y)
            count += (picture.pixel(area.left(), y) == frame) + (picture.pixel(area.right(), y) == frame);
        return count;
    };
    const int ring = 2 * area.width() + 2 * (area.height() - 2);

    const QImage idle = rig.window->grab().toImage();
    ASSERT_TRUE(idle.save(folder + QStringLiteral("/window-idle.png")));
    EXPECT_LT(framePixels(idle), ring) << "the hidden bar is not drawn";

    ModalAnswerer answerer(rig);
    QImage scanning;
    QImage barAlone;
    answerer.answer(kModeQuestion, QMessageBox::No, [&] {
        QTimer::singleShot(200, [&] {
            scanning = rig.window->grab().toImage();
            barAlone = controls::asQImage(bar->render()).copy();
            rig.dialog->ExitNow();
        });
    });
    rig.click(ids::kScan);
    ASSERT_FALSE(scanning.isNull());
    ASSERT_TRUE(scanning.save(folder + QStringLiteral("/window-scanning.png")));
    // The window shows the bar as the control draws it, inside its border.
    EXPECT_EQ(framePixels(scanning), ring);
    EXPECT_EQ(scanning.copy(area).convertToFormat(QImage::Format_RGB32), barAlone.convertToFormat(QImage::Format_RGB32));
}
