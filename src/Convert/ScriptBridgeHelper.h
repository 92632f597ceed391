#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

// The hand-over of finished files to the music library and the end-of-run
// sleep or power-off. Class operations without state; the interface thread
// calls them. Callers ignore the results, which say only whether the request
// was carried out or sent.
class ScriptBridgeHelper
{
public:
    // Adds the file to the music library (MusicLibrary) and, when a playlist
    // name is given, to the first user playlist of exactly that name (letter
    // case counts), which is created as the first playlist when there is none.
    static bool syncItunesLibrary(const QString& playlistName, const QString& originFile);

    // Asks the login manager to put the computer to sleep / to power it off.
    static bool tellFinderToSleep();
    static bool tellFinderToShutup();

    // Tests only: use this library folder and this bus instead of the user's
    // Music folder and the system bus (empty / nothing restores them).
    static void setMusicLibraryRootForTesting(const QString& root);
    static void setSystemBusForTesting(const std::optional<QDBusConnection>& bus);
};
