// The main window's start-up, drive list, range fields, attribute view and exit, over a
// simulated machine and a recording fake window.
#include "app/main_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dialog_harness.h"
#include "health/attribute_catalogue.h"
#include "platform/durable_folder.h"
#include "scan/repair_journal.h"

namespace {

using apptest::DialogHarness;
using apptest::SmartDrive;
namespace ids = app::ids;
using Strings = std::vector<std::string>;

const char* const kScanTip =
    "Scan and repair all hard disk surface. You will be asked to choose a all-surface-repair or standard scan and "
    "repair.";
const char* const kOpenTip = "Open a session previously saved. The scanning process will start from previously state.";

const Strings kHelp = {
    "The S.M.A.R.T. details for the selected hard disk is displayed",
    "above. Press on each smart attribute to see more information.",
    "In order to repair hard disk select one in the list and press",
    "Scan",
};

// 194 at 38 degrees, 9 at 1234 hours (worst 97).
const char* const kTwoAttributes =
    "Attribute.0 = 194, 0x0022, 100, 100, 38 0 0 0 0 0\n"
    "Attribute.1 = 9, 0x0032, 97, 97, 210 4 0 0 0 0\n";

std::string Machine(std::string_view header, std::initializer_list<std::string> drives) {
    std::string text = "[Machine]\n" + std::string(header) + "\n";
    for (const std::string& drive : drives) text += drive + "\n";
    return text;
}

TEST(MainDialogStartUp, RunsEveryStepInOrderOverTheWindow) {
    DialogHarness h(Machine("", {SmartDrive(0, "WDC WD5000AAKX-00ERMA0", 20000, kTwoAttributes)}));
    ASSERT_TRUE(h.Start());

    Strings log;
    for (const auto& call : h.surface.log) log.push_back(call.text);
    const Strings expected = {
        "setSliderTickFrequency 1000 20",
        "setWindowIcon",
        "setSliderThumbColours 1001 C40000 FF0000",
        "setSliderThumbColours 1000 C4C4 FFFF",
        "setProgressPosition 1015 0",
        "showControl 1015 0",
        "setTitle Varim Hard Disk Repair 4.1",
        "listAddString 1016 Drive 0 WDC WD5000AAKX-00ERMA0",
        "listSetItemData 1016 0 0",
        "loadBackground 158",
        std::string("setUpHoverButton 1009 152 ") + kScanTip,
        "setUpHoverButton 1008 153 Performs hdd speed testing",
        "setUpHoverButton 1 155 Exit",
        "setUpHoverButton 1023 156 Stop",
        "showControl 1023 0",
        std::string("setUpHoverButton 1024 157 ") + kOpenTip,
        "listSetSelection 1016 0",
        "viewDeleteAllItems 1021",
        "viewAddExtendedStyle 1021 289",
        "viewInsertColumn 1021 0 AttibId 80",
        "viewInsertColumn 1021 1 Name 160",
        "viewInsertColumn 1021 2 Current state 80",
        "viewInsertColumn 1021 3 Value 80",
        "listClear 1011",
        "listAddString 1011 " + kHelp[0],
        "listAddString 1011 " + kHelp[1],
        "listAddString 1011 " + kHelp[2],
        "listAddString 1011 " + kHelp[3],
        "setControlText 1012 0",
        "setControlText 1013 20000",
        "setControlText 1014 9.765625",
        "viewDeleteAllItems 1021",
        "viewInsertItem 1021 0 194",
        "viewInsertItem 1021 1 009",
    };
    EXPECT_EQ(log, expected);

    // The three enumerations fall between the window steps that need them.
    auto enumerationsBefore = [&](const std::string& call) {
        const int index = h.surface.IndexOf(call);
        EXPECT_GE(index, 0) << call;
        return h.CountCalls("getLogicalDrives", h.surface.log[static_cast<std::size_t>(index)].kernelCalls);
    };
    EXPECT_EQ(enumerationsBefore("setTitle Varim Hard Disk Repair 4.1"), 0);
    EXPECT_EQ(enumerationsBefore("listAddString 1016 Drive 0 WDC WD5000AAKX-00ERMA0"), 1);
    EXPECT_EQ(enumerationsBefore("loadBackground 158"), 1);
    EXPECT_EQ(enumerationsBefore("listSetSelection 1016 0"), 2);
    EXPECT_EQ(enumerationsBefore("setControlText 1012 0"), 2);
    EXPECT_EQ(enumerationsBefore("viewInsertItem 1021 0 194"), 3);
    // All fifty drive numbers were tried with the sector profile (inheritable handle, no flags).
    int sectorOpens = 0;
    for (const auto& call : h.kernel->calls())
        if (call.operation == "createFile" && call.inheritHandle && call.flagsAndAttributes == 0) ++sectorOpens;
    EXPECT_EQ(sectorOpens, 50 + 1);  // the list, then the selection
    EXPECT_EQ(h.kernel->openHandleCount(), 0u);

    EXPECT_TRUE(h.exit.codes.empty());
    EXPECT_EQ(h.dialog->driveNumber(), 0);
    EXPECT_EQ(h.dialog->scanFields().temperatureAlarm, 0);
    EXPECT_FALSE(h.surface.control(ids::kStop).shown);
    EXPECT_TRUE(h.surface.control(ids::kScan).shown);
    EXPECT_EQ(h.surface.control(ids::kProgress).tickFrequency, 0);
    EXPECT_EQ(h.surface.control(ids::kSlider1).tickFrequency, 20);
}

TEST(MainDialogStartUp, ARepairACrashInterruptedIsNamedAndWrittenBackOnlyWhenTheUserAgrees) {
    for (const int answer : {platform::IDYES, platform::IDNO}) {
        SCOPED_TRACE(answer == platform::IDYES ? "yes" : "no");
        DialogHarness h(Machine("", {SmartDrive(0, "SIMDISK", 2000, kTwoAttributes)}));
        std::vector<std::uint8_t> content(100 * 512);
        for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i % 251 + 1);
        h.kernel->pokeSectors(0, 500, content);
        platform::MemoryDurableFolder folder;
        {
            // The repair saved the block, zeroed part of it, and the process died.
            disk::DriveAccess drives(*h.kernel);
            const platform::Handle handle = drives.OpenDrive(0, disk::OpenProfile::Sector);
            std::string identity;
            ASSERT_TRUE(drives.DriveIdentity(handle, identity));
            drives.CloseDrive(handle);
            scan::RepairJournal journal(folder);
            journal.Attach(0, identity);
            std::array<bool, 100> readable{};
            readable.fill(true);
            ASSERT_TRUE(journal.Record(500, 100, content.data(), readable));
            h.kernel->pokeSectors(0, 500, std::vector<std::uint8_t>(60 * 512, 0));
        }
        const std::vector<std::uint8_t> afterCrash = h.kernel->peekSectors(0, 500, 100);
        h.kernel->clearCalls();
        std::string question;
        h.surface.answerMessageBox = [&](const testsupport::MessageBoxCall& call) {
            if (call.type == platform::MB_YESNO) {
                question = call.text;
                // Asking comes before any write.
                for (const auto& made : h.kernel->calls()) EXPECT_NE(made.operation, "writeFile");
                return answer;
            }
            return platform::IDOK;
        };
        h.dialog = std::make_unique<app::MainDialog>(
            app::DialogServices{*h.kernel, *h.kernel, h.exit, h.clock, "/nonexistent/varim-repair", 0, &folder});
        ASSERT_TRUE(h.Start());

        EXPECT_NE(question.find("Drive 0, sectors 500-599"), std::string::npos) << question;
        if (answer == platform::IDNO) {
            EXPECT_EQ(h.kernel->peekSectors(0, 500, 100), afterCrash);
            EXPECT_EQ(folder.entries().size(), 1u);
            for (const auto& made : h.kernel->calls()) EXPECT_NE(made.operation, "writeFile");
            continue;
        }
        EXPECT_EQ(h.kernel->peekSectors(0, 500, 100), content);
        EXPECT_TRUE(folder.entries().empty());
        Strings log;
        for (const auto& call : h.surface.log) log.push_back(call.text);
        const auto box = std::find_if(log.begin(), log.end(), [](const std::string& line) {
            return line.find("Drive 0: the block at sector 500 (100 sectors) got its content back") != std::string::npos;
        });
        ASSERT_NE(box, log.end()) << ::testing::PrintToString(log);
        EXPECT_LT(box - log.begin(),
                  std::find(log.begin(), log.end(), "listAddString 1016 Drive 0 SIMDISK") - log.begin());
    }
}

