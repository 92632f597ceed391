#pragma once

#include <QIcon>
#include <QString>

class QWidget;

// What every pane offers the preferences window. A pane's view is built the
// first time it is asked for (that is, when the pane is first shown) and is
// filled from the settings store at that moment.
class ZKPreferencePane {
public:
    virtual ~ZKPreferencePane() = default;

    // Stable identifier; the window remembers the last pane by it.
    virtual QString identifier() const = 0;
    virtual QIcon toolbarItemImage() const = 0;
    virtual QString toolbarItemLabel() const = 0;

    // Stores the pane's edits. False keeps the pane on screen.
    virtual bool commitEditing() = 0;

    // The pane's view, built and filled on the first call.
    virtual QWidget* view() = 0;
    virtual bool isViewLoaded() const = 0;

    // The preferences window is about to come on screen with this pane shown.
    virtual void viewWillAppear() { }
};
