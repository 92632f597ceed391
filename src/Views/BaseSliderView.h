#pragma once

#include "Views/SliderSelectionItem.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

class BaseSliderView;
class SplitSliderView;

// What a timeline slider tells its host. Every operation is optional: the
// empty bodies stand for "not implemented". The slider never owns its delegate.
class SliderViewDelegate
{
public:
    virtual ~SliderViewDelegate() = default;

    // A press on the bar started a cursor drag at `value`.
    virtual void sliderViewBeginDragAt(BaseSliderView* slider, double value) { (void)slider, (void)value; }
    // The cursor moved during a drag, or seekToValue() was called.
    virtual void sliderViewDidChangeValue(BaseSliderView* slider, double value) { (void)slider, (void)value; }
    // The mouse was released after a cursor drag.
    virtual void sliderViewEndDragAt(BaseSliderView* slider, double value) { (void)slider, (void)value; }

    // Trim handles of a SplitSliderView (bLeftClip true = the left handle).
    virtual void splitSliderViewBeginDragClip(SplitSliderView* slider, bool bLeftClip) { (void)slider, (void)bLeftClip; }
    virtual void splitSliderViewDragClipTo(SplitSliderView* slider, bool bLeftClip) { (void)slider, (void)bLeftClip; }
    virtual void splitSliderViewEndDragClip(SplitSliderView* slider, bool bLeftClip) { (void)slider, (void)bLeftClip; }
};

// A horizontal timeline: a bar, an optional selection on it and a cursor
// knob, all drawn from the shared interface images.
//
// Coordinates. The slider's geometry (offsets, rcSlider, rcKnob, the points
// taken by mouseDownAt() and friends) is in *view points* whose origin is the
// bottom-left corner of the widget, y growing upwards: sliderYOffset is the
// distance of the bar from the widget's bottom edge. Qt's own coordinates
// (top-left origin, y downwards) appear only at the edges of the class: mouse
// events are turned into view points with viewPointFromWidget() and rectangles
// are turned into painter rectangles with widgetRectFromView(). Both map
// y' = height() - y (a rectangle's top edge being its y + height).
//
// Values. The bar maps dMinValue .. dMinValue + dLength onto its width. The
// mappings and hit tests use the bar of the widget's current geometry, which
// is the one last drawn as long as the host redraws after changing the
// geometry properties (setting them does not redraw).
class BaseSliderView : public QWidget
{
public:
    explicit BaseSliderView(QWidget* parent = nullptr);
    ~BaseSliderView() override;

    double dLength() const { return m_dLength; }
    void setDLength(double length) { m_dLength = length; }
    double dMinValue() const { return m_dMinValue; }
    void setDMinValue(double value) { m_dMinValue = value; }
    double sliderXOffset() const { return m_sliderXOffset; }
    void setSliderXOffset(double offset) { m_sliderXOffset = offset; }
    double sliderYOffset() const { return m_sliderYOffset; }
    void setSliderYOffset(double offset) { m_sliderYOffset = offset; }
    double knobYOffset() const { return m_knobYOffset; }
    void setKnobYOffset(double offset) { m_knobYOffset = offset; }
    SliderViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(SliderViewDelegate* delegate) { m_delegate = delegate; }

    double dCurValue() const { return m_dCurValue; }
    // Stores the cursor and redraws; the delegate hears nothing.
    virtual void setDCurValue(double value);
    // Moves the cursor and reports it as if the user had moved it.
    void seekToValue(double value);

    // The selection the bar draws (start and length in slider units).
    const SliderSelectionItem& itemSelection() const { return m_itemSelection; }

    double curProgressWithXValue(double x) const;
    double curXValueWithProgress(double value) const;

    // Cursor tracking with points in view coordinates (see above). A press
    // within 5 points of the bar starts a drag and jumps the cursor there.
    // None of these redraw; the mouse handlers of the subclasses do.
    void mouseDownAt(QPointF point);
    void mouseDraggedTo(QPointF point);
    void mouseUpAt(QPointF point);

    // Rectangles of the last layout (made at every draw and every press).
    QRectF rcSlider() const { return m_rcSlider; }
    QRectF rcKnob() const { return m_rcKnob; }
    bool bDraggingKnob() const { return m_bDraggingKnob; }

    // Paints bar, selection and knob, in that order.
    virtual void draw(QPainter& painter);

    QPointF viewPointFromWidget(QPointF widgetPoint) const;
    QRectF widgetRectFromView(const QRectF& viewRect) const;
    // Inside test of the platform: left and bottom edges in, right and top out.
    static bool pointInRect(QPointF point, const QRectF& rect);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Recomputes the cached rectangles from the current geometry and values.
    virtual void layoutRects();
    QRectF barRect() const;
    // The image's size in points.
    static QSizeF pointSize(const QImage& image);
    // A horizontal three-part image: both caps at their own width (shrunk
    // together when the rectangle is narrower than both), the middle stretched.
    void drawThreePartImage(QPainter& painter, const QRectF& viewRect, const QImage& left, const QImage& middle,
                            const QImage& right) const;
    void drawImage(QPainter& painter, const QRectF& viewRect, const QImage& image) const;

    SliderSelectionItem m_itemSelection;
    QRectF m_rcSlider;
    QRectF m_rcKnob;
    bool m_bDraggingKnob = false;

private:
    double m_dLength = 1000.0;
    double m_dMinValue = 0.0;
    double m_dCurValue = 0.0;
    double m_sliderXOffset = 10.0;
    double m_sliderYOffset = 10.0;
    double m_knobYOffset = 7.0;
    SliderViewDelegate* m_delegate = nullptr;
};
