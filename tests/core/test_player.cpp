// The playback engine on generated clips: exact seeking, the state machine,
// the picture on screen, sound-only items, volume, stop and item changes.
// The clips' frame N is grey level 16 + 2N, so every picture tells which
// frame it is.
#include "RAZedIruvIvizor/ZKAVAudioBuffer.h"
#include "RAZedIruvIvizor/ZKAVAudioOutput.h"
#include "RAZedIruvIvizor/ZKAVPlayer.h"
#include "RAZedIruvIvizor/ZKAVPlayerItem.h"
#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr double kFps = 25.0;
constexpr int kFrames = 100;  // 4 s

// Frame N has luma 16 + 2N (limited range): 100 frames, key frames every
// 2 s, B-frames, lossless so each grey level survives.
QString grayClip()
{
    return TestMedia::make(QStringLiteral("player_gray_v2.mp4"),
                           {"-f", "lavfi", "-i",
                            "color=c=black:s=64x48:r=25:d=4,format=yuv420p,geq=lum='16+2*N':cb=128:cr=128",
                            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=4",
                            "-c:v", "libx264", "-qp", "0", "-pix_fmt", "yuv420p", "-g", "50", "-bf", "2",
                            "-c:a", "aac", "-shortest"});
}

// Which frame of grayClip() a picture shows, or -1.
int frameIndex(const QImage& image)
{
    if (image.isNull())
        return -1;
    const int grey = qRed(image.pixel(image.width() / 2, image.height() / 2));
    const double luma = grey * 219.0 / 255.0;
    return static_cast<int>(std::lround(luma / 2.0));
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Lets the player's timers run for a while without waiting for anything.
void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

ZKAVPlayerItemPtr itemFor(const QString& path)
{
    auto asset = std::make_shared<ZKAVURLAsset>();
    asset->filePath = path;
    asset->loadValuesSynchronously();
    return ZKAVPlayerItem::playerItemWithAsset(asset);
}

class PlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The wall clock drives every test, whatever the machine has.
        ZKAVPlayer::setAudioOutputEnabled(false);
        ASSERT_FALSE(grayClip().isEmpty());
    }
    void TearDown() override { ZKAVPlayer::setAudioOutputEnabled(true); }

    // A player on the grey clip, paused on a shown picture.
    std::unique_ptr<ZKAVPlayer> pausedGrayPlayer()
    {
        auto player = ZKAVPlayer::playerWithPlayerItem(itemFor(grayClip()));
        player->pause();
        EXPECT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
        return player;
    }
};

TEST_F(PlayerTest, StartsPlayingByItselfAndAdvances)
{
    auto player = ZKAVPlayer::playerWithPlayerItem(itemFor(grayClip()));
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
    ASSERT_TRUE(waitUntil([&] { return frameIndex(player->curDisplayingImage()) >= 5; }));
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
    EXPECT_GT(player->currentPlaybackTime(), 0.0);
    EXPECT_FALSE(player->isPlayFinished());
    EXPECT_TRUE(player->hasVideo());
    EXPECT_EQ(player->presentationSize(), QSizeF(64, 48));
    EXPECT_FALSE(player->usesAudioClock());
}

TEST_F(PlayerTest, SeekShowsExactlyTheFrameOnScreenAtTheTarget)
{
    auto player = pausedGrayPlayer();
    struct Case
    {
        double target;
        int frame;
    };
    // Across the key frame at 2 s, on frame starts, inside frames, both ends,
    // backwards, and past the end (the last frame).
    const std::vector<Case> cases{{1.0, 25}, {0.0, 0}, {1.999, 49}, {2.0, 50}, {2.02, 50}, {3.3, 82},
                                  {0.52, 13}, {3.96, 99}, {3.999, 99}, {1.96, 49}, {9.0, 99}, {0.04, 1}};
    for (const Case& c : cases) {
        player->seekto(c.target);
        EXPECT_TRUE(player->isSeeking());
        ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); })) << c.target;
        EXPECT_EQ(frameIndex(player->curDisplayingImage()), c.frame) << "seek to " << c.target;
        EXPECT_NEAR(player->displayedFrameTime(), c.frame / kFps, 1e-6) << c.target;
        EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), c.target);
        EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
    }
}

