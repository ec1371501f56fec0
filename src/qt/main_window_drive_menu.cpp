// The drive list's context menu of the main window: the drives' own self-tests and logs, and
// the surface map of a drive's last scan. Each
// start or abort posts one line to the information list; a timer follows the tests started
// here and posts each result; none of it runs while a scan or the speed test runs.
#include <QListWidget>
#include <QTimer>

#include "app/control_ids.h"
#include "drive_logs_dialog.h"
#include "drive_menu.h"
#include "main_window.h"

namespace qtui {
namespace {

constexpr int kSelfTestPollMs = 2000;

}  // namespace

void MainWindow::setUpDriveMenu() {
    selfTests_ = std::make_unique<app::SelfTestPanel>(dialog_.kernel());
    selfTestTimer_ = new QTimer(this);
    selfTestTimer_->setInterval(kSelfTestPollMs);
    connect(selfTestTimer_, &QTimer::timeout, this, [this] { pollSelfTests(); });

    driveMenu_ = new DriveMenu(
        listBox(app::ids::kDriveList),
        [this](int row) { return static_cast<int>(listItemData(app::ids::kDriveList, row)); },
        [this] { return driveMenuAvailable(); }, this);
    driveMenu_->addEntry(QStringLiteral("Short self-test"),
                         [this](int drive) { startSelfTest(drive, disk::SelfTestKind::Short); });
    driveMenu_->addEntry(QStringLiteral("Extended self-test"),
                         [this](int drive) { startSelfTest(drive, disk::SelfTestKind::Extended); });
    driveMenu_->addEntry(QStringLiteral("Abort self-test"), [this](int drive) { abortSelfTest(drive); });
    driveMenu_->addEntry(QString::fromUtf8("Drive logs\u2026"), [this](int drive) { showDriveLogs(drive); });
    // The map of the drive's last scan in this session.
    driveMenu_->addEntry(
        QString::fromUtf8("Save surface map\u2026"), [this](int drive) { saveSurfaceMap(drive); },
        [this](int drive) { return dialog_.lastScanOf(drive) != nullptr; });
}

bool MainWindow::driveMenuAvailable() const { return !dialog_.scanExecuting() && !longCommand_; }

DriveLogsDialog* MainWindow::driveLogsDialog() const { return logsDialog_.data(); }

void MainWindow::postInformation(const std::string& line) { listAddString(app::ids::kInfoList, line); }

void MainWindow::startSelfTest(int driveNumber, disk::SelfTestKind kind) {
    if (!driveMenuAvailable()) return;
    postInformation(selfTests_->Start(driveNumber, kind));
    if (selfTests_->Following()) selfTestTimer_->start();
}

void MainWindow::abortSelfTest(int driveNumber) {
    if (!driveMenuAvailable()) return;
    postInformation(selfTests_->Abort(driveNumber));
    pollSelfTests();
}

void MainWindow::showDriveLogs(int driveNumber) {
    if (!driveMenuAvailable()) return;
    if (logsDialog_) logsDialog_->close();
    logsDialog_ = new DriveLogsDialog(driveNumber, selfTests_->Logs(driveNumber), this);
    logsDialog_->open();
}

void MainWindow::pollSelfTests() {
    // A scan owns the drives while it runs; the results wait for it to end.
    if (!driveMenuAvailable()) return;
    for (const std::string& line : selfTests_->Poll()) postInformation(line);
    if (!selfTests_->Following()) selfTestTimer_->stop();
}

void MainWindow::showSelfTestProgress() {
    if (!driveMenuAvailable()) return;
    const int selected = listSelection(app::ids::kDriveList);
    if (selected < 0) return;
    const std::string line =
        selfTests_->ProgressLine(static_cast<int>(listItemData(app::ids::kDriveList, selected)));
    if (!line.empty()) postInformation(line);
}

}  // namespace qtui
