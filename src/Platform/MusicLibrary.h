#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The user's music library as plain files, so that any music player can read
// it: the library is the XDG Music folder, and its Playlists folder holds
//   - Library.m3u8: the library's own list, every file handed over to it;
//   - one UTF-8 .m3u8 file per user playlist, whose name is the
//     "#PLAYLIST:" line of the file (else the file's base name);
//   - .order: the file names of the user playlists, one a line, in order.
// Playlist files that .order does not list (dropped in by hand) follow the
// listed ones in file-name order; listed files that are gone are skipped.
// Several playlists may carry the same name, since the name lives inside the
// file. Writes are atomic (a crash leaves the old or the new file, never half).
// Not thread-safe: one thread (the interface thread) drives it.
class MusicLibrary
{
public:
    // The library in the user's Music folder.
    MusicLibrary();
    // A library rooted in an explicit folder (tests, tools).
    explicit MusicLibrary(const QString& rootFolder);

    QString rootPath() const { return m_root; }
    QString playlistsPath() const;
    QString libraryListPath() const;

    // Creates the library and playlist folders when missing; false when the
    // library cannot be had (no Music folder, or it cannot be created).
    bool ensureExists() const;

    // The user playlists in order: their names and the files behind them.
    QStringList playlistNames() const;
    QStringList playlistFiles() const;

    // Index of the first user playlist whose name equals `name` exactly
    // (letter case counts); nothing when there is none.
    std::optional<int> indexOfPlaylist(const QString& name) const;

    // Makes a new, empty user playlist called `name` and puts it at `index`
    // of the order (clamped; 0 is first). Returns its index, nothing when the
    // name is empty or holds a line break, or a file cannot be written.
    std::optional<int> insertPlaylist(const QString& name, int index = 0);

    // Appends the file to the library's own list (once: a file already there
    // is not repeated) and, when `playlistIndex` is given, to that user
    // playlist (where a file may appear more than once, as in any player).
    // The file must exist; it is written as its absolute path. A path with a
    // line break cannot be a line of a playlist, so such a file is refused.
    // False when nothing could be added.
    bool addFile(const QString& filePath, std::optional<int> playlistIndex = std::nullopt);
    // Whether addFile would take the file (it exists and its path has no line break).
    static bool canAdd(const QString& filePath);

    // The entries (paths) of the library's list or of one user playlist.
    QStringList libraryEntries() const;
    QStringList playlistEntries(int index) const;

    // The name a playlist file carries (its "#PLAYLIST:" line, else its base name).
    static QString playlistNameOfFile(const QString& playlistFile);

private:
    QString orderFilePath() const;
    QStringList orderedFileNames() const;
    bool writeOrder(const QStringList& fileNames) const;
    QString freeFileNameFor(const QString& name) const;

    QString m_root;
};
