#pragma once

class LSAVPlayerActionView;
class QEvent;
class QMouseEvent;

// What a player view reports to its action delegate. Every operation is
// optional: the empty bodies are what an implementer leaves out.
class P_ZKPlayerViewAction
{
public:
    virtual ~P_ZKPlayerViewAction() = default;

    // A single press (a second press of a double click is reported below).
    virtual void mouseDownOnPlayerView(LSAVPlayerActionView* view, QMouseEvent* event) {}
    virtual void mouseDoubleClickedOnPlayerView() {}
    // The pointer moves over the view with no button held.
    virtual void mouseMovedOnPlayerView(LSAVPlayerActionView* view, QMouseEvent* event) {}
    virtual void mouseDraggedOnPlayerView(LSAVPlayerActionView* view, QMouseEvent* event) {}
    virtual void mouseUpOnPlayerView(LSAVPlayerActionView* view, QMouseEvent* event) {}
    virtual void mouseEnteredPlayerView(LSAVPlayerActionView* view, QEvent* event) {}
    virtual void mouseExitedPlayerView(LSAVPlayerActionView* view, QEvent* event) {}
    // The pointer left the view onto something lying over it (a control).
    virtual void mouseEnterCtlPlayerView(LSAVPlayerActionView* view, QEvent* event) {}
    virtual void spaceKeyDown() {}
    virtual void escKeyDown() {}
};
