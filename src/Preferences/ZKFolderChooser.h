#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// How the preference panes ask the user for folders. A chooser shows its
// question as a sheet on `window` and later calls `done` once, with the
// chosen folders as absolute paths, or with an empty list when the user
// cancelled. Tests put a chooser in place that answers at once, so no test
// ever opens a real dialog.
struct ZKFolderRequest {
    QWidget* window = nullptr;
    QString title;
    // Where the chooser starts; empty for its own choice.
    QString startFolder;
    bool allowsMultiple = false;
};

using ZKFolderChooser
    = std::function<void(const ZKFolderRequest& request, std::function<void(const QStringList& folders)> done)>;

// The chooser of the running application: a window-modal folder dialog on
// the request's window that may create new folders.
ZKFolderChooser ZKSheetFolderChooser();
