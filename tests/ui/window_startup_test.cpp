// The window's start-up and its ways out: the controls the template gives, the refusal of
// unsupported systems before any drive is touched, Enter, Escape, the close box and signals.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <csignal>

#include "app/control_ids.h"
#include "backdrop_slider.h"
#include "graphic_progress_ctrl.h"
#include "hover_button.h"
#include "signal_bridge.h"
#include "test_machines.h"
#include "window_rig.h"

namespace ids = app::ids;
using uitest::Attr;
using uitest::MachineText;
using uitest::ModalAnswerer;
using uitest::WindowRig;

namespace {

std::string TwoDrives(const std::string& version = "5.1") {
    return MachineText({{0, 40000, "FIRST DISK", {{194, 90, 40}, {9, 97, 1234}}, ""},
                        {1, 30000, "SECOND DISK", {{194, 90, 38}}, ""}},
                       version);
}

}  // namespace

TEST(WindowStartUp, BuildsTheIdleWindowFromTheTemplate) {
    WindowRig rig(TwoDrives());
    ASSERT_TRUE(rig.start());
    qtui::MainWindow& window = *rig.window;

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Varim Hard Disk Repair 4.1"));
    EXPECT_EQ(window.title(), "Varim Hard Disk Repair 4.1");
    EXPECT_EQ(window.size(), QSize(631, 415));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window.backgroundLoaded());
    EXPECT_FALSE(window.windowIcon().isNull());

    for (int id : {ids::kExit, ids::kScan, ids::kOpenSession, ids::kInfoList, ids::kStartField, ids::kEndField,
                   ids::kCapacityField, ids::kDriveList, ids::kAttributeView})
        EXPECT_TRUE(window.control(id)->isVisible()) << "control " << id;
    for (int id : {ids::kStop, ids::kProgress, ids::kTestSpeed, ids::kSlider1, ids::kSlider2, ids::kChangeBackground,
                   ids::kUnusedEdit1, ids::kUnusedEdit2, ids::kButton3, ids::kButton6})
        EXPECT_FALSE(window.control(id)->isVisible()) << "control " << id;
    for (int id : {ids::kTestSpeed, ids::kSlider1, ids::kSlider2, ids::kChangeBackground, ids::kButton3, ids::kButton6})
        EXPECT_FALSE(window.control(id)->isEnabled()) << "control " << id;

    // Dialog units at 6 x 13 base units, truncated; the skinned buttons take one frame's size.
    EXPECT_EQ(window.control(ids::kExit)->geometry(), QRect(559, 377, 54, 33));
    EXPECT_EQ(window.control(ids::kScan)->geometry(), QRect(54, 349, 149, 37));
    EXPECT_EQ(window.control(ids::kStop)->geometry(), QRect(54, 341, 163, 43));
    EXPECT_EQ(window.control(ids::kOpenSession)->geometry(), QRect(54, 300, 151, 39));
    EXPECT_EQ(window.control(ids::kDriveList)->geometry(), QRect(418, 55, 193, 230));
    EXPECT_EQ(window.control(ids::kAttributeView)->geometry(), QRect(10, 55, 303, 162));
    EXPECT_EQ(window.control(ids::kInfoList)->geometry(), QRect(10, 217, 304, 76));
    EXPECT_EQ(window.control(ids::kStartField)->geometry(), QRect(327, 144, 75, 22));
    EXPECT_EQ(window.control(ids::kProgress)->geometry(), QRect(10, 388, 513, 16));

    EXPECT_EQ(window.hoverButton(ids::kScan)->tipText().toStdString(),
              "Scan and repair all hard disk surface. You will be asked to choose a all-surface-repair or standard "
              "scan and repair.");
    EXPECT_EQ(window.hoverButton(ids::kExit)->tipText(), QStringLiteral("Exit"));
    EXPECT_EQ(window.slider(ids::kSlider1)->tickInterval(), 20);
    EXPECT_EQ(window.slider(ids::kSlider1)->thumbColour(), 0xC4C4u);
    EXPECT_EQ(window.slider(ids::kSlider2)->thumbActiveColour(), 0xFF0000u);
    EXPECT_EQ(window.slider(ids::kSlider2)->orientation(), Qt::Vertical);
    EXPECT_EQ(window.progressBar(ids::kProgress)->position(), 0);

    EXPECT_EQ(window.focusWidget(), window.control(ids::kExit));
    EXPECT_TRUE(window.edit(ids::kCapacityField)->isReadOnly());
    EXPECT_EQ(window.edit(ids::kEndField)->text(), QStringLiteral("40000"));
    EXPECT_TRUE(rig.exit.codes.empty());
}

