// The temperature, status and hours panels as painted into the window: every paint evaluates
// them, the alarms follow, and the pixels show the texts (or only the labels).
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QListWidget>
#include <QTest>

#include "app/control_ids.h"
#include "test_machines.h"
#include "window_rig.h"

namespace ids = app::ids;
using uitest::MachineText;
using uitest::WindowRig;

namespace {

// Drive n has temperature kTemperatures[n] and 777 hours; drives 6 and 7 carry attribute 5 (raw 30 and 31).
constexpr int kTemperatures[] = {55, 56, 400, 401, 0, 37, 40, 40};

std::string IndicatorMachine() {
    std::vector<uitest::DriveEntry> drives;
    for (int n = 0; n < 8; ++n) {
        std::vector<uitest::Attr> attributes = {{194, 90, kTemperatures[n]}, {9, 90, 777}};
        if (n == 6) attributes.push_back({5, 100, 30});
        if (n == 7) attributes.push_back({5, 100, 31});
        drives.push_back({n, 1000, "DISK" + std::to_string(n), attributes, ""});
    }
    return MachineText(drives);
}

// Text pixels of the value font (black) inside an area of the plain panel.
int DarkPixels(const QImage& shot, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() < 100 && c.green() < 100 && c.blue() < 100) ++count;
        }
    return count;
}

// Text pixels of the label colour RGB(100, 0, 255), anti-aliased against the panel.
int LabelPixels(const QImage& shot, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.blue() > 200 && c.green() < 120 && c.red() < 160) ++count;
        }
    return count;
}

class WindowIndicators : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.start()); }

    // Selects drive n by clicking its entry, then paints the window and grabs it.
    QImage SelectAndPaint(int n) {
        QListWidget* drives = rig.window->listBox(ids::kDriveList);
        const QRect area = drives->visualItemRect(drives->item(n));
        QTest::mouseClick(drives->viewport(), Qt::LeftButton, Qt::NoModifier, area.center());
        EXPECT_EQ(rig.dialog->driveNumber(), n);
        const int paints = rig.window->indicatorPaints();
        QImage shot = rig.window->grab().toImage();
        EXPECT_GT(rig.window->indicatorPaints(), paints) << "every paint evaluates the indicators";
        return shot;
    }

    // Where a text of the value font is drawn at this client position.
    QRect ValueArea(int x, int y, const std::string& text) {
        return rig.window->indicatorPainter().textRect(app::IndicatorText{x, y, text, true, 0, 0});
    }

    WindowRig rig{IndicatorMachine()};
};

}  // namespace

TEST_F(WindowIndicators, TemperatureAlarmAbove55) {
    QImage shot = SelectAndPaint(0);
    EXPECT_EQ(rig.dialog->indicators().celsiusText, "55 \xB0 C");
    EXPECT_EQ(rig.dialog->indicators().fahrenheitText, "(131 \xB0 F)");
    EXPECT_EQ(rig.dialog->indicators().temperatureAlarm, 0);
    EXPECT_EQ(rig.dialog->indicators().hoursText, "777");
    EXPECT_GT(DarkPixels(shot, ValueArea(285, 327, "55 \xB0 C")), 10);
    EXPECT_GT(DarkPixels(shot, ValueArea(554, 351, "hours")), 10);

    SelectAndPaint(1);
    EXPECT_EQ(rig.dialog->indicators().temperatureAlarm, 1);
    EXPECT_EQ(rig.dialog->scanFields().temperatureAlarm, 1);
    // A cooler drive does not clear it.
    SelectAndPaint(5);
    EXPECT_EQ(rig.dialog->indicators().temperatureAlarm, 1);
}

TEST_F(WindowIndicators, ReadingsUpTo400AreDrawnAbove400OnlyTheLabels) {
    QImage shot = SelectAndPaint(2);
    EXPECT_EQ(rig.dialog->indicators().celsiusText, "400 \xB0 C");
    EXPECT_EQ(rig.dialog->indicators().fahrenheitText, "(752 \xB0 F)");
    const QRect celsius = ValueArea(285, 327, "400 \xB0 C");
    const QRect status = ValueArea(430, 335, "OK");
    const QRect hours = ValueArea(554, 335, "777");
    EXPECT_GT(DarkPixels(shot, celsius), 10);
    EXPECT_GT(DarkPixels(shot, status), 10);
    EXPECT_GT(DarkPixels(shot, hours), 10);

    shot = SelectAndPaint(3);
    // Nothing re-evaluated: the texts keep drive 2's values, but none of them is drawn.
    EXPECT_EQ(rig.dialog->indicators().celsiusText, "400 \xB0 C");
    EXPECT_EQ(DarkPixels(shot, celsius), 0);
    EXPECT_EQ(DarkPixels(shot, status), 0);
    EXPECT_EQ(DarkPixels(shot, hours), 0);
    EXPECT_EQ(DarkPixels(shot, ValueArea(554, 351, "hours")), 0);
    for (const app::IndicatorText& label : {app::IndicatorText{270, 305, "Temperature", false, 0, 0},
                                           app::IndicatorText{420, 305, "Status", false, 0, 0},
                                           app::IndicatorText{540, 305, "Time counter", false, 0, 0}})
        EXPECT_GT(LabelPixels(shot, rig.window->indicatorPainter().textRect(label)), 10) << label.text;
}

