#include "Platform/Workspace.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kInterface = QStringLiteral("org.freedesktop.FileManager1");
// A file manager that is started on demand may take a while to come up.
constexpr int kShowItemsTimeoutMs = 25000;

QMutex& openFunctionMutex()
{
    static QMutex mutex;
    return mutex;
}

Workspace::OpenUrlFunction& openFunction()
{
    static Workspace::OpenUrlFunction function;
    return function;
}

}  // namespace

void Workspace::setOpenUrlFunction(OpenUrlFunction function)
{
    QMutexLocker lock(&openFunctionMutex());
    openFunction() = std::move(function);
}

bool Workspace::open(const QUrl& url)
{
    OpenUrlFunction function;
    {
        QMutexLocker lock(&openFunctionMutex());
        function = openFunction();
    }
    return function ? function(url) : QDesktopServices::openUrl(url);
}

Workspace& Workspace::sharedWorkspace()
{
    static Workspace workspace;
    return workspace;
}

Workspace::Workspace(const QDBusConnection& sessionBus)
    : m_bus(sessionBus)
{
}

bool Workspace::openFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    return open(QUrl::fromLocalFile(info.absoluteFilePath()));
}

bool Workspace::selectFile(const QString& path)
{
    return showItems(QStringList{path});
}

void Workspace::openContainingFolders(const QStringList& absolutePaths)
{
    QStringList folders;
    for (const QString& path : absolutePaths) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const QString& folder : folders)
        open(QUrl::fromLocalFile(folder));
}

bool Workspace::showItems(const QStringList& paths)
{
    QStringList absolutePaths;
    QStringList uris;
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (!info.exists())
            continue;
        absolutePaths << info.absoluteFilePath();
        uris << QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded);
    }
    if (absolutePaths.isEmpty())
        return false;

    if (!m_bus.isConnected()) {
        openContainingFolders(absolutePaths);
        return true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ShowItems"));
    call << uris << QString();   // no startup notification id
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kShowItemsTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [absolutePaths](QDBusPendingCallWatcher* finished) {
                         if (finished->isError())
                             openContainingFolders(absolutePaths);
                         finished->deleteLater();
                     });
    return true;
}

bool Workspace::openURL(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    return open(url);
}