TEST(MainDialogStartUp, ConstructionLoadsTheSettingsBesideTheExecutableAndTouchesNoDrive) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("varim-settings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "varim.ini") << "[General]\nMax Attributes=1\n[Attrib0]\nId=194\nCritical=1\nName=Heat\n";
    std::string error;
    auto kernel = platform::sim::SimulatedKernel::fromText(Machine("", {SmartDrive(0, "DISK", 20000, kTwoAttributes)}),
                                                           ".", "machine.ini", error);
    ASSERT_NE(kernel, nullptr) << error;
    apptest::RecordingExit exit;
    platform::SystemClock clock;
    app::MainDialog dialog(app::DialogServices{*kernel, *kernel, exit, clock, (dir / "varim.exe").string()});
    const health::AttributeSetting* setting = dialog.driveTable().settings().FindSetting(194);
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->critical, 1);
    EXPECT_EQ(setting->name, "Heat");
    EXPECT_TRUE(kernel->calls().empty());
    std::filesystem::remove_all(dir);
}

class OperatingSystemCheck : public ::testing::TestWithParam<const char*> {};

TEST_P(OperatingSystemCheck, OtherMajorVersionsAreRefusedBeforeAnyDriveIsTouched) {
    DialogHarness h(Machine(std::string("Version = ") + GetParam(), {SmartDrive(0, "DISK", 20000, kTwoAttributes)}));
    EXPECT_FALSE(h.Start());
    ASSERT_EQ(h.surface.messageBoxes.size(), 1u);
    EXPECT_EQ(h.surface.messageBoxes[0].text,
              "This program is not compatible with your current operating system. Please visit "
              "https://varim.example/hdd-repair for updates.");
    EXPECT_EQ(h.surface.messageBoxes[0].caption, "Varim Hard Disk Recovery");
    EXPECT_EQ(h.surface.messageBoxes[0].type, 0u);
    EXPECT_EQ(h.exit.codes, std::vector<int>{0});
    EXPECT_TRUE(h.kernel->calls().empty());
    // Nothing after the message box ran.
    EXPECT_EQ(h.surface.log.back().text.rfind("messageBox ", 0), 0u);
    EXPECT_TRUE(h.surface.titles.empty());
}

