#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Opening folders and web pages with the desktop's default applications, and
// showing files selected in the file manager (org.freedesktop.FileManager1
// on the session bus; without one, the folders that hold them are opened).
// Call from the interface thread: the file manager's answer arrives through
// its event loop.
class Workspace
{
public:
    // How a location is handed to the desktop; QDesktopServices::openUrl
    // unless a test puts its own in place (an empty function restores it).
    using OpenUrlFunction = std::function<bool(const QUrl&)>;
    static void setOpenUrlFunction(OpenUrlFunction function);

    // The workspace on the user's session bus.
    static Workspace& sharedWorkspace();

    explicit Workspace(const QDBusConnection& sessionBus = QDBusConnection::sessionBus());

    // Opens an existing folder in the file manager.
    bool openFolder(const QString& path);
    // Shows one file (or folder) selected in its folder.
    bool selectFile(const QString& path);
    // Shows existing files selected. The request goes to the file manager
    // service; when that is absent or fails, every distinct folder holding
    // the files is opened instead. False when none of the paths exists.
    bool showItems(const QStringList& paths);
    // Opens a web page or other location with its default application.
    bool openURL(const QUrl& url);

private:
    static bool open(const QUrl& url);
    static void openContainingFolders(const QStringList& absolutePaths);

    QDBusConnection m_bus;
};
