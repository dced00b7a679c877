#pragma once

#include "textcompare/window/diff_bar_geometry.h"

#include <QWidget>

#include <array>
#include <vector>

namespace textcompare {

// The difference bar: a narrow strip beside the grid that paints the boxes it is given
// over a white ground, one unit to a pixel, with two markers inside it: 0 outlines the
// rows in view, 1 marks the current row. A mouse press is passed on in the bar's units.
class DiffBar : public QWidget
{
    Q_OBJECT

public:
    explicit DiffBar(QWidget *parent = nullptr);

    // The bar's scale: its size in units.
    int scaleWidth() const { return width(); }
    int scaleHeight() const { return height(); }

    void setBoxes(std::vector<PaintedBox> boxes);
    const std::vector<PaintedBox> &boxes() const { return m_boxes; }

    QWidget *marker(int index) const { return m_markers[size_t(index)]; }
    // Puts a marker at its top and height, as wide as the bar.
    void placeMarker(int index, const BarMarker &place);
    // Puts both markers above the bar (top -1, height 1), out of sight.
    void hideMarkers();

Q_SIGNALS:
    // Button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt.
    void mouseDown(int button, int shift, int x, int y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::vector<PaintedBox> m_boxes;
    std::array<QWidget *, 2> m_markers{};
};

} // namespace textcompare
