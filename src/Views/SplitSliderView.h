#pragma once

#include "Views/BaseSliderView.h"

class QMouseEvent;

// The edit window's timeline: a cursor, a selection (the trim) and two
// handles on top of the bar that move the selection's edges. The whole
// range is selected at first. While a handle is dragged the selection stays
// at least kMinClipLength long and inside the range.
class SplitSliderView : public BaseSliderView
{
public:
    static constexpr double kMinClipLength = 5.0;
    // How far inside the selection the cursor must lie for a split.
    static constexpr double kSplitMargin = 2.0;

    explicit SplitSliderView(QWidget* parent = nullptr);

    // The host reads and writes the selection directly, then redraws.
    SliderSelectionItem& selectionItem() { return m_itemSelection; }
    // True when the cursor lies more than kSplitMargin inside the selection at both ends.
    bool canBeSplited() const;

    bool bDraggingLeftClip() const { return m_bDraggingLeftClip; }
    bool bDraggingRightClip() const { return m_bDraggingRightClip; }
    QRectF rcClipLeft() const { return m_rcClipLeft; }
    QRectF rcClipRight() const { return m_rcClipRight; }
    double dDragXoffset() const { return m_dDragXoffset; }

    void draw(QPainter& painter) override;

    // The same steps as the mouse handlers, with points in view coordinates.
    void mouseDown(QPointF point);
    void mouseDragged(QPointF point);
    void mouseUp(QPointF point);

protected:
    void layoutRects() override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyLeftClipRule(double pointerX);
    void applyRightClipRule(double pointerX);

    bool m_bDraggingLeftClip = false;
    bool m_bDraggingRightClip = false;
    QRectF m_rcClipLeft;
    QRectF m_rcClipRight;
    double m_dDragXoffset = 0.0;
};
