#include "Platform/Bookmarks.h"

#include <QDir>
#include <QFile>

#include <cstring>
#include <sys/stat.h>

namespace {

constexpr char kMagic[4] = { 'T', 'R', 'B', 'K' };
constexpr uint8_t kVersion = 1;
constexpr int kHeaderSize = 4 + 1 + 8 + 8 + 4;
// Longer than any path the kernel accepts; keeps a corrupt length harmless.
constexpr uint32_t kMaxPathBytes = 64 * 1024;

void putBE(QByteArray& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

uint64_t getBE(const char* in, int bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | static_cast<unsigned char>(in[i]);
    return value;
}

// The path in the file system's encoding, or empty when the text cannot
// name a file exactly (it does not survive the round trip).
QByteArray nativePath(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (QFile::decodeName(encoded) != path)
        return {};
    return encoded;
}

} // namespace

QByteArray Bookmarks::encode(const Record& record)
{
    const QByteArray native = nativePath(record.path);
    if (native.isEmpty() || native.front() != '/' || native.contains('\0')
        || static_cast<uint32_t>(native.size()) > kMaxPathBytes)
        return {};
    QByteArray out;
    out.reserve(kHeaderSize + native.size());
    out.append(kMagic, sizeof kMagic);
    out.append(static_cast<char>(kVersion));
    putBE(out, record.device, 8);
    putBE(out, record.inode, 8);
    putBE(out, static_cast<uint64_t>(native.size()), 4);
    out.append(native);
    return out;
}

std::optional<Bookmarks::Record> Bookmarks::decode(const QByteArray& data)
{
    if (data.size() < kHeaderSize)
        return std::nullopt;
    const char* p = data.constData();
    if (std::memcmp(p, kMagic, sizeof kMagic) != 0 || static_cast<uint8_t>(p[4]) != kVersion)
        return std::nullopt;
    Record record;
    record.device = getBE(p + 5, 8);
    record.inode = getBE(p + 13, 8);
    const uint64_t length = getBE(p + 21, 4);
    if (length == 0 || length > kMaxPathBytes || static_cast<uint64_t>(data.size() - kHeaderSize) != length)
        return std::nullopt;
    const QByteArray native = data.mid(kHeaderSize);
    if (native.front() != '/' || native.contains('\0'))
        return std::nullopt;
    record.path = QFile::decodeName(native);
    if (QFile::encodeName(record.path) != native)
        return std::nullopt;
    return record;
}

QByteArray Bookmarks::bookmarkDataForPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    Record record;
    record.path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    const QByteArray native = nativePath(record.path);
    if (native.isEmpty())
        return {};
    struct stat st { };
    if (::stat(native.constData(), &st) != 0)
        return {};
    record.device = static_cast<uint64_t>(st.st_dev);
    record.inode = static_cast<uint64_t>(st.st_ino);
    return encode(record);
}

std::optional<Bookmarks::Resolved> Bookmarks::resolve(const QByteArray& data)
{
    const std::optional<Record> record = decode(data);
    if (!record)
        return std::nullopt;
    struct stat st { };
    if (::stat(QFile::encodeName(record->path).constData(), &st) != 0)
        return std::nullopt;
    Resolved resolved;
    resolved.path = record->path;
    resolved.stale
        = static_cast<uint64_t>(st.st_dev) != record->device || static_cast<uint64_t>(st.st_ino) != record->inode;
    return resolved;
}
