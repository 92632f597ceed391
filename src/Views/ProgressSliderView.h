#pragma once

#include "Views/BaseSliderView.h"

class QMouseEvent;

// A position slider whose selection shows the part from the left end of the
// bar up to the cursor (the part already played). The play bar uses it.
//
// Qt keeps delivering timer events during a drag, so the host's position
// timer keeps firing while the cursor is held; no event loop of our own.
class ProgressSliderView : public BaseSliderView
{
public:
    explicit ProgressSliderView(QWidget* parent = nullptr);

    // Also sets the selection length to the value.
    void setDCurValue(double value) override;

    bool bDraggingLeftClip() const { return m_bDraggingLeftClip; }
    bool bDraggingRightClip() const { return m_bDraggingRightClip; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void followCursor();

    bool m_bDraggingLeftClip = false;
    bool m_bDraggingRightClip = false;
};
