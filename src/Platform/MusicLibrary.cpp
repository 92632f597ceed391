#include "Platform/MusicLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString kPlaylistsFolder = QStringLiteral("Playlists");
const QString kLibraryFile = QStringLiteral("Library.m3u8");
const QString kOrderFile = QStringLiteral(".order");
const QString kExtension = QStringLiteral(".m3u8");
const QByteArray kHeader = QByteArrayLiteral("#EXTM3U");
const QByteArray kNameTag = QByteArrayLiteral("#PLAYLIST:");
// File names stay well inside the 255-byte limit of common file systems,
// leaving room for " (n)" and the extension.
constexpr qsizetype kMaxBaseBytes = 200;

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// The lines of a text file, without their line ends and a leading BOM.
std::optional<QList<QByteArray>> readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.readAll();
    if (file.error() != QFile::NoError)
        return std::nullopt;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

bool writeAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QStringList entriesOf(const QString& playlistFile)
{
    QStringList entries;
    const auto lines = readLines(playlistFile);
    if (!lines)
        return entries;
    for (const QByteArray& line : *lines) {
        if (!line.isEmpty() && !line.startsWith('#'))
            entries << QString::fromUtf8(line);
    }
    return entries;
}

// Adds one line to a playlist file, writing the header first when the file
// is new or empty. An existing file that cannot be read is left alone.
bool appendLine(const QString& playlistFile, const QByteArray& line, const QByteArray& headerForNewFile)
{
    QByteArray data;
    if (QFileInfo::exists(playlistFile)) {
        QFile file(playlistFile);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        data = file.readAll();
        if (file.error() != QFile::NoError)
            return false;
    }
    if (data.isEmpty())
        data = headerForNewFile;
    if (!data.endsWith('\n'))
        data += '\n';
    data += line;
    data += '\n';
    return writeAtomically(playlistFile, data);
}

QString fileNameBaseFor(const QString& name)
{
    QString base;
    base.reserve(name.size());
    for (const QChar c : name) {
        const ushort u = c.unicode();
        base += (u < 0x20 || u == 0x7f || c == QLatin1Char('/')) ? QChar(QLatin1Char('_')) : c;
    }
    // A leading dot would hide the file (and "." or ".." are not names).
    if (base.startsWith(QLatin1Char('.')))
        base.prepend(QLatin1Char('_'));
    while (base.toUtf8().size() > kMaxBaseBytes) {
        base.chop(1);
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    if (base.trimmed().isEmpty())
        base = QStringLiteral("Playlist");
    return base;
}

}  // namespace

MusicLibrary::MusicLibrary()
    : m_root(QStandardPaths::writableLocation(QStandardPaths::MusicLocation))
{
}

MusicLibrary::MusicLibrary(const QString& rootFolder)
    : m_root(rootFolder)
{
}

QString MusicLibrary::playlistsPath() const
{
    return m_root.isEmpty() ? QString() : QDir(m_root).filePath(kPlaylistsFolder);
}

QString MusicLibrary::libraryListPath() const
{
    return m_root.isEmpty() ? QString() : QDir(playlistsPath()).filePath(kLibraryFile);
}

QString MusicLibrary::orderFilePath() const
{
    return QDir(playlistsPath()).filePath(kOrderFile);
}

bool MusicLibrary::ensureExists() const
{
    if (m_root.isEmpty())
        return false;
    return QDir().mkpath(playlistsPath()) && QFileInfo(playlistsPath()).isDir();
}

QStringList MusicLibrary::orderedFileNames() const
{
    QStringList names;
    if (m_root.isEmpty())
        return names;
    const QDir dir(playlistsPath());
    auto usable = [&](const QString& fileName) {
        return fileName.endsWith(kExtension, Qt::CaseInsensitive) && fileName != kLibraryFile
               && !fileName.contains(QLatin1Char('/')) && !hasLineBreak(fileName)
               && !names.contains(fileName) && QFileInfo(dir.filePath(fileName)).isFile();
    };
    if (const auto lines = readLines(orderFilePath())) {
        for (const QByteArray& line : *lines) {
            const QString fileName = QString::fromUtf8(line);
            if (usable(fileName))
                names << fileName;
        }
    }
    QStringList extras;
    for (const QString& fileName : dir.entryList(QDir::Files | QDir::NoDotAndDotDot)) {
        if (usable(fileName))
            extras << fileName;
    }
    std::sort(extras.begin(), extras.end());
    names += extras;
    return names;
}

