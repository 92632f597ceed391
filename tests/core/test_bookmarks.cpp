#include "Platform/Bookmarks.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Bookmarks, ResolvesTheSameFolder)
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("Movies out");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray data = Bookmarks::bookmarkDataForPath(folder);
    ASSERT_FALSE(data.isEmpty());
    const auto resolved = Bookmarks::resolve(data);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->path, folder);
    EXPECT_FALSE(resolved->stale);

    // The stored path is absolute and clean whatever the caller gave.
    const QString messy = tmp.path() + "/./x/../Movies out/";
    const auto again = Bookmarks::resolve(Bookmarks::bookmarkDataForPath(messy));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->path, folder);
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tmp.path()));
    const auto relative = Bookmarks::resolve(Bookmarks::bookmarkDataForPath("Movies out"));
    QDir::setCurrent(saved);
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->path, folder);
}

TEST(Bookmarks, GoneAndStale)
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("out");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray data = Bookmarks::bookmarkDataForPath(folder);
    ASSERT_FALSE(data.isEmpty());

    // Moved away: nothing at the path, nothing resolves.
    ASSERT_TRUE(QDir().rename(folder, tmp.filePath("moved")));
    EXPECT_FALSE(Bookmarks::resolve(data));

    // Another folder under the old name: resolves, but stale.
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto replaced = Bookmarks::resolve(data);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->path, folder);
    EXPECT_TRUE(replaced->stale);

    // The original back in place: fresh again.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QDir().rename(tmp.filePath("moved"), folder));
    const auto back = Bookmarks::resolve(data);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->stale);

    EXPECT_TRUE(Bookmarks::bookmarkDataForPath(tmp.filePath("never")).isEmpty());
    EXPECT_TRUE(Bookmarks::bookmarkDataForPath(QString()).isEmpty());
}

TEST(Bookmarks, EncodeDecodeRoundTrip)
{
    Bookmarks::Record r;
    r.path = QString::fromUtf8("/srv/Vidéos/out");
    r.device = 0x0102030405060708ull;
    r.inode = 0xfffffffffffffff0ull;
    const QByteArray data = Bookmarks::encode(r);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_TRUE(data.startsWith("TRBK\x01"));
    const auto d = Bookmarks::decode(data);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->path, r.path);
    EXPECT_EQ(d->device, r.device);
    EXPECT_EQ(d->inode, r.inode);

    const QString badPaths[] = { QString(), QStringLiteral("relative/path"), QString::fromUtf8("/with\0nul", 9) };
    for (const QString& path : badPaths) {
        Bookmarks::Record b;
        b.path = path;
        EXPECT_TRUE(Bookmarks::encode(b).isEmpty()) << path.toStdString();
    }
}

TEST(Bookmarks, GarbageDecodesToNothing)
{
    Bookmarks::Record r;
    r.path = "/tmp/some/folder";
    r.device = 42;
    r.inode = 7;
    const QByteArray good = Bookmarks::encode(r);
    ASSERT_TRUE(Bookmarks::decode(good));

    QList<QByteArray> bad;
    bad << QByteArray() << QByteArray("TRBK") << QByteArray(good.size(), '\0') << good.left(good.size() - 1)
        << good + "x";
    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    bad << wrongMagic;
    QByteArray wrongVersion = good;
    wrongVersion[4] = 2;
    bad << wrongVersion;
    QByteArray hugeLength = good;
    hugeLength[21] = '\xff';
    bad << hugeLength;
    QByteArray zeroLength = good.left(25);
    zeroLength[21] = zeroLength[22] = zeroLength[23] = zeroLength[24] = 0;
    bad << zeroLength;
    QByteArray relative = good;
    relative[25] = 't';
    bad << relative;
    QByteArray nul = good;
    nul[30] = '\0';
    bad << nul;
    QByteArray notUtf8 = good;
    notUtf8[30] = '\xff';
    bad << notUtf8;
    // Old-style property lists and other plain data.
    bad << QByteArray("bplist00\xd1\x01\x02") << QByteArray("{\"path\":\"/tmp\"}");
    for (const QByteArray& b : bad) {
        EXPECT_FALSE(Bookmarks::decode(b)) << b.toHex().constData();
        EXPECT_FALSE(Bookmarks::resolve(b)) << b.toHex().constData();
    }

    // Random bytes and random damage to a good bookmark never crash.
    QRandomGenerator rng(1234);
    for (int i = 0; i < 2000; ++i) {
        QByteArray noise(static_cast<int>(rng.bounded(64)), '\0');
        for (char& c : noise)
            c = static_cast<char>(rng.bounded(256));
        if (i % 2 == 0 && noise.size() >= 5)
            noise.replace(0, 5, "TRBK\x01");
        (void)Bookmarks::resolve(noise);
        QByteArray damaged = good;
        damaged[static_cast<int>(rng.bounded(damaged.size()))] = static_cast<char>(rng.bounded(256));
        (void)Bookmarks::resolve(damaged);
    }
}