TEST_F(PlayerTest, TheLatestOfRapidSeeksWins)
{
    auto player = pausedGrayPlayer();
    for (double t = 0.1; t < 3.0; t += 0.13)
        player->seekto(t);
    player->seekto(2.5);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), 62);
    spin(100);
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), 62);
}

TEST_F(PlayerTest, PauseHoldsTheTimeAndThePicture)
{
    auto player = ZKAVPlayer::playerWithPlayerItem(itemFor(grayClip()));
    ASSERT_TRUE(waitUntil([&] { return frameIndex(player->curDisplayingImage()) >= 3; }));
    player->pause();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
    const double t = player->currentPlaybackTime();
    const int frame = frameIndex(player->curDisplayingImage());
    spin(150);
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), t);
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), frame);
    player->togglePlayPause();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
    ASSERT_TRUE(waitUntil([&] { return frameIndex(player->curDisplayingImage()) > frame; }));
    player->togglePlayPause();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
}

TEST_F(PlayerTest, AfterStopRefreshTimerNothingMoves)
{
    auto player = ZKAVPlayer::playerWithPlayerItem(itemFor(grayClip()));
    ASSERT_TRUE(waitUntil([&] { return frameIndex(player->curDisplayingImage()) >= 2; }));
    player->stopRefreshTimer();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
    const double t = player->currentPlaybackTime();
    const int frame = frameIndex(player->curDisplayingImage());
    spin(120);
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), t);
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), frame);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return frameIndex(player->curDisplayingImage()) > frame; }));
}

TEST_F(PlayerTest, ThePictureOnScreenIsTheFrameOfItsTime)
{
    auto player = pausedGrayPlayer();
    player->seekto(1.0);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    std::vector<int> shown;
    bool consistent = true;
    QObject::connect(player.get(), &ZKAVPlayer::frameChanged, [&] {
        const int frame = frameIndex(player->curDisplayingImage());
        consistent = consistent && frame == static_cast<int>(std::lround(player->displayedFrameTime() * kFps));
        // A frame is shown only once it is due.
        consistent = consistent && player->displayedFrameTime() <= player->currentPlaybackTime() + 0.01;
        shown.push_back(frame);
    });
    player->play();
    ASSERT_TRUE(waitUntil([&] { return !shown.empty() && shown.back() >= 40; }));
    EXPECT_TRUE(consistent);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_GE(shown.front(), 25);
}

TEST_F(PlayerTest, PlayingToTheEndFinishesOnTheLastFrame)
{
    auto player = pausedGrayPlayer();
    player->seekto(3.5);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->isPlayFinished(); }));
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StateStopped);
    EXPECT_NEAR(player->currentPlaybackTime(), 4.0, 0.05);
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), kFrames - 1);
    spin(50);
    EXPECT_TRUE(player->isPlayFinished());

    // Play after the end starts over from the beginning.
    player->play();
    EXPECT_FALSE(player->isPlayFinished());
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    EXPECT_LT(frameIndex(player->curDisplayingImage()), 10);
}

TEST_F(PlayerTest, AfterTheEndASeekWaitsPausedThere)
{
    auto player = pausedGrayPlayer();
    player->seekto(3.8);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->isPlayFinished(); }));
    player->seekto(1.0);
    EXPECT_FALSE(player->isPlayFinished());
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), 25);
    // Pausing a finished player keeps it paused at the end.
    player->seekto(3.9);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->isPlayFinished(); }));
    player->pause();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
    EXPECT_FALSE(player->isPlayFinished());
}

