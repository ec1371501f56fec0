#include <QApplication>
#include <QImage>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>
#include <vector>

#include "hover_button.h"
#include "image_bridge.h"

namespace {

constexpr QRgb kNormal = qRgb(200, 30, 30);
constexpr QRgb kPressed = qRgb(30, 200, 30);
constexpr QRgb kHover = qRgb(30, 30, 200);

// A 3 x 40 x 20 strip with one leftover column in white.
QImage solidStrip() {
    QImage strip(121, 20, QImage::Format_RGB32);
    strip.fill(Qt::white);
    const QRgb frames[3] = {kNormal, kPressed, kHover};
    for (int f = 0; f < 3; ++f)
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x) strip.setPixel(f * 40 + x, y, frames[f]);
    return strip;
}

QRgb shownColour(CHoverButton& b) { return b.grab().toImage().pixel(b.width() / 2, b.height() / 2) & 0xFFFFFF; }

struct Fixture {
    QWidget window;
    CHoverButton* button = new CHoverButton(&window);
    std::vector<int> waits;

    Fixture() {
        window.resize(300, 200);
        button->move(30, 40);
        button->setWait([this](int ms) { waits.push_back(ms); });
        button->SetFrameBitmap(solidStrip());
        window.show();
        QApplication::processEvents();
    }
};

TEST(CHoverButton, ResizesToOneFrameKeepingItsCorner) {
    Fixture f;
    EXPECT_EQ(QRect(30, 40, 40, 20), f.button->geometry());
    EXPECT_EQ(40, f.button->frameWidth());
    EXPECT_EQ(20, f.button->frameHeight());
    EXPECT_EQ(kNormal & 0xFFFFFF, shownColour(*f.button));
    // The leftover white column never shows: the right edge is the normal frame's.
    EXPECT_EQ(kNormal & 0xFFFFFF, f.button->grab().toImage().pixel(39, 10) & 0xFFFFFF);
}

TEST(CHoverButton, HoverPressAndLeaveChangeTheFrame) {
    Fixture f;
    QTest::mouseMove(f.button, QPoint(20, 10));
    QTRY_VERIFY_WITH_TIMEOUT(f.button->hovering(), 1000);
    EXPECT_TRUE(f.button->mouseTracked());
    EXPECT_EQ(std::vector<int>{40}, f.waits);
    EXPECT_EQ(kHover & 0xFFFFFF, shownColour(*f.button));

    QTest::mousePress(f.button, Qt::LeftButton, {}, QPoint(20, 10));
    f.waits.clear();
    EXPECT_EQ(kPressed & 0xFFFFFF, shownColour(*f.button));
    EXPECT_EQ(std::vector<int>{80}, f.waits);

    QTest::mouseRelease(f.button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(kHover & 0xFFFFFF, shownColour(*f.button));

    f.waits.clear();
    QTest::mouseMove(&f.window, QPoint(250, 150));
    QTRY_VERIFY_WITH_TIMEOUT(!f.button->mouseTracked(), 1000);
    EXPECT_FALSE(f.button->hovering());
    EXPECT_EQ(std::vector<int>{40}, f.waits);
    EXPECT_EQ(kNormal & 0xFFFFFF, shownColour(*f.button));
}

TEST(CHoverButton, DisabledAndFocusedButtonsHaveNoLookOfTheirOwn) {
    Fixture f;
    f.button->setFocus();
    EXPECT_EQ(kNormal & 0xFFFFFF, shownColour(*f.button));
    f.button->setEnabled(false);
    EXPECT_EQ(kNormal & 0xFFFFFF, shownColour(*f.button));
}

TEST(CHoverButton, NullTipTextDoesNothingAtAll) {
    Fixture f;
    f.button->SetTipText(nullptr, true);
    EXPECT_FALSE(f.button->tipCreated());
    EXPECT_EQ(0, f.button->toolCount());
}

TEST(CHoverButton, SecondTipTextChangesTheOneToolWithoutAddingAnother) {
    Fixture f;
    f.button->SetTipText("Scan and repair", true);
    EXPECT_TRUE(f.button->tipCreated());
    EXPECT_EQ(1, f.button->toolCount());
    EXPECT_EQ(QStringLiteral("Scan and repair"), f.button->tipText());
    EXPECT_TRUE(f.button->tipActive());
    EXPECT_EQ(QRect(0, 0, 40, 20), f.button->toolRect());

    f.button->resize(90, 50);
    f.button->SetTipText("Stop \x80 \x92", false);
    EXPECT_EQ(1, f.button->toolCount());
    EXPECT_EQ(QString::fromUtf8("Stop \u20AC \u2019"), f.button->tipText());
    EXPECT_FALSE(f.button->tipActive());
    EXPECT_EQ(QRect(0, 0, 40, 20), f.button->toolRect());
}

TEST(CHoverButton, TooltipShowsOnlyWhileActive) {
    Fixture f;
    const auto ask = [&] {
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), f.button->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(f.button, &help);
    };
    f.button->SetTipText("Exit", false);
    ask();
    EXPECT_FALSE(QToolTip::isVisible());
    f.button->SetTipText("Exit", true);
    ask();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QStringLiteral("Exit"), QToolTip::text());
    QToolTip::hideText();
}

TEST(CHoverButton, UnusableStripLeavesAPlainButton) {
    QWidget window;
    auto* button = new CHoverButton(&window);
    button->setGeometry(5, 5, 70, 25);
    EXPECT_TRUE(button->SetFrameBitmap(QStringLiteral("no/such/strip.png")));
    EXPECT_EQ(0, button->frameWidth());
    EXPECT_EQ(QSize(70, 25), button->size());
    EXPECT_FALSE(button->grab().isNull());
}

}  // namespace
