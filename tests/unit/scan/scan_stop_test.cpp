// Stop and Exit at every message step of a scan, in both modes: no block is left holding
// zeros, the end message says what happened, and a saved session resumes without a gap.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "scan_rig.h"

namespace scantest {
namespace {

using ::testing::IsEmpty;
using scan::ScanMode;

// Block 100 cannot be written (Standard: bad and repaired), block 200 holds an unreadable
// sector (read sector by sector, twice); in Regenerate every block goes through the repair.
const char* const kFaults = "BadWrite = 150\nBadRead = 250\n";
const std::set<std::uint64_t> kUnreadable = {250};

class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("varim-scan-stop-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

// The sector of the last status line shown, or `none` when none was shown yet.
std::int64_t LastShownSector(const std::vector<std::string>& titles, std::int64_t none) {
    for (auto it = titles.rbegin(); it != titles.rend(); ++it) {
        const std::size_t at = it->find("Sector: ");
        if (at != std::string::npos) return std::stoll(it->substr(at + 8));
    }
    return none;
}

// The block the scan was working on when it left: the one its last transfer belongs to.
std::uint64_t LastBlock(const std::vector<Transfer>& transfers) { return transfers.back().sector / 100 * 100; }

// The pump steps of a whole scan where something else happens than at the steps around them:
// the first and last steps of each run of steps that follow the same kind of transfer (main
// path, sector reads, zero writes), so every check point is reached without running every step.
std::vector<int> StepsAroundEachCheckPoint(ScanMode mode) {
    ScanRig rig(kFaults);
    rig.FillPattern(0, 1000);
    std::vector<int> kinds{-1};  // kinds[s]: what the last transfer before pump step s was
    rig.surface.onPump = [&](int) {
        int kind = 0;
        for (auto it = rig.kernel->calls().rbegin(); it != rig.kernel->calls().rend(); ++it) {
            if (it->operation != "readFile" && it->operation != "writeFile") continue;
            kind = (it->operation == "writeFile" ? 2 : 1) + (it->bytes == 512 ? 4 : 0);
            break;
        }
        kinds.push_back(kind);
    };
    rig.Run("0", "300", mode);
    const int steps = static_cast<int>(kinds.size()) - 1;
    std::set<int> chosen;
    for (int s = 1; s <= steps; ++s) {
        const bool edge = s == 1 || s == steps || kinds[s] != kinds[s - 1] || (s < steps && kinds[s] != kinds[s + 1]);
        if (!edge) continue;
        for (int d = -2; d <= 2; ++d)
            if (s + d >= 1 && s + d <= steps) chosen.insert(s + d);
    }
    return {chosen.begin(), chosen.end()};
}

void ExpectEndMessage(const ScanRig& rig, std::uint64_t lastBlock, int step) {
    const std::string& message = rig.surface.messageBoxes.back().text;
    const bool completed = lastBlock >= 300 + 100;
    EXPECT_EQ(message.rfind(completed ? " Process completed " : " Process intrerupted ", 0), 0u)
        << "step " << step << ": " << message;
}

class ScanStopEverywhere : public ::testing::TestWithParam<ScanMode> {};

TEST_P(ScanStopEverywhere, ExitAtAnyStepLeavesEveryReadableSectorWhole) {
    const ScanMode mode = GetParam();
    const std::vector<int> steps = StepsAroundEachCheckPoint(mode);
    ASSERT_GT(steps.size(), 20u);
    for (int step : steps) {
        ScanRig rig(kFaults);
        rig.FillPattern(0, 1000);
        rig.surface.onPump = [&](int s) {
            if (s == step) rig.state.stopRequested = true;  // what ExitNow does
        };
        rig.Run("0", "300", mode);
        ASSERT_THAT(rig.Damaged(0, 1000, kUnreadable), IsEmpty()) << "exit at step " << step;
        const std::vector<Transfer> transfers = rig.Transfers();
        ExpectEndMessage(rig, LastBlock(transfers), step);
        EXPECT_EQ(rig.state.currentLba, LastShownSector(rig.surface.titles, 0)) << "step " << step;
        // Nothing happens after the flag is seen but finishing the block in hand.
        EXPECT_LE(rig.surface.pumpSteps, step + 203) << "step " << step;
    }
}

TEST_P(ScanStopEverywhere, StopAtAnyStepSavesAPositionFromWhichTheRestIsScanned) {
    const ScanMode mode = GetParam();
    TempFolder folder;
    const std::string chosen = folder.file("session");
    for (int step : StepsAroundEachCheckPoint(mode)) {
        ScanRig rig(kFaults);
        rig.FillPattern(0, 1000);
        rig.state.currentLba = 5000;  // left over from an earlier scan of another range
        rig.surface.answerYesTo("Do you want to stop the scanning process?");
        rig.surface.answerYesTo("Do you want to save current sesion");
        rig.surface.answerFileDialog = [&](const platform::FileDialogRequest&) { return chosen; };
        std::int64_t shownWhenStopped = -1;
        rig.surface.onPump = [&](int s) {
            if (s != step) return;
            shownWhenStopped = LastShownSector(rig.surface.titles, 0);
            rig.session->Stop();
        };
        rig.Run("0", "300", mode);
        ASSERT_THAT(rig.Damaged(0, 1000, kUnreadable), IsEmpty()) << "stop at step " << step;
        const std::uint64_t stoppedIn = LastBlock(rig.Transfers());
        ExpectEndMessage(rig, stoppedIn, step);

        std::ifstream file(chosen + ".qsx", std::ios::binary);
        const std::string saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_EQ(saved, std::to_string(shownWhenStopped) + "\r\n300") << "step " << step;
        // Resuming repeats at most the block before the one in hand and skips nothing.
        EXPECT_LE(static_cast<std::uint64_t>(shownWhenStopped), stoppedIn) << "step " << step;
        EXPECT_GE(static_cast<std::int64_t>(stoppedIn) - shownWhenStopped, 0);
        EXPECT_LE(static_cast<std::int64_t>(stoppedIn) - shownWhenStopped, 100);

        rig.surface.onPump = nullptr;
        rig.surface.answerFileDialog = [&](const platform::FileDialogRequest&) { return chosen + ".qsx"; };
        rig.session->OpenSession();
        ASSERT_EQ(rig.surface.controlText(kStartField), std::to_string(shownWhenStopped));
        ASSERT_EQ(rig.surface.controlText(kEndField), "300");
        rig.kernel->clearCalls();
        const scan::ScanOutcome resumed = rig.engine->Scan(rig.fields);
        if (shownWhenStopped > 300) {
            // Stopped after the status line of a block past the end: the scan was complete, and
            // the saved start lies after the saved end.
            EXPECT_EQ(resumed.refusal, "Wrong value indicating range to be scanned!");
            continue;
        }
        EXPECT_TRUE(resumed.completed) << "step " << step;
        const std::vector<Transfer> transfers = rig.Transfers();
        ASSERT_FALSE(transfers.empty());
        EXPECT_EQ(transfers.front().sector, static_cast<std::uint64_t>(shownWhenStopped));
        EXPECT_EQ(LastBlock(transfers), 400u);
        ASSERT_THAT(rig.Damaged(0, 1000, kUnreadable), IsEmpty()) << "after resuming from step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, ScanStopEverywhere, ::testing::Values(ScanMode::Standard, ScanMode::Regenerate),
                         [](const auto& info) {
                             return info.param == ScanMode::Standard ? std::string("Standard")
                                                                     : std::string("Regenerate");
                         });

TEST(ScanStop, StopDuringTheFirstZeroPassEndsItWritesNothingInTheSecondAndRestores) {
    ScanRig rig("", 1000);
    rig.FillPattern(0, 1000);
    // Regenerate: block 0 pumps once on the main path, once before the passes, then once
    // before each zero write; stop before the 10th write of the first pass.
    rig.surface.onPump = [&](int s) {
        if (s == 2 + 10) rig.state.stopRequested = true;
    };
    rig.Run("0", "1000", ScanMode::Regenerate);
    int zeroWrites = 0;
    bool restored = false;
    for (const Transfer& t : rig.Transfers()) {
        if (t.write && t.sectors == 1) ++zeroWrites;
        if (t.write && t.sectors == 100 && zeroWrites > 0) restored = true;
    }
    EXPECT_EQ(zeroWrites, 10);
    EXPECT_TRUE(restored);
    EXPECT_THAT(rig.Damaged(0, 1000), IsEmpty());
    EXPECT_EQ(rig.surface.messageBoxes.back().text, " Process intrerupted 0 bads found and 0 repaired. ");
    // The second pass saw the flag before its first pump; one more pump precedes the restore.
    EXPECT_EQ(rig.surface.pumpSteps, 2 + 10 + 1);
}

TEST(ScanStop, StopInOneOfTheLastBlocksStillReportsCompleted) {
    ScanRig rig("", 2000);
    // Range 0..1000: blocks 0..1100, one pump each in Standard mode; block 1100 is step 12.
    rig.surface.onPump = [&](int s) {
        if (s == 12) rig.state.stopRequested = true;
    };
    const scan::ScanOutcome outcome = rig.Run("0", "1000");
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.message, " Process completed 0 bads found and 0 repaired. ");

    ScanRig early("", 2000);
    early.surface.onPump = [&](int s) {
        if (s == 10) early.state.stopRequested = true;  // block 900: below the end + 100
    };
    EXPECT_EQ(early.Run("0", "1000").message, " Process intrerupted 0 bads found and 0 repaired. ");
}

TEST(ScanStop, StopDeclinedChangesNothingAndTheScanGoesOn) {
    ScanRig rig("", 2000);
    rig.surface.onPump = [&](int s) {
        if (s == 3) rig.session->Stop();  // default answers: No
    };
    const scan::ScanOutcome outcome = rig.Run("0", "1000");
    EXPECT_TRUE(outcome.completed);
    EXPECT_FALSE(rig.state.stopRequested);
    EXPECT_TRUE(rig.surface.fileDialogs.empty());
}

}  // namespace
}  // namespace scantest
