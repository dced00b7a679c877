#include "textcompare/window/diff_bar.h"

#include "platform/widgets/bgr_qcolor.h"
#include "platform/widgets/key_codes.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace textcompare {

namespace {

// A marker: an outline for the rows in view, a shaded strip for the current row through
// which its row's colour still shows. It lets mouse presses through to the bar.
class Marker final : public QWidget
{
public:
    Marker(bool outline, QWidget *parent)
        : QWidget(parent)
        , m_outline(outline)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (m_outline) {
            painter.setPen(QPen(QColor(0, 0, 128), 1));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        } else {
            painter.fillRect(rect(), QColor(0, 0, 0, 120));
        }
    }

private:
    bool m_outline;
};

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

} // namespace

DiffBar::DiffBar(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_markers = {new Marker(true, this), new Marker(false, this)};
    hideMarkers();
}

void DiffBar::setBoxes(std::vector<PaintedBox> boxes)
{
    m_boxes = std::move(boxes);
    update();
}

void DiffBar::placeMarker(int index, const BarMarker &place)
{
    m_markers[size_t(index)]->setGeometry(0, place.top, width(), place.height);
}

void DiffBar::hideMarkers()
{
    for (int index = 0; index < 2; ++index)
        placeMarker(index, {-1, 1});
}

void DiffBar::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    const int top = event->rect().top();
    const int bottom = event->rect().bottom();
    for (const PaintedBox &painted : m_boxes) {
        if (painted.box.bottom < top || painted.box.top > bottom)
            continue;
        painter.fillRect(QRect(0, painted.box.top, width(), painted.box.bottom - painted.box.top + 1),
                         platform::widgets::colorFromBgr(painted.color));
    }
}

void DiffBar::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    Q_EMIT mouseDown(buttonCode(event->button()), platform::widgets::shiftState(event->modifiers()), at.x(), at.y());
}

void DiffBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    for (QWidget *marker : m_markers)
        marker->resize(width(), marker->height());
}

} // namespace textcompare
