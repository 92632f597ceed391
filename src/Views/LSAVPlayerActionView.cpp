#include "Views/LSAVPlayerActionView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

bool isViewKey(const QKeyEvent* e)
{
    return (e->key() == Qt::Key_Space || e->key() == Qt::Key_Escape)
        && (e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == Qt::NoModifier;
}

}  // namespace

LSAVPlayerActionView::LSAVPlayerActionView(QWidget* parent)
    : ZKAVPlayerView(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    updateTrackingAreas();
}

LSAVPlayerActionView::LSAVPlayerActionView(const QRect& frame, QWidget* parent)
    : LSAVPlayerActionView(parent)
{
    setGeometry(frame);
    updateTrackingAreas();
}

void LSAVPlayerActionView::setActionDelegate(P_ZKPlayerViewAction* delegate)
{
    m_actionDelegate = delegate;
    m_delegateObject = dynamic_cast<QObject*>(delegate);
    m_delegateIsObject = m_delegateObject != nullptr;
}

P_ZKPlayerViewAction* LSAVPlayerActionView::actionDelegate() const
{
    if (m_delegateIsObject && !m_delegateObject)
        return nullptr;
    return m_actionDelegate;
}

void LSAVPlayerActionView::updateTrackingAreas()
{
    m_trackArea = rect();
}

void LSAVPlayerActionView::addResizingSubview(QWidget* view)
{
    if (!view)
        return;
    if (view->parentWidget() != this)
        view->setParent(this);
    view->setGeometry(rect());
    view->show();
    view->raise();
    for (const QPointer<QWidget>& v : std::as_const(m_resizingSubviews))
        if (v == view)
            return;
    m_resizingSubviews.append(view);
}

bool LSAVPlayerActionView::tracking() const
{
    // Reported only while the application is the active one.
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

bool LSAVPlayerActionView::event(QEvent* event)
{
    // Space and Esc belong to the view while it has the focus, before any
    // shortcut of the window sees them.
    if (event->type() == QEvent::ShortcutOverride && isViewKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return ZKAVPlayerView::event(event);
}

void LSAVPlayerActionView::mousePressEvent(QMouseEvent* event)
{
    if (P_ZKPlayerViewAction* d = actionDelegate())
        d->mouseDownOnPlayerView(this, event);
}

void LSAVPlayerActionView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (P_ZKPlayerViewAction* d = actionDelegate())
        d->mouseDoubleClickedOnPlayerView();
}

void LSAVPlayerActionView::mouseMoveEvent(QMouseEvent* event)
{
    P_ZKPlayerViewAction* d = actionDelegate();
    if (!d)
        return;
    if (event->buttons() != Qt::NoButton)
        d->mouseDraggedOnPlayerView(this, event);
    else if (tracking() && m_trackArea.contains(event->position().toPoint()))
        d->mouseMovedOnPlayerView(this, event);
}

void LSAVPlayerActionView::mouseReleaseEvent(QMouseEvent* event)
{
    if (P_ZKPlayerViewAction* d = actionDelegate())
        d->mouseUpOnPlayerView(this, event);
    ZKAVPlayerView::mouseReleaseEvent(event);
}

void LSAVPlayerActionView::enterEvent(QEnterEvent* event)
{
    if (tracking()) {
        if (P_ZKPlayerViewAction* d = actionDelegate())
            d->mouseEnteredPlayerView(this, event);
    }
    ZKAVPlayerView::enterEvent(event);
}

void LSAVPlayerActionView::leaveEvent(QEvent* event)
{
    if (!tracking()) {
        ZKAVPlayerView::leaveEvent(event);
        return;
    }
    pointerLeft(mapFromGlobal(QCursor::pos()), event);
}

void LSAVPlayerActionView::pointerLeft(const QPointF& position, QEvent* event)
{
    // The rule counts y from the bottom edge.
    const double x = position.x();
    const double y = height() - position.y();
    P_ZKPlayerViewAction* d = actionDelegate();
    if (x < 2 || y < 2) {
        if (d)
            d->mouseExitedPlayerView(this, event);
        return;
    }
    const double nx = x + 1;
    const double ny = y + 1;
    const bool inside = nx >= 0 && nx < width() && ny >= 0 && ny < height();
    if (inside) {
        ZKAVPlayerView::leaveEvent(event);
        if ((d = actionDelegate()))
            d->mouseEnterCtlPlayerView(this, event);
    } else {
        if (d)
            d->mouseExitedPlayerView(this, event);
        ZKAVPlayerView::leaveEvent(event);
    }
}

void LSAVPlayerActionView::keyPressEvent(QKeyEvent* event)
{
    if (!isViewKey(event)) {
        ZKAVPlayerView::keyPressEvent(event);
        return;
    }
    event->accept();
    P_ZKPlayerViewAction* d = actionDelegate();
    // A held key toggles once, not with every repeat.
    if (!d || event->isAutoRepeat())
        return;
    if (event->key() == Qt::Key_Space)
        d->spaceKeyDown();
    else
        d->escKeyDown();
}

void LSAVPlayerActionView::resizeEvent(QResizeEvent* event)
{
    ZKAVPlayerView::resizeEvent(event);
    for (const QPointer<QWidget>& v : std::as_const(m_resizingSubviews))
        if (v)
            v->setGeometry(rect());
    updateTrackingAreas();
}

void LSAVPlayerActionView::showEvent(QShowEvent* event)
{
    ZKAVPlayerView::showEvent(event);
    updateTrackingAreas();
}
