#include <QApplication>
#include <QPalette>
#include <gtest/gtest.h>

#include "graphic_progress_ctrl.h"
#include "image_bridge.h"
#include "pixel_grid.h"

namespace {

using controls::rgb;
using controls::testing::samePixels;

// Known system colours, so the tests do not depend on the machine's theme.
struct FixedColours {
    QPalette saved = QApplication::palette();
    FixedColours() {
        QPalette p = saved;
        p.setColor(QPalette::Highlight, QColor(51, 153, 255));
        p.setColor(QPalette::Shadow, QColor(64, 64, 64));
        p.setColor(QPalette::Dark, QColor(128, 128, 128));
        p.setColor(QPalette::Button, QColor(212, 208, 200));
        QApplication::setPalette(p);
    }
    ~FixedColours() { QApplication::setPalette(saved); }
};

controls::PixelImage shown(QWidget& w) { return controls::fromQImage(w.grab().toImage()); }

TEST(GraphicProgressCtrl, DefaultsAndHeldPosition) {
    CGraphicProgressCtrl bar;
    EXPECT_EQ(std::make_pair(0, 100), bar.range());
    EXPECT_EQ(0, bar.position());
    EXPECT_FALSE(bar.isVertical());
    bar.setPosition(150);
    EXPECT_EQ(100, bar.position());
    bar.setPosition(-3);
    EXPECT_EQ(0, bar.position());
    bar.setPosition(70);
    bar.setRange(0, 50);
    EXPECT_EQ(50, bar.position());
}

TEST(GraphicProgressCtrl, PaletteComesFromTheHighlightColourAtConstruction) {
    FixedColours colours;
    CGraphicProgressCtrl bar;
    EXPECT_EQ(rgb(51, 153, 255), bar.colours().base);
    EXPECT_EQ(rgb(204, 255, 255), bar.colours().light3);
    EXPECT_EQ(rgb(96, 96, 96), bar.colours().midShadow);
}

TEST(GraphicProgressCtrl, PositionAboveTheRangeDrawsAFullBar) {
    FixedColours colours;
    CGraphicProgressCtrl bar;
    bar.resize(513, 16);
    bar.setPosition(104);
    const controls::PixelImage full = controls::renderProgress(
        513, 16, controls::ProgressState{0, 100, 100, false}, bar.colours(), rgb(212, 208, 200));
    EXPECT_TRUE(samePixels(full, shown(bar)));
    EXPECT_EQ(bar.colours().dark2, shown(bar).at(512, 8));
}

TEST(GraphicProgressCtrl, PaintsWithoutErasingAndCopiesOncePerPaint) {
    FixedColours colours;
    QWidget window;
    window.resize(600, 60);
    auto* bar = new CGraphicProgressCtrl(&window);
    bar->setGeometry(10, 10, 513, 16);
    EXPECT_TRUE(bar->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_FALSE(bar->autoFillBackground());
    window.show();
    QApplication::processEvents();

    const int before = bar->screenCopies();
    bar->repaint();
    EXPECT_EQ(before + 1, bar->screenCopies());

    // A position change asks for a paint; an unchanged one does not.
    bar->setPosition(37);
    QApplication::processEvents();
    EXPECT_EQ(before + 2, bar->screenCopies());
    bar->setPosition(37);
    QApplication::processEvents();
    EXPECT_EQ(before + 2, bar->screenCopies());

    const controls::PixelImage picture = shown(*bar);
    EXPECT_TRUE(samePixels(bar->render(), picture));
    EXPECT_EQ(bar->colours().midShadow, picture.at(189, 5));
    EXPECT_EQ(bar->colours().shadow, picture.at(190, 5));
    EXPECT_EQ(rgb(212, 208, 200), picture.at(191, 5));
}

TEST(GraphicProgressCtrl, VerticalBarGrowsFromTheBottom) {
    FixedColours colours;
    CGraphicProgressCtrl bar;
    bar.resize(12, 40);
    bar.setVertical(true);
    bar.setPosition(50);
    const controls::PixelImage picture = shown(bar);
    EXPECT_EQ(rgb(212, 208, 200), picture.at(5, 19));
    EXPECT_EQ(bar.colours().base, picture.at(5, 20));
    EXPECT_EQ(bar.colours().dark2, picture.at(5, 39));
}

}  // namespace

namespace {

TEST(GraphicProgressCtrl, BorderedBarFillsTheAreaInsideItsFrame) {
    FixedColours colours;
    CGraphicProgressCtrl bar;
    bar.resize(515, 18);
    bar.setBordered(true);
    bar.setPosition(37);
    const controls::PixelImage picture = shown(bar);
    const controls::Pixel frame = controls::fromQColor(bar.palette().color(QPalette::WindowText));
    for (int x = 0; x < 515; ++x) {
        EXPECT_EQ(frame, picture.at(x, 0));
        EXPECT_EQ(frame, picture.at(x, 17));
    }
    const controls::PixelImage inside =
        controls::renderProgress(513, 16, {0, 100, 37, false}, bar.colours(), rgb(212, 208, 200));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 513; ++x) ASSERT_EQ(inside.at(x, y), picture.at(x + 1, y + 1)) << x << "," << y;
}

}  // namespace
