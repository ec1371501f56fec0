// The panel evaluation: when it draws, what it shows, and which alarms it raises.
#include "app/indicators.h"

#include <gtest/gtest.h>

namespace {

using app::IndicatorPaint;

class IndicatorsTest : public ::testing::Test {
protected:
    disk::DriveTable table{"/nonexistent/varim-test"};

    void Add(int drive, std::uint8_t id, std::uint32_t raw) {
        disk::PhysicalDrive& record = table.DriveAt(drive);
        const int slot = record.attributeCount++;
        record.attributes[static_cast<std::size_t>(slot)] = {id, raw, 100, 100, -1};
        table.IndexAttribute(drive, id, slot);
    }
    IndicatorPaint Evaluate(int drive, const app::IndicatorState& previous = {}) {
        return app::EvaluateIndicators(table, drive, previous);
    }
};

TEST_F(IndicatorsTest, TemperatureTextsAndHotAlarmBoundary) {
    Add(0, 194, 55);
    Add(1, 194, 56);
    Add(2, 194, 0);
    Add(3, 194, 37);
    Add(4, 194, 40);

    const IndicatorPaint at55 = Evaluate(0);
    EXPECT_TRUE(at55.drawValues);
    EXPECT_EQ(at55.state.temperatureAlarm, 0);
    EXPECT_EQ(at55.state.celsiusText, "55 \xB0 C");

    EXPECT_EQ(Evaluate(1).state.temperatureAlarm, 1);

    const IndicatorPaint at0 = Evaluate(2);
    EXPECT_EQ(at0.state.celsiusText, "0 \xB0 C");
    EXPECT_EQ(at0.state.fahrenheitText, "(32 \xB0 F)");
    EXPECT_EQ(Evaluate(3).state.fahrenheitText, "(98 \xB0 F)");  // 98.6 truncated
    EXPECT_EQ(Evaluate(4).state.fahrenheitText, "(104 \xB0 F)");
}

TEST_F(IndicatorsTest, ReadingsOutsideZeroTo400AreNotDrawnAndChangeNothing) {
    Add(0, 194, 400);
    Add(1, 194, 401);
    Add(1, 5, 99);
    EXPECT_TRUE(Evaluate(0).drawValues);
    EXPECT_EQ(Evaluate(0).state.celsiusText, "400 \xB0 C");

    // Built in one initialisation: assigning short texts member by member after default
    // construction makes GCC 12 at -O3 warn that the string may be used uninitialized.
    const app::IndicatorState previous{.celsiusText = "40 \xB0 C",
                                       .fahrenheitText = "",
                                       .statusText = "OK",
                                       .hoursText = "",
                                       .temperatureAlarm = 0,
                                       .backupAlarm = 0,
                                       .warningDrive = 7};
    const IndicatorPaint paint = Evaluate(1, previous);
    EXPECT_FALSE(paint.drawValues);
    EXPECT_EQ(paint.state.celsiusText, "40 \xB0 C");
    EXPECT_EQ(paint.state.backupAlarm, 0);
    EXPECT_EQ(paint.state.warningDrive, 7);
}

TEST_F(IndicatorsTest, EachWatchedAttributeIsBadOnlyAboveItsLimit) {
    const struct {
        std::uint8_t id;
        std::uint32_t limit;
    } watched[] = {{1, 1000}, {5, 30}, {10, 30}, {196, 700}, {197, 1000}, {198, 20}};
    int drive = 0;
    for (const auto& entry : watched) {
        for (const std::uint32_t raw : {entry.limit, entry.limit + 1}) {
            SCOPED_TRACE(testing::Message() << "attribute " << int{entry.id} << " raw " << raw);
            Add(drive, 194, 40);
            Add(drive, entry.id, raw);
            const app::IndicatorState state = Evaluate(drive).state;
            const bool bad = raw > entry.limit;
            EXPECT_EQ(state.statusText, bad ? "Bad" : "OK");
            EXPECT_EQ(state.backupAlarm, bad ? 1 : 0);
            EXPECT_EQ(state.warningDrive, drive);
            ++drive;
        }
    }
    // An id that is not watched never counts, however large its value.
    Add(drive, 194, 40);
    Add(drive, 7, 60000);
    EXPECT_EQ(Evaluate(drive).state.statusText, "OK");
}

TEST_F(IndicatorsTest, BackupAlarmFollowsTheLastEvaluationButTheHotAlarmStays) {
    Add(0, 194, 40);
    app::IndicatorState previous;
    previous.backupAlarm = 1;
    previous.temperatureAlarm = 1;
    const IndicatorPaint paint = Evaluate(0, previous);
    EXPECT_EQ(paint.state.backupAlarm, 0);
    EXPECT_EQ(paint.state.temperatureAlarm, 1);
}

TEST_F(IndicatorsTest, DriveWithoutTemperatureNeverChangesTheAlarms) {
    Add(0, 5, 500);
    Add(0, 197, 5000);
    app::IndicatorState previous;
    previous.backupAlarm = 0;
    previous.statusText = "OK";
    const IndicatorPaint paint = Evaluate(0, previous);
    EXPECT_FALSE(paint.drawValues);
    EXPECT_EQ(paint.state.backupAlarm, 0);
    EXPECT_EQ(paint.state.statusText, "OK");
    // Drive numbers without a record (32..49) count as drives without a temperature.
    EXPECT_FALSE(Evaluate(40, previous).drawValues);
    EXPECT_FALSE(Evaluate(-1, previous).drawValues);
}

TEST_F(IndicatorsTest, LaterDuplicateOfAnIdCountsAndHoursComeFromAttribute9) {
    Add(0, 194, 70);
    Add(0, 194, 41);
    Add(0, 9, 1234);
    const IndicatorPaint paint = Evaluate(0);
    EXPECT_EQ(paint.state.celsiusText, "41 \xB0 C");
    EXPECT_EQ(paint.state.temperatureAlarm, 0);
    EXPECT_EQ(paint.state.hoursText, "1234");

    Add(1, 194, 41);
    EXPECT_EQ(Evaluate(1).state.hoursText, "");
}

TEST_F(IndicatorsTest, PaintTextsInDrawingOrder) {
    Add(0, 194, 40);
    Add(0, 9, 12);
    app::IndicatorText texts[app::kMaxIndicatorTexts];
    const int drawn = app::IndicatorTexts(Evaluate(0), texts, app::kMaxIndicatorTexts);
    ASSERT_EQ(drawn, 8);
    const struct {
        int x, y;
        const char* text;
        bool valueFont;
        std::uint32_t colour;
    } expected[] = {
        {270, 305, "Temperature", false, 0xFF0064}, {420, 305, "Status", false, 0xFF0064},
        {540, 305, "Time counter", false, 0xFF0064}, {554, 351, "hours", true, 0},
        {285, 327, "40 \xB0 C", true, 0},           {280, 345, "(104 \xB0 F)", true, 0},
        {430, 335, "OK", true, 0},                   {554, 335, "12", true, 0},
    };
    for (int i = 0; i < drawn; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts[i].x, expected[i].x);
        EXPECT_EQ(texts[i].y, expected[i].y);
        EXPECT_EQ(texts[i].text, expected[i].text);
        EXPECT_EQ(texts[i].valueFont, expected[i].valueFont);
        EXPECT_EQ(texts[i].colour, expected[i].colour);
        EXPECT_EQ(texts[i].background, 0xF2D8C2u);
    }

    EXPECT_EQ(app::IndicatorTexts(Evaluate(5), texts, app::kMaxIndicatorTexts), 3);
    EXPECT_EQ(app::IndicatorTexts(Evaluate(0), texts, 2), 2);
}

}  // namespace