TEST(WindowStartUp, TabOrderFollowsTheTemplate) {
    WindowRig rig(TwoDrives());
    ASSERT_TRUE(rig.start());
    std::vector<QWidget*> order;
    QWidget* widget = rig.window->control(ids::kExit);
    for (int i = 0; i < 9; ++i) {
        order.push_back(widget);
        do widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || !widget->isVisible() || widget->parentWidget() != rig.window.get());
    }
    const std::vector<QWidget*> expected = {
        rig.window->control(ids::kExit),       rig.window->control(ids::kScan),
        rig.window->control(ids::kInfoList),   rig.window->control(ids::kStartField),
        rig.window->control(ids::kEndField),   rig.window->control(ids::kCapacityField),
        rig.window->control(ids::kDriveList),  rig.window->control(ids::kAttributeView),
        rig.window->control(ids::kOpenSession)};
    EXPECT_EQ(order, expected);
}

TEST(WindowStartUp, RefusesVersions4And6BeforeAnyDriveIsOpened) {
    for (const char* version : {"4.0", "6.1"}) {
        SCOPED_TRACE(version);
        WindowRig rig(TwoDrives(version));
        ModalAnswerer answerer(rig, 10000);
        EXPECT_FALSE(rig.window->initialise());

        ASSERT_EQ(answerer.seen.size(), 1u);
        EXPECT_EQ(answerer.seen[0].caption, QStringLiteral("Varim Hard Disk Recovery"));
        EXPECT_TRUE(answerer.seen[0].text.startsWith(
            QStringLiteral("This program is not compatible with your current operating system. Please visit ")));
        EXPECT_TRUE(answerer.seen[0].text.endsWith(QStringLiteral(" for updates.")));
        EXPECT_FALSE(answerer.seen[0].ownerVisible);
        EXPECT_EQ(answerer.seen[0].answer, QMessageBox::Ok);
        EXPECT_EQ(rig.exit.codes, std::vector<int>{0});
        for (const platform::sim::CallRecord& call : rig.machine->calls()) EXPECT_NE(call.operation, "createFile");
        EXPECT_EQ(rig.window->listBox(ids::kDriveList)->count(), 0);
    }
}

TEST(WindowStartUp, AcceptsMajorVersion5WhateverTheMinor) {
    WindowRig rig(TwoDrives("5.2"));
    ModalAnswerer answerer(rig, 10000);
    EXPECT_TRUE(rig.start());
    EXPECT_TRUE(answerer.seen.empty());
    EXPECT_EQ(rig.window->listBox(ids::kDriveList)->count(), 2);
}

TEST(WindowStartUp, NoDriveThatOpensGivesAnEmptyList) {
    WindowRig rig(MachineText({{0, 1000, "LOCKED", {}, "OpenError = 5\n"}}));
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(rig.window->listBox(ids::kDriveList)->count(), 0);
    EXPECT_TRUE(rig.window->control(ids::kScan)->isVisible());
}

TEST(WindowExit, EnterAnywhereIsTheExitCommand) {
    for (int id : {ids::kStartField, ids::kDriveList, ids::kAttributeView, ids::kScan, ids::kInfoList}) {
        SCOPED_TRACE(id);
        WindowRig rig(TwoDrives());
        ASSERT_TRUE(rig.start());
        QTest::keyClick(rig.window->control(id), Qt::Key_Return);
        EXPECT_EQ(rig.exit.codes, std::vector<int>{0});
        QTest::keyClick(rig.window->control(id), Qt::Key_Enter);
        EXPECT_EQ(rig.exit.codes, (std::vector<int>{0, 0}));
        EXPECT_TRUE(rig.dialog->scanState().stopRequested);
    }
}

TEST(WindowExit, ExitButtonCloseBoxAndEndTheProcessAtOnceWhenIdle) {
    WindowRig rig(TwoDrives());
    ASSERT_TRUE(rig.start());
    rig.click(ids::kExit);
    EXPECT_EQ(rig.exit.codes, std::vector<int>{0});
    rig.window->close();  // the close box and Alt+F4 arrive as a close event
    EXPECT_EQ(rig.exit.codes, (std::vector<int>{0, 0}));
    EXPECT_TRUE(rig.window->isVisible()) << "only ExitNow ends the run, never a plain close";
}

TEST(WindowExit, EscapeEndsTheModalRunWithoutExitNow) {
    WindowRig rig(TwoDrives());
    ASSERT_TRUE(rig.start());
    QTimer::singleShot(0, [&] { QTest::keyClick(rig.window->control(ids::kDriveList), Qt::Key_Escape); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { rig.window->done(99); });
    watchdog.start(10000);
    EXPECT_EQ(rig.window->exec(), ids::kCancel);
    EXPECT_TRUE(rig.exit.codes.empty());
    EXPECT_FALSE(rig.window->isVisible());
}

TEST(WindowExit, TerminationSignalsArriveAsCloseRequests) {
    qtui::SignalBridge bridge;
    ASSERT_TRUE(bridge.active());
    std::vector<int> received;
    QObject::connect(&bridge, &qtui::SignalBridge::closeRequested, [&](int number) { received.push_back(number); });
    std::raise(SIGTERM);
    std::raise(SIGINT);
    std::raise(SIGHUP);
    EXPECT_TRUE(uitest::WaitFor([&] { return received.size() == 3; }, 5000));
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
}