INSTANTIATE_TEST_SUITE_P(Refused, OperatingSystemCheck, ::testing::Values("4.0", "6.0", "6.1", "4.10", "10.0"));

TEST(MainDialogStartUp, MajorVersion5OpensWhateverTheMinorVersion) {
    for (const char* version : {"5.0", "5.1", "5.2"}) {
        SCOPED_TRACE(version);
        DialogHarness h(Machine(std::string("Version = ") + version, {SmartDrive(0, "DISK", 20000, kTwoAttributes)}));
        EXPECT_TRUE(h.Start());
        EXPECT_TRUE(h.surface.messageBoxes.empty());
        EXPECT_TRUE(h.exit.codes.empty());
        EXPECT_EQ(h.surface.currentTitle, "Varim Hard Disk Repair 4.1");
    }
}

TEST(MainDialogStartUp, NoDriveAtAllStillOpensTheWindow) {
    DialogHarness h("[Machine]\nLetters = E:cdrom\n");
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(h.Items(ids::kDriveList).empty());
    EXPECT_EQ(h.surface.listSelection(ids::kDriveList), -1);
    EXPECT_EQ(h.Items(ids::kInfoList), kHelp);
    EXPECT_EQ(h.surface.control(ids::kAttributeView).columns.size(), 4u);
    EXPECT_TRUE(h.surface.control(ids::kAttributeView).rows.empty());
    // Without a selection the range and capacity fields are left as they are.
    EXPECT_EQ(h.Text(ids::kEndField), "");
    EXPECT_EQ(h.Text(ids::kCapacityField), "");
    EXPECT_EQ(h.dialog->driveNumber(), 0);
    EXPECT_EQ(h.surface.IndexOf("listSetSelection 1016 0"), -1);
}

