#include "Platform/MusicLibrary.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable failure messages for texts (found by argument lookup).
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(data);
}

class MusicLibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.filePath("Music");
        media = dir.filePath("media");
        QDir().mkpath(media);
    }

    // A real file in the media folder (the library only takes existing files).
    QString mediaFile(const QString& name)
    {
        const QString path = QDir(media).filePath(name);
        writeFile(path, "x");
        return path;
    }

    QTemporaryDir dir;
    QString root;
    QString media;
};

}  // namespace

TEST_F(MusicLibraryTest, TheUsersLibraryIsTheMusicFolder)
{
    const MusicLibrary library;
    EXPECT_EQ(library.rootPath(), QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
    EXPECT_EQ(library.playlistsPath(), QDir(library.rootPath()).filePath("Playlists"));
}

TEST_F(MusicLibraryTest, NewPlaylistsGoWhereAskedAndTheOrderSurvivesAReopen)
{
    MusicLibrary library(root);
    EXPECT_TRUE(library.playlistNames().isEmpty());
    EXPECT_EQ(library.insertPlaylist("Road"), 0);
    EXPECT_EQ(library.insertPlaylist("Gym"), 0);
    EXPECT_EQ(library.insertPlaylist("Late", 1), 1);
    EXPECT_EQ(library.insertPlaylist("Last", 99), 3) << "an index past the end appends";
    EXPECT_EQ(library.playlistNames(), QStringList({"Gym", "Late", "Road", "Last"}));

    const MusicLibrary reopened(root);
    EXPECT_EQ(reopened.playlistNames(), QStringList({"Gym", "Late", "Road", "Last"}));
    const QByteArray content = readAll(QDir(root).filePath("Playlists/Road.m3u8"));
    EXPECT_EQ(content, "#EXTM3U\n#PLAYLIST:Road\n");
}

TEST_F(MusicLibraryTest, HandMadePlaylistsFollowTheOrderedOnesAndVanishedOnesAreSkipped)
{
    MusicLibrary library(root);
    ASSERT_TRUE(library.insertPlaylist("Listed"));
    ASSERT_TRUE(library.insertPlaylist("Gone"));
    ASSERT_TRUE(QFile::remove(QDir(library.playlistsPath()).filePath("Gone.m3u8")));
    // Files a user or another player put there: one without a name tag is
    // named after its file; other files and the library's own list are no
    // user playlists.
    writeFile(QDir(library.playlistsPath()).filePath("b-side.m3u8"), "#EXTM3U\n/x.mp3\n");
    writeFile(QDir(library.playlistsPath()).filePath("a.m3u8"), "#EXTM3U\n#PLAYLIST:Alpha\n");
    writeFile(QDir(library.playlistsPath()).filePath("notes.txt"), "text");
    ASSERT_TRUE(library.addFile(mediaFile("song.mp3")));

    EXPECT_EQ(library.playlistNames(), QStringList({"Listed", "Alpha", "b-side"}));
    EXPECT_EQ(library.insertPlaylist("New"), 0);
    EXPECT_EQ(library.playlistNames(), QStringList({"New", "Listed", "Alpha", "b-side"}));
}

TEST_F(MusicLibraryTest, NamesMatchExactlyAndTheFirstOfEqualNamesWins)
{
    MusicLibrary library(root);
    for (const char* name : {"Mix", "mix", "Mix", "Mix/2", ".hidden", "Library"})
        ASSERT_TRUE(library.insertPlaylist(name, 99)) << name;
    EXPECT_EQ(library.playlistNames(), QStringList({"Mix", "mix", "Mix", "Mix/2", ".hidden", "Library"}));
    EXPECT_EQ(library.indexOfPlaylist("Mix"), 0);
    EXPECT_EQ(library.indexOfPlaylist("mix"), 1);
    EXPECT_EQ(library.indexOfPlaylist("MIX"), std::nullopt);
    EXPECT_EQ(library.indexOfPlaylist("Mix/2"), 3);
    EXPECT_EQ(library.indexOfPlaylist(".hidden"), 4);
    EXPECT_EQ(library.indexOfPlaylist("Library"), 5) << "a user playlist may be called Library";
    // Every playlist has a file of its own inside the folder, none hidden,
    // and the library's own list is not among them.
    const QStringList files = library.playlistFiles();
    ASSERT_EQ(files.size(), 6);
    EXPECT_EQ(QSet<QString>(files.begin(), files.end()).size(), 6);
    for (const QString& file : files) {
        EXPECT_EQ(QFileInfo(file).absolutePath(), library.playlistsPath());
        EXPECT_FALSE(QFileInfo(file).fileName().startsWith('.')) << file.toStdString();
        EXPECT_NE(file, library.libraryListPath());
    }
}

TEST_F(MusicLibraryTest, UnusableNamesMakeNoPlaylist)
{
    MusicLibrary library(root);
    EXPECT_EQ(library.insertPlaylist(""), std::nullopt);
    EXPECT_EQ(library.insertPlaylist("two\nlines"), std::nullopt);
    EXPECT_EQ(library.insertPlaylist("carriage\rreturn"), std::nullopt);
    EXPECT_TRUE(library.playlistNames().isEmpty());
}

TEST_F(MusicLibraryTest, AwkwardFileNamesArriveAsAbsoluteUtf8Lines)
{
    MusicLibrary library(root);
    ASSERT_EQ(library.insertPlaylist("Trelvio 3"), 0);
    const QStringList names{"clip one.mp3", "it's \"quoted\".m4a", "Grüße 日本 🎵.mp3", "#hash.mp3", "tab\there.mp3"};
    QStringList expected;
    for (const QString& name : names) {
        const QString path = mediaFile(name);
        expected << path;
        EXPECT_TRUE(library.addFile(path, 0)) << name.toStdString();
    }
    EXPECT_EQ(library.playlistEntries(0), expected);
    EXPECT_EQ(library.libraryEntries(), expected);

    const QByteArray bytes = readAll(library.playlistFiles().at(0));
    EXPECT_TRUE(bytes.startsWith("#EXTM3U\n"));
    EXPECT_TRUE(bytes.contains(expected.at(2).toUtf8() + '\n')) << "plain UTF-8, no escaping";

    // A relative path is written as the absolute one.
    const QString relative = QDir::current().relativeFilePath(mediaFile("relative.mp3"));
    ASSERT_TRUE(library.addFile(relative, 0));
    EXPECT_EQ(library.playlistEntries(0).last(), QFileInfo(relative).absoluteFilePath());
}

TEST_F(MusicLibraryTest, FilesThatCannotBeAPlaylistLineAreRefused)
{
    MusicLibrary library(root);
    ASSERT_EQ(library.insertPlaylist("P"), 0);
    const struct
    {
        const char* what;
        QString path;
    } cases[] = {
        {"newline in the name", mediaFile("two\nlines.mp3")},
        {"carriage return in the name", mediaFile("odd\rname.mp3")},
        {"missing file", QDir(media).filePath("missing.mp3")},
        {"a folder", media},
        {"empty path", QString()},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(MusicLibrary::canAdd(c.path)) << c.what;
        EXPECT_FALSE(library.addFile(c.path, 0)) << c.what;
        EXPECT_FALSE(library.addFile(c.path)) << c.what;
    }
    EXPECT_TRUE(library.playlistEntries(0).isEmpty());
    EXPECT_TRUE(library.libraryEntries().isEmpty());
    EXPECT_FALSE(library.addFile(mediaFile("ok.mp3"), 5)) << "no such playlist";
    EXPECT_TRUE(library.libraryEntries().isEmpty()) << "nothing is added when the target is wrong";
}

TEST_F(MusicLibraryTest, TheLibraryKeepsAFileOnceAPlaylistAsOftenAsAdded)
{
    MusicLibrary library(root);
    ASSERT_EQ(library.insertPlaylist("P"), 0);
    const QString song = mediaFile("song.mp3");
    ASSERT_TRUE(library.addFile(song, 0));
    ASSERT_TRUE(library.addFile(song, 0));
    ASSERT_TRUE(library.addFile(song));
    EXPECT_EQ(library.libraryEntries(), QStringList{song});
    EXPECT_EQ(library.playlistEntries(0), QStringList({song, song}));
}

TEST_F(MusicLibraryTest, AppendingKeepsWhatAPlaylistAlreadyHolds)
{
    MusicLibrary library(root);
    ASSERT_TRUE(library.ensureExists());
    const QString file = QDir(library.playlistsPath()).filePath("Old.m3u8");
    const QByteArray old = "#EXTM3U\r\n#PLAYLIST:Old\r\n#EXTINF:10,Artist - Title\r\n/music/a.mp3";
    writeFile(file, old);
    const QString song = mediaFile("new.mp3");
    ASSERT_TRUE(library.addFile(song, 0));
    EXPECT_EQ(readAll(file), old + "\n" + song.toUtf8() + "\n");
    EXPECT_EQ(library.playlistEntries(0), QStringList({"/music/a.mp3", song}));
    EXPECT_EQ(library.playlistNames(), QStringList{"Old"});
}

TEST_F(MusicLibraryTest, NoLibraryNoChanges)
{
    writeFile(root, "a file where the Music folder should be");
    MusicLibrary library(root);
    EXPECT_FALSE(library.ensureExists());
    EXPECT_EQ(library.insertPlaylist("P"), std::nullopt);
    EXPECT_FALSE(library.addFile(mediaFile("song.mp3")));

    MusicLibrary none{QString()};
    EXPECT_FALSE(none.ensureExists());
    EXPECT_FALSE(none.addFile(mediaFile("song.mp3")));
}
