// The drive list's context menu on a simulated machine: a self-test started from it is followed
// in the information list to its result, and the logs window shows both of the drive's logs.
#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/control_ids.h"
#include "drive_logs_dialog.h"
#include "drive_menu.h"
#include "test_machines.h"
#include "window_rig.h"

namespace ids = app::ids;
using uitest::MachineText;
using uitest::WindowRig;

namespace {

QStringList Entries(QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

void ClickEntry(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(row)).center());
}

// The menu of a drive list row, as a right click there opens it.
std::unique_ptr<QMenu> MenuOf(WindowRig& rig, int row) {
    QListWidget* drives = rig.window->listBox(ids::kDriveList);
    return std::unique_ptr<QMenu>(rig.window->driveMenu()->menuAt(drives->visualItemRect(drives->item(row)).center()));
}

void Choose(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            ASSERT_TRUE(action->isEnabled()) << text.toStdString();
            action->trigger();
            return;
        }
    }
    FAIL() << "no entry " << text.toStdString();
}

TEST(WindowDriveMenu, StartsASelfTestFollowsItToItsResultAndShowsBothLogs) {
    WindowRig rig(MachineText({{0, 1000, "ALPHA", {{9, 97, 1234}},
                                "SelfTestSeconds = 3\nSelfTestOutcome = fail:777\n"
                                "SelfTestLog.0 = extended, 0, 0, 1200\nErrorLog.0 = 1230, 777\nErrorCount = 4\n"},
                               {1, 1000, "BRAVO", {}, ""}}));
    ASSERT_TRUE(rig.start());
    QListWidget* info = rig.window->listBox(ids::kInfoList);

    std::unique_ptr<QMenu> menu = MenuOf(rig, 0);
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) texts << action->text();
    EXPECT_EQ(texts, (QStringList{"Short self-test", "Extended self-test", "Abort self-test",
                                  QString::fromUtf8("Drive logs\u2026"), QString::fromUtf8("Save surface map\u2026")}));
    EXPECT_FALSE(menu->actions().last()->isEnabled());  // no scan of the drive yet, so no map
    Choose(*menu, QStringLiteral("Short self-test"));
    EXPECT_EQ(Entries(info).last(), QStringLiteral("Drive 0: short self-test started, about 2 minutes"));

    // Selecting the drive while its test runs shows the progress after the help lines.
    ClickEntry(rig.window->listBox(ids::kDriveList), 1);
    ClickEntry(rig.window->listBox(ids::kDriveList), 0);
    EXPECT_TRUE(Entries(info).last().startsWith(QStringLiteral("Drive 0: self-test running, "))) << Entries(info).join('|').toStdString();
    EXPECT_TRUE(Entries(info).last().endsWith(QStringLiteral("% remaining")));

    EXPECT_TRUE(uitest::WaitFor([&] { return Entries(info).last().contains(QStringLiteral("failed")); }, 15000));
    EXPECT_EQ(Entries(info).last(), QStringLiteral("Drive 0: short self-test failed: read element at LBA 777"));

    menu = MenuOf(rig, 0);
    Choose(*menu, QString::fromUtf8("Drive logs\u2026"));
    qtui::DriveLogsDialog* logs = rig.window->driveLogsDialog();
    ASSERT_NE(logs, nullptr);
    EXPECT_TRUE(logs->isVisible());
    QTableWidget* tests = logs->selfTestTable();
    ASSERT_EQ(tests->rowCount(), 2);
    EXPECT_EQ(tests->item(0, 0)->text(), QStringLiteral("short"));
    EXPECT_EQ(tests->item(0, 1)->text(), QStringLiteral("failed: read element"));
    EXPECT_EQ(tests->item(0, 3)->text(), QStringLiteral("1234"));
    EXPECT_EQ(tests->item(0, 4)->text(), QStringLiteral("777"));
    EXPECT_EQ(tests->item(1, 1)->text(), QStringLiteral("completed without error"));
    EXPECT_EQ(tests->item(1, 4)->text(), QStringLiteral("-"));
    EXPECT_EQ(tests->editTriggers(), QAbstractItemView::NoEditTriggers);
    QTableWidget* errors = logs->errorTable();
    ASSERT_EQ(errors->rowCount(), 1);
    EXPECT_EQ(errors->item(0, 0)->text(), QStringLiteral("1230"));
    EXPECT_EQ(errors->item(0, 1)->text(), QStringLiteral("777"));
    EXPECT_EQ(errors->item(0, 2)->text(), QStringLiteral("uncorrectable data"));
    logs->close();
}

TEST(WindowDriveMenu, OffersNothingWhileAScanRuns) {
    WindowRig rig(MachineText({{0, 20000, "SLOW DISK", {{194, 90, 40}}, "LatencyUs = 1000\n"}}));
    ASSERT_TRUE(rig.start());
    uitest::ModalAnswerer answerer(rig);
    std::vector<bool> enabled;
    answerer.answer(QStringLiteral("Do you want to regenerate all hard disk surface"), QMessageBox::No, [&] {
        QTimer::singleShot(100, [&] {
            std::unique_ptr<QMenu> menu = MenuOf(rig, 0);
            for (QAction* action : menu->actions()) enabled.push_back(action->isEnabled());
            rig.dialog->ExitNow();
        });
    });
    rig.click(ids::kScan);
    ASSERT_FALSE(answerer.watchdogFired);
    EXPECT_EQ(enabled, std::vector<bool>(5, false));
}

}  // namespace
