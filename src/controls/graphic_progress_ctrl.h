#pragma once
// CGraphicProgressCtrl: a progress control drawn as a shaded tube in tints of the highlight colour.
#include <QWidget>

#include "progress_painter.h"

class CGraphicProgressCtrl : public QWidget {
    Q_OBJECT
public:
    // Takes the palette from the widget's highlight and shadow colours, once, here.
    explicit CGraphicProgressCtrl(QWidget* parent = nullptr);

    // Sets the range; the position is held inside the new range. Default 0 to 100.
    void setRange(int lower, int upper);
    std::pair<int, int> range() const { return {m_state.lower, m_state.upper}; }
    // Holds the position inside the range and repaints when it changed.
    void setPosition(int position);
    int position() const { return m_state.position; }
    // Vertical bars grow from the bottom up.
    void setVertical(bool vertical);
    bool isVertical() const { return m_state.vertical; }

    // A 1-pixel window-frame border around the bar; the bar then fills the area inside it.
    void setBordered(bool bordered);
    bool isBordered() const { return m_bordered; }

    const controls::ProgressPalette& colours() const { return m_palette; }
    // The whole widget as the next paint will show it.
    controls::PixelImage render() const;
    // How many times the rendered picture has been copied to the screen.
    int screenCopies() const { return m_screenCopies; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    controls::ProgressPalette m_palette;
    controls::ProgressState m_state;
    bool m_bordered = false;
    int m_screenCopies = 0;
};
