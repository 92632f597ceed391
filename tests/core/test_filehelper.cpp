#include "submodules/SharedSource/Shared/FileHelper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(FileHelper, ExistsCreateSizeDelete)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString file = tmp.filePath("f.bin");
    EXPECT_FALSE(FileHelper::fileExistsWithPath(file));
    EXPECT_FALSE(FileHelper::fileExistsWithPath(QString()));
    EXPECT_EQ(FileHelper::getFileSizeWithPath(file), 0u);

    ASSERT_TRUE(writeFile(file, QByteArray(12345, 'x')));
    EXPECT_TRUE(FileHelper::fileExistsWithPath(file));
    EXPECT_EQ(FileHelper::getFileSizeWithPath(file), 12345u);
    EXPECT_EQ(FileHelper::getFileSizeWithPath(QString()), 0u);

    const QString deep = tmp.filePath("a/b/c");
    EXPECT_TRUE(FileHelper::createDirectoryWithPath(deep));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(FileHelper::createDirectoryWithPath(deep)) << "an existing folder is fine";
    EXPECT_FALSE(FileHelper::createDirectoryWithPath(file)) << "a file is in the way";
    EXPECT_FALSE(FileHelper::createDirectoryWithPath(QString()));

    EXPECT_TRUE(FileHelper::deleteFileWithPath(file));
    EXPECT_FALSE(FileHelper::fileExistsWithPath(file));
    EXPECT_FALSE(FileHelper::deleteFileWithPath(file)) << "nothing left to remove";
    EXPECT_FALSE(FileHelper::deleteFileWithPath(QString()));

    // A folder goes with its contents.
    ASSERT_TRUE(writeFile(deep + "/inner.txt", "x"));
    EXPECT_TRUE(FileHelper::deleteFileWithPath(tmp.filePath("a")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("a")));
}

TEST(FileHelper, LinksAreItemsOfTheirOwn)
{
    QTemporaryDir tmp;
    const QString target = tmp.filePath("keep");
    ASSERT_TRUE(QDir().mkpath(target));
    ASSERT_TRUE(writeFile(target + "/precious.txt", "data"));
    const QString link = tmp.filePath("link");
    ASSERT_EQ(symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
    const QString dangling = tmp.filePath("dangling");
    ASSERT_EQ(symlink("/nonexistent/x", QFile::encodeName(dangling).constData()), 0);

    EXPECT_TRUE(FileHelper::fileExistsWithPath(dangling)) << "a dangling link still takes its name";
    EXPECT_TRUE(FileHelper::deleteFileWithPath(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(target + "/precious.txt")) << "removing a link never touches its target";
    EXPECT_TRUE(FileHelper::deleteFileWithPath(dangling));
    EXPECT_FALSE(FileHelper::fileExistsWithPath(dangling));
}

TEST(FileHelper, FreeSpaceOfTheHomeFileSystem)
{
    const QString home = QDir::homePath();
    struct statvfs vfs { };
    ASSERT_EQ(statvfs(QFile::encodeName(home).constData(), &vfs), 0);
    const uint64_t expected = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    const uint64_t measured = FileHelper::getFileSystemFreeSize();
    // Other processes write meanwhile: allow a little drift.
    const uint64_t slack = 64ull * 1024 * 1024;
    EXPECT_LE(measured, expected + slack);
    EXPECT_GE(measured + slack, expected);
    EXPECT_GT(measured, 0u);
    EXPECT_EQ(FileHelper::isDiskFull(), measured < 587202560ull);

    EXPECT_EQ(FileHelper::getFileSystemFreeSize("/nonexistent/path"), 0u);
    EXPECT_EQ(FileHelper::getFileSystemFreeSize(QString()), 0u);
}

TEST(FileHelper, UnreadableFreeSpaceIsNotAFullDisk)
{
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", "/nonexistent/home/for/test");
    EXPECT_EQ(FileHelper::getFileSystemFreeSize(), 0u);
    EXPECT_FALSE(FileHelper::isDiskFull());
    qputenv("HOME", saved);
}
