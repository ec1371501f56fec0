// The progress figures and the status line in the title bar.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "scan/status_line.h"
#include "scan_rig.h"

namespace scantest {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

std::string Line(double percent, std::int64_t lba, const scan::TimeEstimate& time) {
    char out[160];
    scan::FormatStatusLine(out, sizeof out, percent, lba, time);
    return out;
}

TEST(StatusLine, WorkedExampleAtSector200000OfAMillionAfterTenMinutes) {
    const double percent = scan::ProgressPercent(200000, 1000000);
    EXPECT_EQ(percent, 20.0);
    const scan::TimeEstimate time = scan::EstimateTime(600000, 2001 * 100.0, 1000000);
    EXPECT_EQ(time.elapsedMinutes, 10u);
    EXPECT_EQ(time.elapsedHours, 0u);
    EXPECT_EQ(time.remainingMinutes, 39u);
    EXPECT_EQ(time.remainingHours, 0);
    EXPECT_EQ(Line(percent, 200000, time), "20 % Sector: 200000  Elapsed: 10 min 0 hrs Remaining: 39 min 0 hrs");
}

TEST(StatusLine, HoursSplitOffAndPercentRoundsInTheText) {
    // 2 h 5 min elapsed, a quarter handled: 500 min in all, 375 remaining = 6 h 15 min.
    const scan::TimeEstimate time = scan::EstimateTime((125 * 60) * 1000, 250.0, 1000);
    EXPECT_EQ(time.elapsedHours, 2u);
    EXPECT_EQ(time.elapsedMinutes, 5u);
    EXPECT_EQ(time.remainingHours, 6);
    EXPECT_EQ(time.remainingMinutes, 15u);
    EXPECT_EQ(Line(12.5, 300, time), "12 % Sector: 300  Elapsed: 5 min 2 hrs Remaining: 15 min 6 hrs");
    EXPECT_EQ(Line(12.51, 300, time).substr(0, 4), "13 %");
}

TEST(StatusLine, FirstMinuteShowsNothingElapsedOrRemaining) {
    const scan::TimeEstimate time = scan::EstimateTime(59999, 100.0, 1000000);
    EXPECT_EQ(time.elapsedMinutes, 0u);
    EXPECT_EQ(time.remainingMinutes, 0u);
    EXPECT_EQ(time.remainingHours, 0);
}

TEST(StatusLine, EmptyRangeAndEndZeroNeitherDivideByZeroNorOverflow) {
    // End sector 0: the bar is full.
    EXPECT_EQ(scan::ProgressPercent(0, 0), 100.0);
    EXPECT_EQ(scan::ProgressPercent(100, 0), 100.0);
    // Start equal to end: nothing remains, whatever has elapsed.
    const scan::TimeEstimate empty = scan::EstimateTime(3600000 * 3, 100.0, 0);
    EXPECT_EQ(empty.elapsedHours, 3u);
    EXPECT_EQ(empty.remainingMinutes, 0u);
    EXPECT_EQ(empty.remainingHours, 0);
    // The blocks past the end handle more than the range: the estimate does not go negative.
    const scan::TimeEstimate past = scan::EstimateTime(600000, 1200.0, 1000);
    EXPECT_EQ(past.remainingMinutes, 0u);
    EXPECT_EQ(past.remainingHours, 0);
}

TEST(StatusLine, EngineShowsTheWorkedExampleWithAnInjectedClock) {
    ScanRig rig("", 1000120);
    rig.kernel->setLogging(false);
    rig.clock.tick = 7000;
    // Standard mode on a healthy drive pumps once per block, just before its status line.
    rig.surface.onPump = [&](int step) {
        if (step == 2001) rig.clock.tick = 7000 + 600000;
        if (step == 2002) rig.state.stopRequested = true;
    };
    rig.Run("0", "1000000");
    EXPECT_THAT(rig.surface.titles,
                Contains("20 % Sector: 200000  Elapsed: 10 min 0 hrs Remaining: 39 min 0 hrs"));
    EXPECT_THAT(rig.surface.control(kProgress).positionHistory, Contains(20));
}

TEST(StatusLine, EngineWithEndZeroAndEqualStartAndEnd) {
    ScanRig zero("");
    zero.Run("0", "0");
    EXPECT_EQ(zero.surface.titles[0], "100 % Sector: 0  Elapsed: 0 min 0 hrs Remaining: 0 min 0 hrs");
    EXPECT_EQ(zero.surface.control(kProgress).positionHistory.back(), 100);

    ScanRig equal("", 2000);
    equal.clock.tick = 0;
    equal.surface.onPump = [&](int) { equal.clock.tick += 90000; };
    equal.Run("1000", "1000");
    EXPECT_EQ(equal.surface.titles[0], "100 % Sector: 1000  Elapsed: 1 min 0 hrs Remaining: 0 min 0 hrs");
    EXPECT_EQ(equal.surface.titles[1], "110 % Sector: 1100  Elapsed: 3 min 0 hrs Remaining: 0 min 0 hrs");
}

TEST(StatusLine, ElapsedTimeSurvivesTheTickCounterWrapping) {
    ScanRig rig("", 2000);
    rig.clock.tick = 0xFFFFFFFFu - 30000;  // 30 s before the 32-bit millisecond counter wraps
    rig.surface.onPump = [&](int) { rig.clock.tick += 60000; };
    rig.Run("0", "1000");
    EXPECT_THAT(rig.surface.titles[1], HasSubstr("Elapsed: 2 min 0 hrs"));
}

}  // namespace
}  // namespace scantest
