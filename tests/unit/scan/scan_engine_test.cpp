// The Scan command's sequence: warnings, range fields, refusals, window states, the blocks it
// walks and the end message.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win_types.h"
#include "scan_rig.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using scan::ScanMode;

const char* const kCaption = "Varim Hard Disk Repair";
const char* const kModeQuestion =
    "Do you want to regenerate all hard disk surface (this method allows to repair instable sectors but is "
    "time consuming) or to perform standard scan&repair (faster method)? Press yes if you want to generate "
    "all surface or no if you want to perform a standard scan&repair!";

// The whole-block transfers of the main path: read, write back, re-read at each block.
std::vector<std::uint64_t> MainPathBlocks(const std::vector<Transfer>& transfers) {
    std::vector<std::uint64_t> blocks;
    for (std::size_t i = 0; i + 2 < transfers.size(); ++i) {
        const Transfer& a = transfers[i];
        const Transfer& b = transfers[i + 1];
        const Transfer& c = transfers[i + 2];
        if (!a.write && b.write && !c.write && a.sector == b.sector && b.sector == c.sector &&
            a.sectors == b.sectors && b.sectors == c.sectors && a.sectors > 1) {
            blocks.push_back(a.sector);
            i += 2;
        }
    }
    return blocks;
}

TEST(ScanBlocks, ZeroToThousandScansTwelveBlocksOfWholeTransfers) {
    ScanRig rig("", 2000);
    const scan::ScanOutcome outcome = rig.Run("0", "1000");

    const std::vector<Transfer> transfers = rig.Transfers();
    ASSERT_EQ(transfers.size(), 36u);
    for (std::size_t block = 0; block < 12; ++block) {
        for (std::size_t step = 0; step < 3; ++step) {
            const Transfer& t = transfers[block * 3 + step];
            EXPECT_EQ(t.sector, block * 100) << "block " << block << " step " << step;
            EXPECT_EQ(t.sectors, 100u);
            EXPECT_EQ(t.write, step == 1);
            EXPECT_TRUE(t.ok);
        }
    }
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.message, " Process completed 0 bads found and 0 repaired. ");
    EXPECT_EQ(rig.surface.messageBoxes.back().caption, kCaption);
    EXPECT_EQ(rig.surface.messageBoxes.back().type, platform::MB_OK);
    EXPECT_EQ(rig.state.currentLba, 1100);
    EXPECT_EQ(rig.fields.scanStart, 0);
    EXPECT_EQ(rig.fields.scanEnd, 1000);
    // One pump per block on the main path; the bar follows the block against the end sector.
    EXPECT_EQ(rig.surface.pumpSteps, 12);
    EXPECT_THAT(rig.surface.control(kProgress).positionHistory,
                ElementsAre(0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110));
    EXPECT_EQ(rig.kernel->openHandleCount(), 0u);
}

TEST(ScanBlocks, EqualStartAndEndScanTheBlocksAtThatSectorAndAHundredOn) {
    ScanRig rig("", 2000);
    const scan::ScanOutcome outcome = rig.Run("1000", "1000");
    EXPECT_THAT(MainPathBlocks(rig.Transfers()), ElementsAre(1000u, 1100u));
    EXPECT_TRUE(outcome.completed);
}

TEST(ScanBlocks, DriveIsOpenedWithTheSectorProfileAndClaimedBeforeAnyWrite) {
    ScanRig rig("");
    rig.Run("0", "100");
    const auto& calls = rig.kernel->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().operation, "createFile");
    EXPECT_EQ(calls.front().path, "\\\\.\\PHYSICALDRIVE0");
    EXPECT_TRUE(calls.front().inheritHandle);
    std::size_t claim = calls.size(), firstWrite = calls.size();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].operation == "claimForWriting" && claim == calls.size()) claim = i;
        if (calls[i].operation == "writeFile" && firstWrite == calls.size()) firstWrite = i;
    }
    EXPECT_LT(claim, firstWrite);
    EXPECT_EQ(calls.back().operation, "closeHandle");
}