TEST_F(PlayerTest, AnEndTimeFinishesPlaybackThere)
{
    auto player = pausedGrayPlayer();
    player->setPlaybackEndTime(1.0);
    player->seekto(0.6);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->isPlayFinished(); }));
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 1.0);
    EXPECT_LT(frameIndex(player->curDisplayingImage()), 25);
    EXPECT_GE(frameIndex(player->curDisplayingImage()), 15);
    player->setPlaybackEndTime(-1);
    EXPECT_LT(player->playbackEndTime(), 0);
}

TEST_F(PlayerTest, StopLetsTheFileGoAndPlayStartsOver)
{
    auto player = pausedGrayPlayer();
    player->seekto(2.0);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    player->stop();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StateStopped);
    EXPECT_FALSE(player->isPlayFinished());
    EXPECT_TRUE(player->curDisplayingImage().isNull());
    EXPECT_DOUBLE_EQ(player->currentPlaybackTime(), 0.0);
    player->play();
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
    ASSERT_TRUE(waitUntil([&] { return !player->curDisplayingImage().isNull(); }));
    EXPECT_LT(frameIndex(player->curDisplayingImage()), 10);

    // A seek while stopped opens the item again, paused on that frame.
    player->stop();
    player->seekto(1.2);
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePaused);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), 30);
}

TEST_F(PlayerTest, ReplacingTheItemPlaysTheNewOne)
{
    auto player = pausedGrayPlayer();
    player->replaceCurrentItemWithPlayerItem(itemFor(TestMedia::counterClip()));
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
    ASSERT_TRUE(waitUntil([&] { return player->curDisplayingImage().size() == QSize(320, 240); }));
    EXPECT_EQ(player->presentationSize(), QSizeF(320, 240));

    player->replaceCurrentItemWithPlayerItem(nullptr);
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StateNone);
    EXPECT_TRUE(player->curDisplayingImage().isNull());
    player->play();
    player->seekto(1);
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StateNone);
}

TEST_F(PlayerTest, AnItemWithoutProbingStillPlays)
{
    auto player = ZKAVPlayer::playerWithPlayerItem(ZKAVPlayerItem::playerItemWithPath(grayClip()));
    player->pause();
    player->seekto(2.2);
    ASSERT_TRUE(waitUntil([&] { return !player->isSeeking(); }));
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), 55);
    EXPECT_EQ(player->presentationSize(), QSizeF(64, 48));
}

TEST_F(PlayerTest, AFileThatCannotBeOpenedLeavesNothingLoaded)
{
    for (const QString& path : {TestMedia::nonMedia(), QStringLiteral("/nonexistent/file.mp4")}) {
        auto player = ZKAVPlayer::playerWithPlayerItem(ZKAVPlayerItem::playerItemWithPath(path));
        ASSERT_TRUE(waitUntil([&] { return player->playbackState() == ZKAVPlayer::StateNone; })) << path.toStdString();
        EXPECT_TRUE(player->curDisplayingImage().isNull());
        EXPECT_FALSE(player->isPlayFinished());
    }
}

TEST_F(PlayerTest, SoundOnlyItemsPlayWithTheirCoverOrNoPicture)
{
    struct Case
    {
        QString path;
        QSize picture;  // 0 x 0: no picture
    };
    for (const Case& c : {Case{TestMedia::audioOnly(), QSize(0, 0)}, Case{TestMedia::audioWithCover(), QSize(200, 200)}}) {
        auto player = ZKAVPlayer::playerWithPlayerItem(itemFor(c.path));
        EXPECT_EQ(player->playbackState(), ZKAVPlayer::StatePlaying);
        EXPECT_FALSE(player->hasVideo());
        ASSERT_TRUE(waitUntil([&] { return player->currentPlaybackTime() > 0.2; })) << c.path.toStdString();
        EXPECT_EQ(player->curDisplayingImage().size(), c.picture);
        player->seekto(1.7);
        EXPECT_FALSE(player->isSeeking());
        ASSERT_TRUE(waitUntil([&] { return player->isPlayFinished(); }));
        EXPECT_EQ(player->playbackState(), ZKAVPlayer::StateStopped);
        EXPECT_NEAR(player->currentPlaybackTime(), 2.0, 0.1);
    }
}

