// File-system operations.
#include "submodules/SharedSource/Shared/FileHelper.h"

#include <QDir>
#include <QFile>

#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr uint64_t kDiskFullThreshold = 587202560; // 560 MiB

std::optional<uint64_t> freeBytes(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    struct statvfs vfs { };
    if (::statvfs(QFile::encodeName(path).constData(), &vfs) != 0)
        return std::nullopt;
    // What an unprivileged process may still write.
    return static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
}

} // namespace

bool FileHelper::deleteFileWithPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st { };
    if (::lstat(native.constData(), &st) != 0)
        return false;
    // A folder goes with its contents; a link goes itself, never its target.
    if (S_ISDIR(st.st_mode))
        return QDir(path).removeRecursively();
    return ::unlink(native.constData()) == 0;
}

bool FileHelper::fileExistsWithPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat st { };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool FileHelper::createDirectoryWithPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QDir().mkpath(path);
}

uint64_t FileHelper::getFileSizeWithPath(const QString& path)
{
    if (path.isEmpty())
        return 0;
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || st.st_size < 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

uint64_t FileHelper::getFileSystemFreeSize()
{
    return getFileSystemFreeSize(QDir::homePath());
}

uint64_t FileHelper::getFileSystemFreeSize(const QString& path)
{
    return freeBytes(path).value_or(0);
}

bool FileHelper::isDiskFull()
{
    // Free space that cannot be read does not count as a full disk.
    const std::optional<uint64_t> bytes = freeBytes(QDir::homePath());
    return bytes && *bytes < kDiskFullThreshold;
}
