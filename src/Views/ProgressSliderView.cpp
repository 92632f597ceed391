#include "Views/ProgressSliderView.h"

#include <QMouseEvent>

ProgressSliderView::ProgressSliderView(QWidget* parent)
    : BaseSliderView(parent)
{
    m_itemSelection.dStart = 0.0;
    m_itemSelection.dLength = 0.0;
}

void ProgressSliderView::setDCurValue(double value)
{
    BaseSliderView::setDCurValue(value);
    m_itemSelection.dLength = dCurValue();
}

void ProgressSliderView::followCursor()
{
    m_itemSelection.dLength = dCurValue();
    update();
}

void ProgressSliderView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        BaseSliderView::mousePressEvent(event);
        return;
    }
    mouseDownAt(viewPointFromWidget(event->position()));
    m_bDraggingLeftClip = false;
    m_bDraggingRightClip = false;
    followCursor();
    event->accept();
}

void ProgressSliderView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        BaseSliderView::mouseMoveEvent(event);
        return;
    }
    mouseDraggedTo(viewPointFromWidget(event->position()));
    followCursor();
    event->accept();
}

void ProgressSliderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        BaseSliderView::mouseReleaseEvent(event);
        return;
    }
    mouseUpAt(viewPointFromWidget(event->position()));
    m_bDraggingLeftClip = false;
    m_bDraggingRightClip = false;
    // The release may land away from the last drag point: the played part
    // follows the cursor there too.
    followCursor();
    event->accept();
}
