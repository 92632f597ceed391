#include "submodules/SharedSource/Shared/FileHelper.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QStringList leftoverThumbnails()
{
    return QDir(FileHelper::getTemporaryPath()).entryList({"thumbnail-*"}, QDir::Files | QDir::Hidden);
}

}  // namespace

TEST(Thumbnail, ArgumentListIsExact)
{
    EXPECT_EQ(GlobalFun::thumbnailArguments("/media/clip one.mp4", 12.345, 29.97, "/tmp/private/t.jpg"),
              QStringList({"-ss", "12.35", "-i", "/media/clip one.mp4", "-vf",
                           "select='eq(pict_type\\,I)',setpts='N/(29.97*TB)'", "-vframes", "1", "-y",
                           "/tmp/private/t.jpg"}));
    EXPECT_EQ(GlobalFun::thumbnailArguments("-x.mkv", 0, 25, "/o.jpg").mid(1, 5),
              QStringList({"0.00", "-i", "-x.mkv", "-vf", "select='eq(pict_type\\,I)',setpts='N/(25.00*TB)'"}));
}

TEST(Thumbnail, ReadsAKeyFrameAndLeavesNoFileBehind)
{
    const QString clip = TestMedia::videoWithAudio();
    ASSERT_FALSE(clip.isEmpty());
    const QImage image = GlobalFun::createThumbnail(clip, 0, 25);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(320, 240)) << "the full picture; callers scale it";
    // A key frame each second: from 0.5 s on, the one at 1 s.
    EXPECT_FALSE(GlobalFun::createThumbnail(TestMedia::counterClip(), 0.5, 25).isNull());

    // A text file with a media extension and a missing file give no picture.
    EXPECT_TRUE(GlobalFun::createThumbnail(TestMedia::nonMedia(), 0, 25).isNull());
    EXPECT_TRUE(GlobalFun::createThumbnail(TestMedia::cacheDir() + "/missing.mp4", 0, 25).isNull());
    EXPECT_TRUE(leftoverThumbnails().isEmpty()) << leftoverThumbnails().join(' ').toStdString();
}

TEST(Thumbnail, ConcurrentCallsEachGetTheirOwnPicture)
{
    const QString small = TestMedia::videoWithAudio();   // 320x240
    const QString large = TestMedia::anamorphic();       // 720x576 stored frame
    ASSERT_FALSE(small.isEmpty());
    ASSERT_FALSE(large.isEmpty());
    for (int round = 0; round < 3; ++round) {
        QImage a, b;
        QThread* ta = QThread::create([&] { a = GlobalFun::createThumbnail(small, 0, 25); });
        QThread* tb = QThread::create([&] { b = GlobalFun::createThumbnail(large, 0, 25); });
        ta->start();
        tb->start();
        ta->wait();
        tb->wait();
        delete ta;
        delete tb;
        EXPECT_EQ(a.size(), QSize(320, 240)) << round;
        EXPECT_EQ(b.size(), QSize(720, 576)) << round;
    }
    EXPECT_TRUE(leftoverThumbnails().isEmpty());
}

TEST(Thumbnail, NamesThatLookLikeOptionsOrStandardInputAreFiles)
{
    QTemporaryDir dir;
    const QString clip = TestMedia::videoWithAudio();
    ASSERT_TRUE(QFile::copy(clip, dir.filePath("-clip.mp4")));
    ASSERT_TRUE(QFile::copy(clip, dir.filePath("-")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QImage dashed = GlobalFun::createThumbnail("-clip.mp4", 0, 25);
    const QImage stdinName = GlobalFun::createThumbnail("-", 0, 25);
    QDir::setCurrent(previous);
    EXPECT_FALSE(dashed.isNull());
    EXPECT_FALSE(stdinName.isNull());
}