TEST(DriveList, AbsentNumbersAreSkippedAndSelectingAnEntryWorksOnItsDrive) {
    // Letters C and E: drives 0 and 2. Drive 2 is named by its own record although only two
    // drives answered (drive 1 does not exist).
    DialogHarness h(Machine("Letters = C:fixed E:fixed",
                            {SmartDrive(0, "DISK ZERO", 20000, kTwoAttributes),
                             SmartDrive(2, "DISK TWO", 30000, "Attribute.0 = 5, 0x0033, 100, 99, 7 0 0 0 0 0\n")}));
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.Items(ids::kDriveList), (Strings{"Drive 0 DISK ZERO", "Drive 2 DISK TWO"}));
    EXPECT_EQ(h.surface.control(ids::kDriveList).itemData, (std::vector<std::intptr_t>{0, 2}));
    EXPECT_EQ(h.dialog->modelTextOf(0), "DISK ZERO");
    EXPECT_EQ(h.dialog->modelTextOf(2), "DISK TWO");
    EXPECT_EQ(h.dialog->modelTextOf(1), "");

    h.Select(1);
    EXPECT_EQ(h.dialog->driveNumber(), 2);
    EXPECT_EQ(h.Text(ids::kStartField), "0");
    EXPECT_EQ(h.Text(ids::kEndField), "30000");
    ASSERT_EQ(h.surface.control(ids::kAttributeView).rows.size(), 1u);
    EXPECT_EQ(h.surface.control(ids::kAttributeView).rows[0][0], "005");
    EXPECT_EQ(h.surface.control(ids::kAttributeView).rows[0][3], "99");
}

TEST(DriveList, DriveTenSortsBetweenOneAndTwoAndOpensThroughItsOwnPath) {
    DialogHarness h(Machine("Letters = C:fixed D:fixed E:fixed M:fixed",
                            {SmartDrive(0, "A0", 20000, kTwoAttributes), SmartDrive(1, "B1", 20000, kTwoAttributes),
                             SmartDrive(2, "C2", 20000, kTwoAttributes), SmartDrive(10, "K10", 40000, kTwoAttributes)}));
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.Items(ids::kDriveList), (Strings{"Drive 0 A0", "Drive 1 B1", "Drive 10 K10", "Drive 2 C2"}));
    EXPECT_EQ(h.surface.control(ids::kDriveList).itemData, (std::vector<std::intptr_t>{0, 1, 10, 2}));

    h.kernel->clearCalls();
    h.Select(2);
    EXPECT_EQ(h.dialog->driveNumber(), 10);
    EXPECT_EQ(h.Text(ids::kEndField), "40000");
    ASSERT_FALSE(h.kernel->calls().empty());
    EXPECT_EQ(h.kernel->calls()[0].operation, "createFile");
    EXPECT_EQ(h.kernel->calls()[0].path, "\\\\.\\PHYSICALDRIVE10");
}

TEST(DriveList, NumbersWithoutARecordAreListedWithoutModelAndShowNoAttributes) {
    DialogHarness h(Machine("Letters = C:fixed", {SmartDrive(0, "DISK ZERO", 20000, kTwoAttributes),
                                                  "[Drive40]\nSectors = 81920\n"}));
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.Items(ids::kDriveList), (Strings{"Drive 0 DISK ZERO", "Drive 40 "}));
    h.ClickRow(0);
    h.Select(1);
    EXPECT_EQ(h.dialog->driveNumber(), 40);
    EXPECT_EQ(h.Text(ids::kEndField), "81920");
    EXPECT_EQ(h.Text(ids::kCapacityField), "40.000000");
    EXPECT_TRUE(h.surface.control(ids::kAttributeView).rows.empty());
    EXPECT_EQ(h.Items(ids::kInfoList), kHelp);
    EXPECT_EQ(h.dialog->modelTextOf(40), "");
    // The indicators treat it as a drive without a temperature.
    EXPECT_FALSE(h.dialog->PaintIndicators().drawValues);
}

TEST(DriveList, RangeAndCapacityFieldsFollowTheGeometry) {
    struct Case {
        std::uint64_t sectors;
        const char* end;
        const char* capacity;
    };
    // The last one is over 2^32 sectors: the full size, not a wrapped 32-bit product.
    for (const Case& c : {Case{160086528, "160086528", "78167.250000"}, Case{2147483648ull, "2147483648", "1048576.000000"},
                          Case{5000000000ull, "5000000000", "2441406.250000"}}) {
        SCOPED_TRACE(c.end);
        DialogHarness h(Machine("", {SmartDrive(0, "BIG", c.sectors, kTwoAttributes)}));
        ASSERT_TRUE(h.Start());
        EXPECT_EQ(h.Text(ids::kStartField), "0");
        EXPECT_EQ(h.Text(ids::kEndField), c.end);
        EXPECT_EQ(h.Text(ids::kCapacityField), c.capacity);
        EXPECT_DOUBLE_EQ(h.dialog->capacityMb(), std::stod(c.capacity));
    }
}