TEST(ScanBlocks, ModeQuestionChoosesRegenerateOnYesAndStandardOtherwise) {
    ScanRig standard("");
    EXPECT_EQ(standard.Run("0", "0", ScanMode::Standard).mode, ScanMode::Standard);
    ScanRig regenerate("");
    EXPECT_EQ(regenerate.Run("0", "0", ScanMode::Regenerate).mode, ScanMode::Regenerate);

    const auto& question = regenerate.surface.messageBoxes.front();
    EXPECT_EQ(question.text, kModeQuestion);
    EXPECT_EQ(question.caption, kCaption);
    EXPECT_EQ(question.type, platform::MB_YESNO);
    // Regenerate repairs every block: two passes of single-sector zero writes each.
    int singleWrites = 0;
    for (const Transfer& t : regenerate.Transfers()) singleWrites += t.write && t.sectors == 1;
    EXPECT_EQ(singleWrites, 2 * 200);
    singleWrites = 0;
    for (const Transfer& t : standard.Transfers()) singleWrites += t.write && t.sectors == 1;
    EXPECT_EQ(singleWrites, 0);
}

TEST(ScanWindow, RunningStateDuringTheLoopThenFinishedThenIdle) {
    ScanRig rig("");
    rig.surface.control(kInfoList).items = {"The S.M.A.R.T. details ...", "Scan"};
    rig.surface.control(kInfoList).itemData = {0, 0};
    bool checkedRunning = false;
    rig.surface.onPump = [&](int step) {
        if (step != 1) return;
        checkedRunning = true;
        EXPECT_FALSE(rig.surface.control(kOpenSession).shown);
        EXPECT_FALSE(rig.surface.control(kDriveList).enabled);
        EXPECT_TRUE(rig.surface.control(kProgress).shown);
        EXPECT_TRUE(rig.surface.control(kStop).shown);
        EXPECT_FALSE(rig.surface.control(kScan).shown);
        EXPECT_TRUE(rig.surface.control(kInfoList).items.empty());
        EXPECT_TRUE(rig.engine->executing());
    };
    bool checkedFinished = false;
    rig.surface.answerMessageBox = [&](const testsupport::MessageBoxCall& call) {
        if (call.text.rfind(" Process", 0) == 0) {
            checkedFinished = true;
            EXPECT_EQ(rig.surface.currentTitle, "Finished");
            EXPECT_FALSE(rig.surface.control(kStop).shown);
            EXPECT_TRUE(rig.surface.control(kScan).shown);
            EXPECT_FALSE(rig.surface.control(kProgress).shown);
            EXPECT_FALSE(rig.surface.control(kDriveList).enabled);
            EXPECT_FALSE(rig.surface.control(kOpenSession).shown);
        }
        return (call.type & 0xF) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
    };
    rig.engine->Scan(rig.fields);
    EXPECT_TRUE(checkedRunning);
    EXPECT_TRUE(checkedFinished);
    EXPECT_TRUE(rig.surface.control(kDriveList).enabled);
    EXPECT_TRUE(rig.surface.control(kOpenSession).shown);
    EXPECT_EQ(rig.surface.currentTitle, "Varim Hard Disk Repair 4.1");
    EXPECT_FALSE(rig.engine->executing());
}

TEST(ScanWindow, StartTickIsTakenBeforeTheModeQuestion) {
    ScanRig rig("");
    rig.clock.tick = 5000;
    auto previous = rig.surface.answerMessageBox;
    rig.surface.answerMessageBox = [&](const testsupport::MessageBoxCall& call) {
        if (call.text == kModeQuestion) rig.clock.tick += 120000;  // the user thinks for two minutes
        return previous(call);
    };
    rig.Run("0", "1000");
    EXPECT_THAT(rig.surface.titles.front(), HasSubstr("Elapsed: 2 min 0 hrs"));
}

