#include "Views/BaseSliderView.h"

#include "Settings/GlobalResources.h"

#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>

namespace {

// How far around the bar a press still grabs the cursor, in points.
constexpr double kBarGrabMargin = 5.0;

}  // namespace

BaseSliderView::BaseSliderView(QWidget* parent)
    : QWidget(parent)
{
    m_itemSelection.dStart = m_dMinValue;
    m_itemSelection.dLength = -1.0;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

BaseSliderView::~BaseSliderView() = default;

void BaseSliderView::setDCurValue(double value)
{
    m_dCurValue = value;
    update();
}

void BaseSliderView::seekToValue(double value)
{
    setDCurValue(value);
    if (m_delegate)
        m_delegate->sliderViewDidChangeValue(this, m_dCurValue);
}

QRectF BaseSliderView::barRect() const
{
    const QImage leftCap = GlobalResources::sharedImage(QStringLiteral("SliderView_SliderLeftImg"));
    return QRectF(m_sliderXOffset, m_sliderYOffset, width() - 2.0 * m_sliderXOffset, pointSize(leftCap).height());
}

double BaseSliderView::curProgressWithXValue(double x) const
{
    const QRectF bar = barRect();
    if (!(bar.width() > 0.0) || std::isnan(x))
        return m_dMinValue;
    x = std::clamp(x, m_sliderXOffset, bar.x() + bar.width());
    return (x - m_sliderXOffset) / bar.width() * m_dLength + m_dMinValue;
}

double BaseSliderView::curXValueWithProgress(double value) const
{
    const QRectF bar = barRect();
    if (m_dLength == 0.0 || std::isnan(value))
        return m_sliderXOffset;
    const double lo = std::min(m_dMinValue, m_dMinValue + m_dLength);
    const double hi = std::max(m_dMinValue, m_dMinValue + m_dLength);
    value = std::clamp(value, lo, hi);
    return (value - m_dMinValue) / m_dLength * bar.width() + m_sliderXOffset;
}

void BaseSliderView::mouseDownAt(QPointF point)
{
    if (!isEnabled())
        return;
    layoutRects();
    m_bDraggingKnob = false;
    const QRectF grabZone =
        m_rcSlider.adjusted(-kBarGrabMargin, -kBarGrabMargin, kBarGrabMargin, kBarGrabMargin);
    if (pointInRect(point, grabZone)) {
        m_bDraggingKnob = true;
        m_dCurValue = curProgressWithXValue(point.x());
        if (m_delegate)
            m_delegate->sliderViewBeginDragAt(this, m_dCurValue);
    }
}

void BaseSliderView::mouseDraggedTo(QPointF point)
{
    if (!isEnabled() || !m_bDraggingKnob)
        return;
    m_dCurValue = curProgressWithXValue(point.x());
    if (m_delegate)
        m_delegate->sliderViewDidChangeValue(this, m_dCurValue);
}

void BaseSliderView::mouseUpAt(QPointF point)
{
    if (!isEnabled() || !m_bDraggingKnob)
        return;
    m_bDraggingKnob = false;
    m_dCurValue = curProgressWithXValue(point.x());
    if (m_delegate)
        m_delegate->sliderViewEndDragAt(this, m_dCurValue);
}

void BaseSliderView::layoutRects()
{
    m_rcSlider = barRect();
    const QSizeF knob = pointSize(GlobalResources::sharedImage(QStringLiteral("SliderView_KnobImg")));
    // The cursor is not clamped here: a value outside the range is drawn where it lies.
    const double cursorX = m_dLength != 0.0
        ? (m_dCurValue - m_dMinValue) / m_dLength * m_rcSlider.width() + m_sliderXOffset
        : m_sliderXOffset;
    m_rcKnob = QRectF(cursorX - knob.width() / 2.0, m_knobYOffset, knob.width(), knob.height());
}

void BaseSliderView::draw(QPainter& painter)
{
    layoutRects();
    drawThreePartImage(painter, m_rcSlider, GlobalResources::sharedImage(QStringLiteral("SliderView_SliderLeftImg")),
                       GlobalResources::sharedImage(QStringLiteral("SliderView_SliderMiddleImg")),
                       GlobalResources::sharedImage(QStringLiteral("SliderView_SliderRightImg")));

    if (m_itemSelection.dLength > 0.0 && m_dLength != 0.0) {
        // Not clamped either: the host decides what the selection covers.
        const QRectF selection((m_itemSelection.dStart - m_dMinValue) / m_dLength * m_rcSlider.width()
                                   + m_sliderXOffset,
                               m_rcSlider.y(), m_itemSelection.dLength / m_dLength * m_rcSlider.width(),
                               m_rcSlider.height());
        drawThreePartImage(painter, selection,
                           GlobalResources::sharedImage(QStringLiteral("SliderView_SliderLeftSecImg")),
                           GlobalResources::sharedImage(QStringLiteral("SliderView_SliderMiddleSecImg")),
                           GlobalResources::sharedImage(QStringLiteral("SliderView_SliderRightSecImg")));
    }

    drawImage(painter, m_rcKnob, GlobalResources::sharedImage(QStringLiteral("SliderView_KnobImg")));
}

void BaseSliderView::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    // The background is the host's (or the widget's own auto-filled one).
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
}

QPointF BaseSliderView::viewPointFromWidget(QPointF widgetPoint) const
{
    return QPointF(widgetPoint.x(), height() - widgetPoint.y());
}

QRectF BaseSliderView::widgetRectFromView(const QRectF& viewRect) const
{
    return QRectF(viewRect.x(), height() - viewRect.y() - viewRect.height(), viewRect.width(), viewRect.height());
}

bool BaseSliderView::pointInRect(QPointF point, const QRectF& rect)
{
    return point.x() >= rect.left() && point.x() < rect.left() + rect.width() && point.y() >= rect.top()
        && point.y() < rect.top() + rect.height();
}

QSizeF BaseSliderView::pointSize(const QImage& image)
{
    if (image.isNull())
        return QSizeF(0, 0);
    return image.deviceIndependentSize();
}

void BaseSliderView::drawImage(QPainter& painter, const QRectF& viewRect, const QImage& image) const
{
    if (image.isNull() || viewRect.isEmpty())
        return;
    painter.drawImage(widgetRectFromView(viewRect), image);
}

void BaseSliderView::drawThreePartImage(QPainter& painter, const QRectF& viewRect, const QImage& left,
                                        const QImage& middle, const QImage& right) const
{
    if (!(viewRect.width() > 0.0) || !(viewRect.height() > 0.0))
        return;
    double leftW = pointSize(left).width();
    double rightW = pointSize(right).width();
    if (leftW + rightW > viewRect.width() && leftW + rightW > 0.0) {
        const double scale = viewRect.width() / (leftW + rightW);
        leftW *= scale;
        rightW *= scale;
    }
    const double x = viewRect.x(), y = viewRect.y(), h = viewRect.height();
    drawImage(painter, QRectF(x, y, leftW, h), left);
    drawImage(painter, QRectF(x + leftW, y, viewRect.width() - leftW - rightW, h), middle);
    drawImage(painter, QRectF(x + viewRect.width() - rightW, y, rightW, h), right);
}

QSize BaseSliderView::sizeHint() const
{
    return QSize(300, 36);
}

QSize BaseSliderView::minimumSizeHint() const
{
    return QSize(60, 36);
}