TEST(AttributeView, ColumnsAreRebuiltFromTheClientWidthAndRowsFollowThePage) {
    DialogHarness h(Machine("", {SmartDrive(0, "DISK", 20000,
                                            std::string(kTwoAttributes) +
                                                "Attribute.4 = 251, 0x0000, 100, 100, 0 0 0 0 0 0\n")}));
    testsupport::FakeControl& view = h.surface.control(ids::kAttributeView);
    view.clientWidth = 333;
    view.columns = {{"old", 10}, {"older", 20}};
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(view.columns, (std::vector<std::pair<std::string, int>>{
                                {"AttibId", 66}, {"Name", 133}, {"Current state", 66}, {"Value", 66}}));
    EXPECT_EQ(view.extendedStyle & 0x121u, 0x121u);

    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();
    ASSERT_EQ(view.rows.size(), 3u);
    EXPECT_EQ(view.rows[1], (Strings{"009", std::string(catalogue.AttributeName(9)), "1234", "97"}));
    EXPECT_EQ(view.rows[0][0], "194");
    EXPECT_EQ(view.rows[2], (Strings{"251", "Unknown attribute", "0", "100"}));
}

TEST(AttributeView, ClickingARowShowsItsWrappedDescriptionOnce) {
    DialogHarness h(Machine("", {SmartDrive(0, "DISK", 20000,
                                            "Attribute.0 = 1, 0x000F, 100, 100, 0 0 0 0 0 0\n"
                                            "Attribute.1 = 2, 0x0005, 100, 100, 0 0 0 0 0 0\n"
                                            "Attribute.2 = 253, 0x0000, 100, 100, 0 0 0 0 0 0\n")}));
    ASSERT_TRUE(h.Start());
    const Strings first = {"Indicates the rate of hardware read errors that occurred",
                           " when reading data from a disk surface."};
    h.ClickRow(0);
    EXPECT_EQ(h.Items(ids::kInfoList), first);
    h.ClickRow(0);
    EXPECT_EQ(h.Items(ids::kInfoList), first);
    h.ClickRow(1);
    EXPECT_EQ(h.Items(ids::kInfoList), (Strings{"Overall throughput performance of a hard", " disk drive."}));
    h.ClickRow(2);
    EXPECT_EQ(h.Items(ids::kInfoList), (Strings{"Unknown S.M.A.R.T. detail"}));
    h.ClickRow(-1);
    EXPECT_TRUE(h.Items(ids::kInfoList).empty());
    h.ClickRow(7);  // a row the drive does not have
    EXPECT_TRUE(h.Items(ids::kInfoList).empty());
}

TEST(AttributeView, DriveWithoutSmartShowsNothingAndAClickOnlyEmptiesTheList) {
    DialogHarness h(Machine("", {"[Drive0]\nSectors = 20000\nSmart = none\n"}));
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.Items(ids::kDriveList), (Strings{"Drive 0 "}));
    EXPECT_TRUE(h.surface.control(ids::kAttributeView).rows.empty());
    h.ClickRow(0);
    EXPECT_TRUE(h.Items(ids::kInfoList).empty());
}

