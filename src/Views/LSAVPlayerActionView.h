#pragma once

#include "Views/P_ZKPlayerViewAction.h"
#include "Views/ZKAVPlayerView.h"

#include <QList>
#include <QPointer>
#include <QRect>

// The player view of the player wrapper: reports mouse and key actions to
// its action delegate. It takes the keyboard focus; Space and Esc are
// always handled here (whether or not a delegate listens), every other key
// goes on to the parent. Interface thread only.
class LSAVPlayerActionView : public ZKAVPlayerView
{
    Q_OBJECT

public:
    explicit LSAVPlayerActionView(QWidget* parent = nullptr);
    explicit LSAVPlayerActionView(const QRect& frame, QWidget* parent = nullptr);

    // Not owned. A delegate that is a QObject is forgotten when it dies.
    void setActionDelegate(P_ZKPlayerViewAction* delegate);
    P_ZKPlayerViewAction* actionDelegate() const;

    // Renews the area over which entering, leaving and moving are reported:
    // the old one goes, one over the whole view takes its place. Runs on
    // every resize and show.
    void updateTrackingAreas();
    QRect trackArea() const { return m_trackArea; }

    // A view lying over the picture that keeps the view's bounds as the view
    // is resized (the crop overlay).
    void addResizingSubview(QWidget* view);

    // The leave rule on a pointer position in view coordinates (top-left
    // origin): near the left or bottom edge, or outside, the pointer left
    // the view; anywhere else it moved onto something lying over it.
    void pointerLeft(const QPointF& position, QEvent* event);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool tracking() const;

    P_ZKPlayerViewAction* m_actionDelegate = nullptr;
    QPointer<QObject> m_delegateObject;  // set when the delegate is a QObject
    bool m_delegateIsObject = false;
    QRect m_trackArea;
    QList<QPointer<QWidget>> m_resizingSubviews;
};
