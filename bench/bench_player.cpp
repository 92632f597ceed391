// The player's picture pipeline on a 1080p H.264 clip, in this process:
//
// - decoding and converting every frame to an RGB32 QImage through the
//   player's decoding thread and frame queue, against "ffmpeg -i clip -f null -"
//   (decoding only) run in the same program on the same file:
//     FIGURE player_decode_fps_ratio <ours / ffmpeg frames per second> x target >= 0.8
// - the median time from seekto to the new picture on screen of a paused
//   player, over targets spread across the clip between key frames:
//     FIGURE player_seek_median_ms <ms> ms target none
#include "RAZedIruvIvizor/ZKAVDecoder.h"
#include "RAZedIruvIvizor/ZKAVFrameQueue.h"
#include "RAZedIruvIvizor/ZKAVPlayer.h"
#include "RAZedIruvIvizor/ZKAVPlayerItem.h"
#include "RAZedIruvIvizor/ZKUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSeconds = 8;
constexpr int kFps = 30;

QString makeClip()
{
    const QString dir = QDir::tempPath() + QStringLiteral("/trelvio-bench-player-v1");
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/clip1080.mp4");
    if (QFileInfo::exists(path))
        return path;
    const QString partial = dir + QStringLiteral("/clip1080.part.mp4");
    QProcess p;
    p.start(ZKUtils::getFFMpegPath(),
            {"-nostdin", "-y", "-v", "error", "-f", "lavfi", "-i",
             QStringLiteral("testsrc2=size=1920x1080:rate=%1:duration=%2").arg(kFps).arg(kSeconds), "-c:v",
             "libx264", "-preset", "veryfast", "-crf", "20", "-g", "60", "-pix_fmt", "yuv420p", partial});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "# could not make the clip: %s\n", p.readAllStandardError().constData());
        QFile::remove(partial);
        return {};
    }
    QFile::rename(partial, path);
    return path;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds for the ffmpeg tool to decode the whole clip.
double toolRun(const QString& clip)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(ZKUtils::getFFMpegPath(), {"-nostdin", "-v", "error", "-i", "file:" + clip, "-f", "null", "-"});
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

// Seconds for the player's decoding thread to decode and convert the whole
// clip into its queue, with this thread taking every picture at once.
double ownRun(const QString& clip, int* frames)
{
    QElapsedTimer t;
    t.start();
    ZKAVFrameQueue queue(5);
    queue.reset(1);
    ZKAVDecoder decoder(clip, ZKAVAudioOutputFormat{}, &queue, nullptr);
    queue.setRoomCallback([&decoder] { decoder.wake(); });
    decoder.start(0, 1);
    int n = 0;
    for (;;) {
        if (std::optional<ZKAVVideoFrame> f = queue.pop()) {
            if (!f->image.isNull())
                ++n;
            // As the player does with the picture it takes off the screen.
            queue.recycle(std::move(f->image));
            continue;
        }
        if (decoder.hasFailed() || (decoder.reachedEnd(1) && queue.size() == 0))
            break;
        queue.waitForFrame(5);
    }
    *frames = n;
    return t.nsecsElapsed() / 1e9;
}

// Milliseconds from seekto to the new picture of a paused player.
std::vector<double> seekTimes(const QString& clip)
{
    auto asset = std::make_shared<ZKAVURLAsset>();
    asset->filePath = clip;
    asset->loadValuesSynchronously();
    auto player = ZKAVPlayer::playerWithPlayerItem(ZKAVPlayerItem::playerItemWithAsset(asset));
    player->pause();
    QEventLoop loop;
    QObject::connect(player.get(), &ZKAVPlayer::frameChanged, &loop, [&] {
        if (!player->isSeeking())
            loop.quit();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto waitPicture = [&] {
        guard.start(10000);
        if (player->isSeeking())
            loop.exec();
    };
    waitPicture();

    std::vector<double> ms;
    // Key frames every 2 s; targets land all over the groups of pictures.
    const double span = kSeconds - 0.5;
    for (int i = 0; i < 25; ++i) {
        const double target = std::fmod(0.37 + i * 1.73, span);
        QElapsedTimer t;
        t.start();
        player->seekto(target);
        waitPicture();
        ms.push_back(t.nsecsElapsed() / 1e6);
        if (std::abs(player->displayedFrameTime() - target) > 1.0 / kFps + 1e-6)
            std::fprintf(stderr, "# seek to %.3f showed %.3f\n", target, player->displayedFrameTime());
    }
    player->stopRefreshTimer();
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FFMpegInit();
    ZKAVPlayer::setAudioOutputEnabled(false);
    if (ZKUtils::getFFMpegPath().isEmpty()) {
        std::fprintf(stderr, "bench_player: ffmpeg is needed\n");
        return 1;
    }
    const QString clip = makeClip();
    if (clip.isEmpty())
        return 1;

    // Warm the page cache and the libraries for both sides.
    int frames = 0;
    toolRun(clip);
    ownRun(clip, &frames);

    constexpr int kRounds = 5;
    std::vector<double> tool, own;
    for (int i = 0; i < kRounds; ++i) {
        const double a = toolRun(clip);
        const double b = ownRun(clip, &frames);
        if (a <= 0 || frames != kSeconds * kFps) {
            std::fprintf(stderr, "bench_player: a run failed (%d frames)\n", frames);
            return 1;
        }
        tool.push_back(a);
        own.push_back(b);
    }
    const double toolFps = frames / median(tool);
    const double ownFps = frames / median(own);
    const std::vector<double> seeks = seekTimes(clip);

    std::printf("# clip: %s, %d frames 1920x1080 H.264\n", qPrintable(clip), frames);
    std::printf("# ffmpeg -f null: median of %d runs %.1f fps (process start included)\n", kRounds, toolFps);
    std::printf("# player decode + RGB32 conversion: median of %d runs %.1f fps\n", kRounds, ownFps);
    std::printf("# seek to picture: %zu seeks, min %.1f ms, max %.1f ms\n", seeks.size(),
                *std::min_element(seeks.begin(), seeks.end()), *std::max_element(seeks.begin(), seeks.end()));
    std::printf("FIGURE player_decode_fps_ratio %.2f x target >= 0.8\n", ownFps / toolFps);
    std::printf("FIGURE player_seek_median_ms %.1f ms target none\n", median(seeks));
    return 0;
}