TEST(Indicators, PaintStoresTheAlarmsWhereTheScanReadsThem) {
    DialogHarness h(Machine("Letters = C:fixed D:fixed",
                            {SmartDrive(0, "HOT DISK", 20000, "Attribute.0 = 194, 0x0022, 58, 58, 58 0 0 0 0 0\n"),
                             SmartDrive(1, "WORN DISK", 20000,
                                        "Attribute.0 = 194, 0x0022, 100, 100, 41 0 0 0 0 0\n"
                                        "Attribute.1 = 5, 0x0033, 90, 90, 45 0 0 0 0 0\n")}));
    ASSERT_TRUE(h.Start());
    // Nothing is evaluated before the first paint.
    EXPECT_EQ(h.dialog->scanFields().temperatureAlarm, 0);

    app::IndicatorPaint paint = h.dialog->PaintIndicators();
    EXPECT_TRUE(paint.drawValues);
    EXPECT_EQ(paint.state.celsiusText, "58 \xB0 C");
    EXPECT_EQ(h.dialog->scanFields().temperatureAlarm, 1);
    EXPECT_EQ(h.dialog->scanState().backupAlarm, 0);
    EXPECT_EQ(h.dialog->indicators().statusText, "OK");

    // A new selection shows on the next paint; the hot alarm stays until a scan has warned.
    h.Select(1);
    paint = h.dialog->PaintIndicators();
    EXPECT_EQ(paint.state.celsiusText, "41 \xB0 C");
    EXPECT_EQ(h.dialog->indicators().statusText, "Bad");
    EXPECT_EQ(h.dialog->scanState().backupAlarm, 1);
    EXPECT_EQ(h.dialog->scanFields().temperatureAlarm, 1);
    EXPECT_EQ(h.dialog->scanFields().warningDrive, 1);

    // The scan warns with both flags (the end field is refused so nothing is scanned).
    h.surface.setControlText(ids::kEndField, "12a");
    h.dialog->OnScan();
    const Strings messages = h.surface.messageTexts();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0],
              "You should Backup you data IMEDIATELY from hard disk: WORN DISK! Smart attributes show wrong value! ");
    EXPECT_EQ(messages[1],
              "The hard disk WORN DISK temperature is too higher. Check case air cooling system or install a "
              "suplimentary fan! ");
    EXPECT_EQ(messages[2], "Start sector is not a valid numeric value");
    EXPECT_EQ(h.dialog->scanFields().temperatureAlarm, 0);
    EXPECT_EQ(h.dialog->indicators().temperatureAlarm, 0);
}

TEST(SpeedTest, ShowsBothZonesInAMessageBoxAndWritesNothing) {
    DialogHarness h(Machine("", {SmartDrive(0, "DISK", 20000, kTwoAttributes)}));
    ASSERT_TRUE(h.Start());
    h.kernel->clearCalls();
    const scan::SpeedResult result = h.dialog->OnTestSpeed();
    EXPECT_TRUE(result.opened);
    ASSERT_EQ(h.surface.messageBoxes.size(), 1u);
    EXPECT_EQ(h.surface.messageBoxes[0].caption, "Varim Hard Disk Repair");
    EXPECT_EQ(h.surface.messageBoxes[0].text.rfind("Read speed of zone 1 (from sector 0): ", 0), 0u);
    EXPECT_NE(h.surface.messageBoxes[0].text.find("\nRead speed of zone 2"), std::string::npos);
    for (const auto& call : h.kernel->calls()) EXPECT_NE(call.operation, "writeFile");
    EXPECT_EQ(h.kernel->openHandleCount(), 0u);
}

TEST(DriveList, ASelectionArrivingDuringAScanChangesNothing) {
    DialogHarness h(Machine("Letters = C:fixed D:fixed", {SmartDrive(0, "DISK ZERO", 2000, kTwoAttributes),
                                                          SmartDrive(1, "DISK ONE", 4000, kTwoAttributes)}));
    ASSERT_TRUE(h.Start());
    h.kernel->clearCalls();
    h.surface.onPump = [&](int step) {
        if (step == 3) h.Select(1);
    };
    h.dialog->OnScan();
    EXPECT_TRUE(h.dialog->lastScan().completed);
    EXPECT_EQ(h.dialog->driveNumber(), 0);
    EXPECT_EQ(h.Text(ids::kEndField), "2000");
    for (const auto& call : h.kernel->calls()) {
        EXPECT_NE(call.operation, "getLogicalDrives");
        EXPECT_NE(call.path, "\\\\.\\PHYSICALDRIVE1");
    }
}

TEST(ExitNow, WhileIdleTheProcessEndsAtOnce) {
    DialogHarness h(Machine("", {SmartDrive(0, "DISK", 20000, kTwoAttributes)}));
    ASSERT_TRUE(h.Start());
    h.dialog->ExitNow();
    EXPECT_EQ(h.exit.codes, std::vector<int>{0});
    EXPECT_TRUE(h.dialog->scanState().stopRequested);
    EXPECT_FALSE(h.dialog->exitPending());
}

}  // namespace

TEST(DriveList, SelectingADriveRepaintsThePanelsForIt) {
    DialogHarness h(Machine("Letters = C:fixed D:fixed",
                            {SmartDrive(0, "A0", 20000, kTwoAttributes), SmartDrive(1, "B1", 20000, kTwoAttributes)}));
    ASSERT_TRUE(h.Start());
    const int before = h.surface.repaints;
    h.Select(1);
    EXPECT_EQ(h.dialog->driveNumber(), 1);
    EXPECT_GT(h.surface.repaints, before);
}