TEST_F(PlayerTest, RotatedVideoIsShownUpright)
{
    auto player = ZKAVPlayer::playerWithPlayerItem(itemFor(TestMedia::rotatedPhoneClip()));
    ASSERT_TRUE(waitUntil([&] { return !player->curDisplayingImage().isNull(); }));
    EXPECT_EQ(player->curDisplayingImage().size(), QSize(240, 320));
    EXPECT_EQ(player->presentationSize(), QSizeF(240, 320));
}

TEST_F(PlayerTest, VolumeIsKeptOnTheZeroTo128Scale)
{
    auto player = std::make_unique<ZKAVPlayer>();
    EXPECT_DOUBLE_EQ(player->volume(), 128.0);
    const std::vector<std::pair<double, double>> cases{
        {64, 64}, {0, 0}, {128, 128}, {-5, 0}, {300, 128}, {std::numeric_limits<double>::quiet_NaN(), 128}};
    for (const auto& [given, kept] : cases) {
        player->setVolume(given);
        EXPECT_DOUBLE_EQ(player->volume(), kept) << given;
    }
    EXPECT_EQ(player->playbackState(), ZKAVPlayer::StateNone);
}

// With sound allowed the player uses whatever device the machine has; on a
// machine without one (as in the test environment) it falls back to the
// wall clock and plays all the same.
TEST_F(PlayerTest, PlaysWithOrWithoutAnAudioDevice)
{
    ZKAVPlayer::setAudioOutputEnabled(true);
    const bool haveDevice = !QMediaDevices::defaultAudioOutput().isNull();
    if (!haveDevice) {
        EXPECT_FALSE(ZKAVAudioOutput::preferredFormat().has_value());
    }
    auto player = pausedGrayPlayer();
    player->setVolume(30);
    player->seekto(3.6);
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->isPlayFinished(); }));
    EXPECT_EQ(frameIndex(player->curDisplayingImage()), kFrames - 1);
    if (!haveDevice) {
        EXPECT_FALSE(player->usesAudioClock());
    }
}

// The record that turns the device's played position into media time.
TEST(AudioBuffer, MapsDeviceBytesToMediaTimeAndSilenceToNothing)
{
    // 1000 frames of 4 bytes per second: one byte is 1/4000 s.
    ZKAVAudioBuffer buffer(4000, 4);
    buffer.reset(7);
    buffer.push(6, 0.0, QByteArray(400, 'x'));  // an older serial: dropped
    buffer.push(7, 2.0, QByteArray(400, 'a'));  // 0.1 s from 2.0
    buffer.push(7, 2.1, QByteArray(400, 'b'));  // seamless
    buffer.push(7, 5.0, QByteArray(4, 'c'));    // a jump
    EXPECT_NEAR(buffer.bufferedSeconds(), 0.201, 1e-9);

    char out[2000];
    EXPECT_EQ(buffer.read(out, 603), 600);  // whole frames only
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(buffer.read(out, 1000), 204);
    EXPECT_EQ(out[199], 'b');
    EXPECT_EQ(out[200], 'c');
    // Dry: 10 ms of silence.
    EXPECT_EQ(buffer.read(out, 1000), 40);
    EXPECT_EQ(out[0], 0);

    EXPECT_NEAR(*buffer.ptsAtDeviceOffset(0), 2.0, 1e-9);
    EXPECT_NEAR(*buffer.ptsAtDeviceOffset(600), 2.15, 1e-9);
    EXPECT_NEAR(*buffer.ptsAtDeviceOffset(800), 5.0, 1e-9);
    EXPECT_FALSE(buffer.ptsAtDeviceOffset(810).has_value());  // silence
    EXPECT_FALSE(buffer.ptsAtDeviceOffset(-1).has_value());

    buffer.reset(8);
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_FALSE(buffer.ptsAtDeviceOffset(0).has_value());
    buffer.setAccepting(false);
    buffer.push(8, 0, QByteArray(40, 'd'));
    EXPECT_TRUE(buffer.isEmpty());
}

}  // namespace
