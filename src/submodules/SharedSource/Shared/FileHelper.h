#pragma once

#include <QString>

#include <cstdint>

// File-system operations; failures come back as false or 0, never as exceptions.
class FileHelper
{
public:
    // The private per-user temporary folder (mode 0700, owned by the user),
    // created on first use inside the system temporary folder.
    static QString getTemporaryPath();
    static bool deleteFileWithPath(const QString& path);
    static bool fileExistsWithPath(const QString& path);
    static bool createDirectoryWithPath(const QString& path);
    static uint64_t getFileSizeWithPath(const QString& path);
    // Free bytes of the file system that holds the home folder (or `path`).
    static uint64_t getFileSystemFreeSize();
    static uint64_t getFileSystemFreeSize(const QString& path);
    // Less than 560 MiB free on the home folder's file system.
    static bool isDiskFull();
};
