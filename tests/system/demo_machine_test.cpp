// The built-in demo machine: it parses, and its drives show the states it is meant to show.
#include <gtest/gtest.h>

#include <sstream>

#include "app/demo_machine.h"
#include "dialog_harness.h"

namespace {

using apptest::DialogHarness;
namespace ids = app::ids;

// The demo without its transfer delays, so the whole-drive scan is quick here.
std::string FastDemo() {
    std::istringstream lines{std::string(app::DemoMachineText())};
    std::string fast;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Latency", 0) != 0) fast += line + '\n';
    return fast;
}

TEST(DemoMachine, ListsSixDrivesThatShowEveryIndicatorState) {
    DialogHarness h(app::DemoMachineText());
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.Items(ids::kDriveList),
              (std::vector<std::string>{"Drive 0 WDC WD5000AAKX-00ERMA0", "Drive 1 ST3500418AS", "Drive 2 SAMSUNG HD502HJ",
                                        "Drive 3 Hitachi HDS721010CLA332", "Drive 4 ",
                                        "Drive 5 Samsung SSD 970 EVO Plus 500GB"}));

    h.Select(0);
    app::IndicatorPaint paint = h.dialog->PaintIndicators();
    EXPECT_TRUE(paint.drawValues);
    EXPECT_EQ(paint.state.statusText, "OK");
    EXPECT_EQ(paint.state.hoursText, "1234");
    EXPECT_EQ(paint.state.temperatureAlarm, 0);

    h.Select(1);
    paint = h.dialog->PaintIndicators();
    EXPECT_EQ(paint.state.celsiusText, "58 \xB0 C");
    EXPECT_EQ(paint.state.temperatureAlarm, 1);
    EXPECT_EQ(paint.state.statusText, "OK");

    h.Select(2);
    paint = h.dialog->PaintIndicators();
    EXPECT_EQ(paint.state.statusText, "Bad");
    EXPECT_EQ(h.dialog->scanState().backupAlarm, 1);

    h.Select(3);
    paint = h.dialog->PaintIndicators();
    EXPECT_EQ(paint.state.statusText, "OK");
    EXPECT_EQ(h.dialog->scanState().backupAlarm, 0);
    EXPECT_EQ(h.Text(ids::kEndField), "20000");

    h.Select(4);
    EXPECT_TRUE(h.surface.control(ids::kAttributeView).rows.empty());
    EXPECT_FALSE(h.dialog->PaintIndicators().drawValues);

    // The NVMe drive: one row per health-log field, raw values as logged, its panels from the log.
    h.Select(5);
    const auto& rows = h.surface.control(ids::kAttributeView).rows;
    ASSERT_EQ(rows.size(), 15u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"001", "Critical Warning", "0", ""}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"002", "Composite Temperature", "314", ""}));
    EXPECT_EQ(rows[11], (std::vector<std::string>{"012", "Power On Hours", "5311", ""}));
    EXPECT_EQ(rows[14][1], "Error Information Log Entries");
    paint = h.dialog->PaintIndicators();
    EXPECT_EQ(paint.state.celsiusText, "41 \xB0 C");
    EXPECT_EQ(paint.state.statusText, "OK");
    EXPECT_EQ(paint.state.hoursText, "5311");
    h.ClickRow(13);
    EXPECT_EQ(h.Items(ids::kInfoList).front().rfind("Count of unrecovered data integrity errors", 0), 0u);
}

TEST(DemoMachine, TheFaultyDriveScansToTheEndFindingAndRepairingBlocks) {
    DialogHarness h(FastDemo());
    ASSERT_TRUE(h.Start());
    h.Select(3);
    h.dialog->OnScan();
    const scan::ScanOutcome& outcome = h.dialog->lastScan();
    EXPECT_TRUE(outcome.completed);
    const std::vector<std::string> listed = h.Items(ids::kInfoList);
    for (const char* entry : {"Bad sector LBA: 1000", "Bad sector LBA: 8000", "Bad sector LBA: 9000",
                              "Bad sector LBA: 15000"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), entry), listed.end()) << entry;
    EXPECT_GE(h.dialog->scanState().badCount, 4);
    EXPECT_GE(h.dialog->scanState().repairedCount, 1);
    EXPECT_EQ(h.kernel->openHandleCount(), 0u);
}

}  // namespace
