#include "Views/SplitSliderView.h"

#include "Settings/GlobalResources.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

SplitSliderView::SplitSliderView(QWidget* parent)
    : BaseSliderView(parent)
{
    m_itemSelection.dStart = dMinValue();
    m_itemSelection.dLength = dLength();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

bool SplitSliderView::canBeSplited() const
{
    const double cur = dCurValue();
    return m_itemSelection.dStart < cur - kSplitMargin && cur + kSplitMargin < m_itemSelection.end();
}

void SplitSliderView::layoutRects()
{
    BaseSliderView::layoutRects();
    // Both handles take the left handle's size and stand on top of the bar,
    // the left one ending at the selection start, the right one beginning at
    // the selection end.
    const QSizeF handle = pointSize(GlobalResources::sharedImage(QStringLiteral("SplitSlider_TrimLeftImg")));
    const double y = m_rcSlider.y() + m_rcSlider.height();
    m_rcClipLeft = QRectF(curXValueWithProgress(m_itemSelection.dStart) - handle.width(), y, handle.width(),
                          handle.height());
    m_rcClipRight = QRectF(curXValueWithProgress(m_itemSelection.end()), y, handle.width(), handle.height());
}

void SplitSliderView::draw(QPainter& painter)
{
    BaseSliderView::draw(painter);  // lays out the handles too
    drawImage(painter, m_rcClipLeft, GlobalResources::sharedImage(QStringLiteral("SplitSlider_TrimLeftImg")));
    drawImage(painter, m_rcClipRight, GlobalResources::sharedImage(QStringLiteral("SplitSlider_TrimRightImg")));
}

void SplitSliderView::applyLeftClipRule(double pointerX)
{
    SliderSelectionItem& sel = m_itemSelection;
    const double end = sel.end();
    const double delta = curProgressWithXValue(pointerX + m_dDragXoffset) - sel.dStart;
    if (sel.dLength - delta < kMinClipLength) {
        sel.dStart = end - kMinClipLength;
        sel.dLength = kMinClipLength;
    } else {
        sel.dStart += delta;
        sel.dLength -= delta;
    }
    // The end stays where it is; at the start of the range the minimum
    // length gives way rather than the selection leaving the range.
    const double lo = std::min(dMinValue(), dMinValue() + dLength());
    if (sel.dStart < lo) {
        sel.dStart = lo;
        sel.dLength = std::max(0.0, end - lo);
    }
}

void SplitSliderView::applyRightClipRule(double pointerX)
{
    SliderSelectionItem& sel = m_itemSelection;
    const double v = curProgressWithXValue(pointerX - m_dDragXoffset);
    sel.dLength = std::max(v - sel.dStart, kMinClipLength);
    // Likewise at the end of the range: the start stays put.
    const double hi = std::max(dMinValue(), dMinValue() + dLength());
    if (sel.end() > hi)
        sel.dLength = std::max(0.0, hi - sel.dStart);
}

void SplitSliderView::mouseDown(QPointF point)
{
    mouseDownAt(point);
    m_bDraggingLeftClip = false;
    m_bDraggingRightClip = false;
    layoutRects();
    if (pointInRect(point, m_rcClipLeft)) {
        m_bDraggingLeftClip = true;
        m_dDragXoffset = std::abs(m_rcClipLeft.x() + m_rcClipLeft.width() - point.x());
        applyLeftClipRule(point.x());
        if (delegate())
            delegate()->splitSliderViewBeginDragClip(this, true);
    } else if (pointInRect(point, m_rcClipRight)) {
        m_bDraggingRightClip = true;
        m_dDragXoffset = std::abs(point.x() - m_rcClipRight.x());
        applyRightClipRule(point.x());
        if (delegate())
            delegate()->splitSliderViewBeginDragClip(this, false);
    }
    update();
}

void SplitSliderView::mouseDragged(QPointF point)
{
    // A held handle wins over a cursor drag started by the same press.
    if (m_bDraggingLeftClip) {
        applyLeftClipRule(point.x());
        if (delegate())
            delegate()->splitSliderViewDragClipTo(this, true);
    } else if (m_bDraggingRightClip) {
        applyRightClipRule(point.x());
        if (delegate())
            delegate()->splitSliderViewDragClipTo(this, false);
    } else if (bDraggingKnob()) {
        mouseDraggedTo(point);
    }
    update();
}

void SplitSliderView::mouseUp(QPointF point)
{
    mouseUpAt(point);
    const bool left = m_bDraggingLeftClip;
    const bool right = m_bDraggingRightClip;
    m_bDraggingLeftClip = false;
    m_bDraggingRightClip = false;
    if ((left || right) && delegate())
        delegate()->splitSliderViewEndDragClip(this, left);
    update();
}

bool SplitSliderView::event(QEvent* event)
{
    // Qt drops mouse input to a disabled widget before the handlers see it.
    // The handles keep working on a disabled slider (the cursor steps check
    // the state themselves), so the mouse is passed on here.
    if (!isEnabled()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            mousePressEvent(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseMove:
            mouseMoveEvent(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease:
            mouseReleaseEvent(static_cast<QMouseEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return BaseSliderView::event(event);
}

void SplitSliderView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        BaseSliderView::mousePressEvent(event);
        return;
    }
    mouseDown(viewPointFromWidget(event->position()));
    event->accept();
}

void SplitSliderView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        BaseSliderView::mouseMoveEvent(event);
        return;
    }
    mouseDragged(viewPointFromWidget(event->position()));
    event->accept();
}

void SplitSliderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        BaseSliderView::mouseReleaseEvent(event);
        return;
    }
    mouseUp(viewPointFromWidget(event->position()));
    event->accept();
}
