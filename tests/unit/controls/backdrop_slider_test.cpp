#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

#include "backdrop_slider.h"
#include "image_bridge.h"
#include "slider_painter.h"

namespace {

using controls::rgb;

// A background where every pixel is distinct, so a wrong offset shows.
QImage patterned(const QSize& size, int blue) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, blue));
    return image;
}

struct Fixture {
    QWidget window;
    CBackdropSlider* slider;
    int backgroundsTaken = 0;
    int blue = 77;

    explicit Fixture(Qt::Orientation orientation) : slider(new CBackdropSlider(orientation, &window)) {
        window.resize(300, 300);
        slider->setGeometry(20, 30, orientation == Qt::Horizontal ? 160 : 30, orientation == Qt::Horizontal ? 30 : 160);
        slider->setBackgroundSource([this](const QRect& r) {
            ++backgroundsTaken;
            return patterned(r.size(), blue);
        });
    }
};

TEST(CBackdropSlider, BackgroundIsTakenOnceAndNeverRefreshed) {
    Fixture f(Qt::Horizontal);
    EXPECT_FALSE(f.slider->backgroundCached());
    const controls::PixelImage first = f.slider->render();
    EXPECT_EQ(1, f.backgroundsTaken);
    EXPECT_EQ(rgb(1, 1, 77), first.at(1, 1));

    f.blue = 200;
    f.slider->move(60, 90);
    const controls::PixelImage second = f.slider->render();
    EXPECT_EQ(1, f.backgroundsTaken);
    EXPECT_EQ(rgb(1, 1, 77), second.at(1, 1));
    EXPECT_EQ(rgb(150, 2, 77), second.at(150, 2));
}

TEST(CBackdropSlider, HorizontalGrooveIsExtendedTopAndBottom) {
    Fixture f(Qt::Horizontal);
    const controls::Rect channel = f.slider->channelRect();
    ASSERT_GT(channel.width(), channel.height());
    const controls::Rect groove = controls::grooveRect(channel);
    EXPECT_EQ(channel.top - 2, groove.top);
    EXPECT_EQ(channel.bottom + 2, groove.bottom);
    f.slider->setValue(f.slider->minimum());
    const controls::PixelImage image = f.slider->render();
    const QPalette& p = f.slider->palette();
    // Away from the thumb (at the left end): the outer ring is the shadow colour at the top and the
    // highlight colour at the bottom, and just outside it the background shows.
    const int x = groove.right - 4;
    EXPECT_EQ(controls::fromQColor(p.color(QPalette::Dark)), image.at(x, groove.top));
    EXPECT_EQ(controls::fromQColor(p.color(QPalette::Shadow)), image.at(x, groove.top + 1));
    EXPECT_EQ(rgb(x, groove.top - 1, 77), image.at(x, groove.top - 1));
    EXPECT_EQ(controls::fromQColor(p.color(QPalette::Light)), image.at(x, groove.bottom - 1));
    EXPECT_EQ(rgb(x, groove.bottom, 77), image.at(x, groove.bottom));
}

TEST(CBackdropSlider, VerticalGrooveIsWidenedLeftAndRight) {
    Fixture f(Qt::Vertical);
    const controls::Rect channel = f.slider->channelRect();
    ASSERT_GT(channel.height(), channel.width());
    const controls::Rect groove = controls::grooveRect(channel);
    EXPECT_EQ(channel.left - 1, groove.left);
    EXPECT_EQ(channel.right + 1, groove.right);
    f.slider->setValue(f.slider->minimum());
    const controls::PixelImage image = f.slider->render();
    const QPalette& p = f.slider->palette();
    // Away from the thumb (at the bottom end): shadow on the left, highlight on the right.
    const int y = groove.top + 4;
    EXPECT_EQ(controls::fromQColor(p.color(QPalette::Dark)), image.at(groove.left, y));
    EXPECT_EQ(rgb(groove.left - 1, y, 77), image.at(groove.left - 1, y));
    EXPECT_EQ(controls::fromQColor(p.color(QPalette::Light)), image.at(groove.right - 1, y));
    EXPECT_EQ(rgb(groove.right, y, 77), image.at(groove.right, y));
}

TEST(CBackdropSlider, ThumbUsesTheOwnersColoursOrTheSystemOnes) {
    Fixture f(Qt::Vertical);
    f.slider->setRange(0, 100);
    f.slider->setValue(0);
    const auto thumbCentre = [&] {
        const controls::PixelImage image = f.slider->render();
        // Down the middle column, the first pixel in one of the thumb colours is the thumb's fill.
        for (int y = 0; y < image.height; ++y) {
            const controls::Pixel px = image.at(image.width / 2, y);
            if (px == rgb(0, 0, 196) || px == rgb(0, 0, 255) ||
                px == controls::fromQColor(f.slider->palette().color(QPalette::Button)) ||
                px == controls::fromQColor(f.slider->palette().color(QPalette::Light)))
                return px;
        }
        return controls::Pixel{0};
    };
    f.slider->SetThumbColours(0xC40000, 0xFF0000);
    EXPECT_EQ(0xC40000u, f.slider->thumbColour());
    EXPECT_EQ(rgb(0, 0, 196), thumbCentre());
    f.slider->setSliderDown(true);
    EXPECT_EQ(rgb(0, 0, 255), thumbCentre());
    f.slider->SetThumbColours(0, 0);
    EXPECT_EQ(controls::fromQColor(f.slider->palette().color(QPalette::Light)), thumbCentre());
    f.slider->setSliderDown(false);
    EXPECT_EQ(controls::fromQColor(f.slider->palette().color(QPalette::Button)), thumbCentre());
}

TEST(CBackdropSlider, DefaultSourceCopiesTheParentsBackgroundAtTheFirstPaint) {
    QWidget window;
    window.resize(200, 120);
    QPalette p = window.palette();
    p.setColor(QPalette::Window, QColor(10, 120, 230));
    window.setPalette(p);
    window.setAutoFillBackground(true);
    auto* slider = new CBackdropSlider(Qt::Horizontal, &window);
    slider->setGeometry(10, 10, 150, 30);
    window.show();
    QApplication::processEvents();
    slider->repaint();
    ASSERT_TRUE(slider->backgroundCached());
    EXPECT_EQ(rgb(10, 120, 230), slider->cachedBackground()->at(0, 0));
    EXPECT_EQ(rgb(10, 120, 230), controls::fromQImage(slider->grab().toImage()).at(1, 1));
}

TEST(CBackdropSlider, DestroyingAnUnpaintedSliderIsHarmless) {
    auto* slider = new CBackdropSlider;
    EXPECT_FALSE(slider->backgroundCached());
    delete slider;
}

}  // namespace
