#pragma once

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class HIMSliderView;
class QAbstractAnimation;

// Told which slide is shown and which one was clicked. Indexes are signed:
// a receiver checks them against its own list.
class HIMSliderViewDelegate {
public:
    virtual ~HIMSliderViewDelegate() = default;
    virtual void HIMSliderViewDidClickIndex(HIMSliderView* sliderView, qint64 index) { }
    virtual void HIMSliderViewShowIndex(HIMSliderView* sliderView, qint64 index) { }
};

// A slide carousel: one child widget per slide, filling the view, with
// optional scheduled transitions to the next slide (wrapping round) and
// page dots at the bottom. Interface thread only.
class HIMSliderView : public QWidget {
    Q_OBJECT

public:
    enum TransitionStyle {
        TransitionNone = 0, // the next slide replaces the shown one at once
        TransitionFade = 1, // the next slide fades in over the shown one
        TransitionPushUp = 2, // the next slide pushes the shown one up
        TransitionPushLeft = 3, // the next slide pushes the shown one to the left
    };

    explicit HIMSliderView(QWidget* parent = nullptr);
    ~HIMSliderView() override;

    void setDelegate(HIMSliderViewDelegate* delegate) { m_delegate = delegate; }
    void setTransitionStyle(int style) { m_style = style; }
    int transitionStyle() const { return m_style; }
    void setScheduledTransitionInterval(double seconds);
    double scheduledTransitionInterval() const { return m_interval; }
    // Switches the automatic advance on or off (needs two slides or more to move).
    void setScheduledTransition(bool on);
    bool scheduledTransition() const { return m_timer.isActive(); }

    // The view takes ownership of added slides; a removed slide is handed
    // back to the caller (no parent).
    void addSlide(QWidget* slide);
    void removeSlide(QWidget* slide);
    QList<QWidget*> slides() const;

    qint64 currentIndex() const { return m_current; }
    // Shows a slide; out-of-range indexes are ignored.
    void showSlideAtIndex(qint64 index, bool animated = true);
    void showNext();
    // What a click on the shown slide does.
    void clickCurrentSlide();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class Dots;

    void layoutSlides();
    void finishAnimation();

    HIMSliderViewDelegate* m_delegate = nullptr;
    QList<QPointer<QWidget>> m_slides;
    qint64 m_current = -1;
    int m_style = TransitionPushLeft;
    double m_interval = 8.0;
    QTimer m_timer;
    QPointer<QAbstractAnimation> m_animation;
    Dots* m_dots = nullptr;
};