TEST(ScanFieldsParsing, LeadingZeroGivesZeroAndEmptyGivesZero) {
    scan::ScanFields fields;
    std::int64_t value = -1;
    EXPECT_TRUE(scan::ParseRangeField("0123", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(scan::ParseRangeField("0x1z", value));
    EXPECT_EQ(value, 0);
    value = -1;
    EXPECT_TRUE(scan::ParseRangeField("", value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(scan::ParseRangeField("4294968296", value));
    EXPECT_EQ(value, 4294968296);
    EXPECT_FALSE(scan::ParseRangeField("12a", value));
    EXPECT_FALSE(scan::ParseRangeField(" 12", value));
    EXPECT_FALSE(scan::ParseRangeField("-5", value));
    EXPECT_FALSE(scan::ParseRangeField("99999999999999999999", value));
    EXPECT_FALSE(scan::ParseRangeField("36028797018963968", value));  // 2^55: its byte offset overflows
    EXPECT_TRUE(scan::ParseRangeField("36028797018963967", value));
}

TEST(ScanFieldsParsing, ScanCommandTakesZeroLedAndEmptyFieldsWithoutAMessage) {
    ScanRig rig("");
    const scan::ScanOutcome outcome = rig.Run("0123", "");
    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(rig.fields.scanStart, 0);
    EXPECT_EQ(rig.fields.scanEnd, 0);
    EXPECT_THAT(MainPathBlocks(rig.Transfers()), ElementsAre(0u, 100u));
    EXPECT_EQ(rig.surface.messageBoxes.size(), 2u) << Messages(rig.surface);  // question and end message
}

TEST(ScanFieldsParsing, NonNumericStartOrEndIsRefusedWithNothingTouched) {
    for (const auto& [start, end] : {std::pair<std::string, std::string>{"12a", "1000"}, {"0", "1000x"}}) {
        ScanRig rig("");
        rig.fields.scanStart = 777;
        rig.state.currentLba = 4321;
        const scan::ScanOutcome outcome = rig.Run(start, end);
        EXPECT_FALSE(outcome.started);
        EXPECT_EQ(outcome.refusal, "Start sector is not a valid numeric value");
        ASSERT_EQ(rig.surface.messageBoxes.size(), 1u);
        EXPECT_EQ(rig.surface.messageBoxes[0].text, "Start sector is not a valid numeric value");
        EXPECT_EQ(rig.surface.messageBoxes[0].caption, kCaption);
        EXPECT_EQ(rig.surface.messageBoxes[0].type, platform::MB_OK);
        EXPECT_TRUE(rig.kernel->calls().empty());
        EXPECT_TRUE(rig.surface.titles.empty());
        EXPECT_EQ(rig.state.currentLba, 4321);
        // The start field is stored before the end field is read.
        EXPECT_EQ(rig.fields.scanStart, start == "12a" ? 777 : 0);
    }
}

TEST(ScanFieldsParsing, StartAfterEndIsRefusedAndEqualIsAccepted) {
    ScanRig rig("");
    const scan::ScanOutcome outcome = rig.Run("500", "499");
    EXPECT_FALSE(outcome.started);
    ASSERT_EQ(rig.surface.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.surface.messageBoxes[0].text, "Wrong value indicating range to be scanned!");
    EXPECT_EQ(rig.surface.messageBoxes[0].caption, kCaption);
    EXPECT_TRUE(rig.kernel->calls().empty());
    EXPECT_TRUE(rig.Run("500", "500").started);
}

TEST(ScanWarnings, PendingWarningsComeFirstEvenWhenTheRangeIsRefused) {
    ScanRig rig("");
    rig.state.backupAlarm = 1;
    rig.fields.temperatureAlarm = 1;
    rig.fields.warningDrive = 0;
    rig.Run("abc", "1000");
    ASSERT_EQ(rig.surface.messageBoxes.size(), 3u) << Messages(rig.surface);
    EXPECT_EQ(rig.surface.messageBoxes[0].text,
              "You should Backup you data IMEDIATELY from hard disk: SIMDISK 2000! Smart attributes show wrong "
              "value! ");
    EXPECT_EQ(rig.surface.messageBoxes[1].text,
              "The hard disk SIMDISK 2000 temperature is too higher. Check case air cooling system or install a "
              "suplimentary fan! ");
    EXPECT_EQ(rig.surface.messageBoxes[0].caption, kCaption);
    EXPECT_EQ(rig.surface.messageBoxes[1].caption, kCaption);
    EXPECT_EQ(rig.surface.messageBoxes[2].text, "Start sector is not a valid numeric value");
    EXPECT_EQ(rig.fields.temperatureAlarm, 0);
    EXPECT_EQ(rig.state.backupAlarm, 1);
}

TEST(ScanWarnings, WarningsNameTheWarningDriveNotTheScannedOne) {
    ScanRig rig("");
    rig.state.backupAlarm = 1;
    rig.fields.warningDrive = 3;  // no model known: an empty name
    rig.Run("0", "0");
    EXPECT_EQ(rig.surface.messageBoxes[0].text,
              "You should Backup you data IMEDIATELY from hard disk: ! Smart attributes show wrong value! ");
}

TEST(ScanRefusal, DriveThatCannotBeOpenedIsRefusedWithItsNameAndReason) {
    ScanRig rig("OpenError = 5\n");
    const scan::ScanOutcome outcome = rig.Run("0", "1000");
    EXPECT_FALSE(outcome.started);
    EXPECT_THAT(outcome.refusal, HasSubstr("Cannot scan Drive 0 (SIMDISK 2000): "));
    EXPECT_THAT(outcome.refusal, HasSubstr("access denied"));
    ASSERT_EQ(rig.surface.messageBoxes.size(), 1u) << Messages(rig.surface);
    EXPECT_EQ(rig.surface.messageBoxes[0].text, outcome.refusal);
    EXPECT_EQ(rig.surface.messageBoxes[0].caption, kCaption);
    // The window never left its idle state.
    EXPECT_TRUE(rig.surface.titles.empty());
    EXPECT_TRUE(rig.surface.control(kScan).shown);
    EXPECT_TRUE(rig.surface.control(kOpenSession).shown);
    EXPECT_TRUE(rig.surface.control(kDriveList).enabled);
    EXPECT_TRUE(rig.surface.control(kProgress).positionHistory.empty());
    EXPECT_TRUE(rig.Transfers().empty());
}

TEST(ScanRefusal, DriveInUseOrChangedSinceListedIsRefusedBeforeAnyTransferAndItsHandleClosed) {
    const std::string prefix = "Cannot scan Drive 0 (SIMDISK 2000): ";
    for (const bool replaced : {false, true}) {
        ScanRig rig(replaced ? "" : "InUse = yes\n");
        if (replaced) rig.kernel->replaceDrive(0);  // another disk answers to the listed number
        const scan::ScanOutcome outcome = rig.Run("0", "1000");
        EXPECT_FALSE(outcome.started);
        EXPECT_THAT(outcome.refusal, HasSubstr(prefix));
        EXPECT_GT(outcome.refusal.size(), prefix.size());
        if (replaced) {
            EXPECT_EQ(outcome.refusal, prefix + "the drive changed since it was listed");
        }
        EXPECT_TRUE(rig.Transfers().empty());
        EXPECT_EQ(rig.kernel->openHandleCount(), 0u);
        EXPECT_EQ(rig.surface.messageBoxes.size(), 1u) << Messages(rig.surface);
        EXPECT_TRUE(rig.surface.titles.empty());
    }
}

TEST(ScanRefusal, MissingDriveIsRefusedWithoutAModelWhenNoneIsKnown) {
    ScanRig rig("");
    rig.fields.driveNumber = 4;
    const scan::ScanOutcome outcome = rig.Run("0", "1000");
    EXPECT_FALSE(outcome.started);
    EXPECT_THAT(outcome.refusal, HasSubstr("Cannot scan Drive 4: "));
}

TEST(ScanWindow, ScanReachedFromInsideARunningScanDoesNothing) {
    ScanRig rig("", 2000);
    rig.FillPattern(0, 2000);
    scan::ScanOutcome nested;
    nested.started = true;
    rig.surface.onPump = [&](int step) {
        if (step == 2) nested = rig.engine->Scan(rig.fields);
    };
    const scan::ScanOutcome outcome = rig.Run("0", "1000");
    EXPECT_FALSE(nested.started);
    EXPECT_TRUE(nested.refusal.empty());
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(rig.surface.messageBoxes.size(), 2u) << Messages(rig.surface);
    EXPECT_THAT(rig.Damaged(0, 2000), ::testing::IsEmpty());
}

TEST(ScanCounters, CountersAreClearedAndTheStopFlagResetWhenAScanStarts) {
    ScanRig rig("");
    rig.state.badCount = 9;
    rig.state.repairedCount = 9;
    rig.state.stopRequested = true;
    const scan::ScanOutcome outcome = rig.Run("0", "200");
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(rig.state.badCount, 0);
    EXPECT_EQ(rig.state.repairedCount, 0);
}

}  // namespace
}  // namespace scantest
