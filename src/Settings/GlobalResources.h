#pragma once

#include <QImage>
#include <QString>

// Start-up resources shared by the whole process: the interface images that
// the progress cells and timeline sliders draw with, the three default
// output folders, and the factory values of every user setting.
class GlobalResources
{
public:
    // Loads the shared images, creates the default folders and registers the
    // factory values. Safe to call more than once.
    static void prepareGlobalRes();

    // The shared image under its key ("PrgPauseImageKey", ...); null if unknown.
    static QImage sharedImage(const QString& key);
    // An interface image by resource name ("PrgPause"), from :/images/.
    static QImage imageNamed(const QString& name);

    // Default folders under the user's Videos folder, inside the
    // application's own folder.
    static QString defaultVideoPath();
    static QString defaultAudioPath();
    static QString defaultSnapshotPath();
    static QString applicationFolderName();
};