TEST_F(WindowIndicators, ZeroAnd37DegreesGiveTruncatedFahrenheit) {
    SelectAndPaint(4);
    EXPECT_EQ(rig.dialog->indicators().celsiusText, "0 \xB0 C");
    EXPECT_EQ(rig.dialog->indicators().fahrenheitText, "(32 \xB0 F)");
    SelectAndPaint(5);
    EXPECT_EQ(rig.dialog->indicators().celsiusText, "37 \xB0 C");
    EXPECT_EQ(rig.dialog->indicators().fahrenheitText, "(98 \xB0 F)");
}

TEST_F(WindowIndicators, ReallocatedSectorsAbove30ReadBad) {
    SelectAndPaint(6);
    EXPECT_EQ(rig.dialog->indicators().statusText, "OK");
    EXPECT_EQ(rig.dialog->scanState().backupAlarm, 0);
    QImage shot = SelectAndPaint(7);
    EXPECT_EQ(rig.dialog->indicators().statusText, "Bad");
    EXPECT_EQ(rig.dialog->scanState().backupAlarm, 1);
    EXPECT_EQ(rig.dialog->indicators().warningDrive, 7);
    // "Bad" is wider than "OK": its last letter shows where "OK" would have ended.
    const QRect ok = ValueArea(430, 335, "OK");
    const QRect bad = ValueArea(430, 335, "Bad");
    ASSERT_GT(bad.right(), ok.right());
    EXPECT_GT(DarkPixels(shot, QRect(QPoint(ok.right() + 1, bad.top()), bad.bottomRight())), 3);
}

TEST_F(WindowIndicators, FontsHaveTheirAverageCharacterWidths) {
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFont label = rig.window->indicatorPainter().labelFont();
    const QFont value = rig.window->indicatorPainter().valueFont();
    EXPECT_EQ(label.pixelSize(), 12);
    EXPECT_EQ(value.pixelSize(), 12);
    EXPECT_NEAR(QFontMetricsF(label).horizontalAdvance(alphabet) / 52.0, 6.0, 0.35);
    EXPECT_NEAR(QFontMetricsF(value).horizontalAdvance(alphabet) / 52.0, 9.0, 0.35);
    EXPECT_LT(label.weight(), value.weight());
}

TEST_F(WindowIndicators, AMinimisedWindowEvaluatesNothing) {
    rig.window->showMinimized();
    ASSERT_TRUE(uitest::WaitFor([&] { return rig.window->isMinimized(); }, 5000));
    const int paints = rig.window->indicatorPaints();
    rig.window->grab();
    EXPECT_EQ(rig.window->indicatorPaints(), paints);
    rig.window->showNormal();
}

TEST_F(WindowIndicators, TextsSitOnTheirOpaqueBackground) {
    QImage shot = SelectAndPaint(5);
    const QRect celsius = ValueArea(285, 327, "37 \xB0 C");
    const QColor panel(194, 216, 242);
    int backgroundPixels = 0;
    for (int x = celsius.left(); x <= celsius.right(); ++x)
        if (shot.pixelColor(x, celsius.top()) == panel) ++backgroundPixels;
    EXPECT_EQ(backgroundPixels, celsius.width()) << "the top row of the text cell is the text background";
}

TEST_F(WindowIndicators, BackgroundIsTiledFromTheOriginOrTheDialogColourWhenMissing) {
    const QImage picture(QStringLiteral(":/res/background.png"));
    ASSERT_FALSE(picture.isNull());
    QImage shot = rig.window->grab().toImage();
    for (const QPoint p : {QPoint(0, 0), QPoint(5, 5), QPoint(630, 10), QPoint(200, 400)})
        EXPECT_EQ(shot.pixelColor(p), picture.pixelColor(p)) << p.x() << "," << p.y();

    EXPECT_TRUE(rig.window->loadBackground(0));
    EXPECT_FALSE(rig.window->backgroundLoaded());
    shot = rig.window->grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), rig.window->palette().color(QPalette::Window));
    EXPECT_FALSE(rig.window->loadBackground(4242));
    EXPECT_TRUE(rig.window->loadBackground(app::ids::kBackground));
}
