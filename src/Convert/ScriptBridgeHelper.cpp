#include "Convert/ScriptBridgeHelper.h"

#include "Platform/MusicLibrary.h"
#include "Platform/PowerManager.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

struct Overrides
{
    QMutex mutex;
    QString libraryRoot;
    std::optional<QDBusConnection> systemBus;
};

Overrides& overrides()
{
    static Overrides instance;
    return instance;
}

MusicLibrary library()
{
    Overrides& o = overrides();
    QMutexLocker lock(&o.mutex);
    return o.libraryRoot.isEmpty() ? MusicLibrary() : MusicLibrary(o.libraryRoot);
}

PowerManager powerManager()
{
    Overrides& o = overrides();
    QMutexLocker lock(&o.mutex);
    return o.systemBus ? PowerManager(*o.systemBus) : PowerManager();
}

}  // namespace

bool ScriptBridgeHelper::syncItunesLibrary(const QString& playlistName, const QString& originFile)
{
    MusicLibrary music = library();
    // No library folder to be had, or a file no playlist line can name:
    // nothing is added and no playlist is made for it.
    if (!MusicLibrary::canAdd(originFile) || !music.ensureExists())
        return false;

    std::optional<int> target;
    if (!playlistName.isEmpty()) {
        target = music.indexOfPlaylist(playlistName);
        if (!target)
            target = music.insertPlaylist(playlistName, 0);
    }
    // A playlist that could not be made leaves the file in the library only.
    return music.addFile(originFile, target) && (playlistName.isEmpty() || target.has_value());
}

bool ScriptBridgeHelper::tellFinderToSleep()
{
    return powerManager().suspend();
}

bool ScriptBridgeHelper::tellFinderToShutup()
{
    return powerManager().powerOff();
}

void ScriptBridgeHelper::setMusicLibraryRootForTesting(const QString& root)
{
    Overrides& o = overrides();
    QMutexLocker lock(&o.mutex);
    o.libraryRoot = root;
}

void ScriptBridgeHelper::setSystemBusForTesting(const std::optional<QDBusConnection>& bus)
{
    Overrides& o = overrides();
    QMutexLocker lock(&o.mutex);
    o.systemBus = bus;
}