bool MusicLibrary::writeOrder(const QStringList& fileNames) const
{
    QByteArray data;
    for (const QString& fileName : fileNames)
        data += fileName.toUtf8() + '\n';
    return writeAtomically(orderFilePath(), data);
}

QStringList MusicLibrary::playlistFiles() const
{
    QStringList files;
    const QDir dir(playlistsPath());
    for (const QString& fileName : orderedFileNames())
        files << dir.filePath(fileName);
    return files;
}

QString MusicLibrary::playlistNameOfFile(const QString& playlistFile)
{
    if (const auto lines = readLines(playlistFile)) {
        for (const QByteArray& line : *lines) {
            if (line.startsWith(kNameTag))
                return QString::fromUtf8(line.mid(kNameTag.size()));
            // The name tag belongs to the header, before the first entry.
            if (!line.isEmpty() && !line.startsWith('#'))
                break;
        }
    }
    const QString fileName = QFileInfo(playlistFile).fileName();
    return fileName.left(fileName.size() - kExtension.size());
}

QStringList MusicLibrary::playlistNames() const
{
    QStringList names;
    for (const QString& file : playlistFiles())
        names << playlistNameOfFile(file);
    return names;
}

std::optional<int> MusicLibrary::indexOfPlaylist(const QString& name) const
{
    const QStringList names = playlistNames();
    const qsizetype index = names.indexOf(name);
    if (index < 0)
        return std::nullopt;
    return int(index);
}

QString MusicLibrary::freeFileNameFor(const QString& name) const
{
    const QDir dir(playlistsPath());
    const QString base = fileNameBaseFor(name);
    for (int n = 1;; ++n) {
        const QString candidate = n == 1 ? base + kExtension
                                         : QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(kExtension);
        // The library's own list is reserved in any letter case, for file
        // systems that do not tell cases apart.
        if (candidate.compare(kLibraryFile, Qt::CaseInsensitive) != 0
            && !QFileInfo::exists(dir.filePath(candidate)))
            return candidate;
    }
}

std::optional<int> MusicLibrary::insertPlaylist(const QString& name, int index)
{
    if (name.isEmpty() || hasLineBreak(name) || !ensureExists())
        return std::nullopt;

    QStringList order = orderedFileNames();
    const QString fileName = freeFileNameFor(name);
    const QString path = QDir(playlistsPath()).filePath(fileName);

    // NewOnly: never replace a file that appeared meanwhile.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return std::nullopt;
    const QByteArray header = kHeader + '\n' + kNameTag + name.toUtf8() + '\n';
    const bool written = file.write(header) == header.size() && file.flush();
    file.close();
    if (!written) {
        QFile::remove(path);
        return std::nullopt;
    }

    index = std::clamp(index, 0, int(order.size()));
    order.insert(index, fileName);
    if (!writeOrder(order)) {
        QFile::remove(path);
        return std::nullopt;
    }
    return index;
}

bool MusicLibrary::canAdd(const QString& filePath)
{
    return !filePath.isEmpty() && !hasLineBreak(filePath) && QFileInfo(filePath).isFile();
}

bool MusicLibrary::addFile(const QString& filePath, std::optional<int> playlistIndex)
{
    if (!canAdd(filePath) || !ensureExists())
        return false;
    const QFileInfo info(filePath);

    QString playlistFile;
    if (playlistIndex) {
        const QStringList files = playlistFiles();
        if (*playlistIndex < 0 || *playlistIndex >= files.size())
            return false;
        playlistFile = files.at(*playlistIndex);
    }

    const QString absolute = info.absoluteFilePath();
    const QByteArray line = QFile::encodeName(absolute);
    bool ok = true;
    if (!libraryEntries().contains(absolute)) {
        const QByteArray header = kHeader + '\n' + kNameTag + "Library\n";
        ok = appendLine(libraryListPath(), line, header);
    }
    if (!playlistFile.isEmpty()) {
        const QByteArray header = kHeader + '\n' + kNameTag + playlistNameOfFile(playlistFile).toUtf8() + '\n';
        ok = appendLine(playlistFile, line, header) && ok;
    }
    return ok;
}

QStringList MusicLibrary::libraryEntries() const
{
    return m_root.isEmpty() ? QStringList() : entriesOf(libraryListPath());
}

QStringList MusicLibrary::playlistEntries(int index) const
{
    const QStringList files = playlistFiles();
    if (index < 0 || index >= files.size())
        return {};
    return entriesOf(files.at(index));
}
