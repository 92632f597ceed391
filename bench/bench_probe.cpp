// Probing speed: ZKAVURLAsset in this process against one ffprobe run per
// file, on the same folder of small generated files in the same run.
//
// Prints "FIGURE probe_speedup <ratio> x target >= 5" where ratio is the
// ffprobe time over the in-process time for the whole folder.
#include "RAZedIruvIvizor/ZKAVURLAsset.h"
#include "RAZedIruvIvizor/ZKUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Recipe
{
    const char* ext;
    QStringList args;  // input and codec arguments; the output path follows
};

std::vector<Recipe> recipes()
{
    const QString v = "testsrc2=size=320x240:rate=25:duration=2";
    const QString a = "sine=frequency=440:sample_rate=44100:duration=2";
    const QString a48 = "sine=frequency=440:sample_rate=48000:duration=2";
    const QStringList av{"-f", "lavfi", "-i", v, "-f", "lavfi", "-i", a};
    const QStringList av48{"-f", "lavfi", "-i", v, "-f", "lavfi", "-i", a48};
    const QStringList au{"-f", "lavfi", "-i", a};
    const QStringList au48{"-f", "lavfi", "-i", a48};
    const QStringList x264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
    return {
        {"mp4", av + x264 + QStringList{"-c:a", "aac"}},
        {"mov", av48 + x264 + QStringList{"-c:a", "aac"}},
        {"mkv", av + x264 + QStringList{"-c:a", "libvorbis"}},
        {"ts", av48 + x264 + QStringList{"-c:a", "aac", "-f", "mpegts"}},
        {"avi", av + QStringList{"-c:v", "mpeg4", "-q:v", "5", "-c:a", "libmp3lame"}},
        {"mpg", av48 + QStringList{"-c:v", "mpeg2video", "-b:v", "1M", "-c:a", "mp2", "-f", "mpeg"}},
        {"webm", av48 + QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libopus"}},
        {"mp3", au + QStringList{"-c:a", "libmp3lame", "-b:a", "128k"}},
        {"m4a", au + QStringList{"-c:a", "aac"}},
        {"flac", au + QStringList{"-c:a", "flac"}},
        {"wav", au + QStringList{"-c:a", "pcm_s16le"}},
        {"ogg", au + QStringList{"-c:a", "libvorbis"}},
        {"opus", au48 + QStringList{"-c:a", "libopus"}},
        {"ac3", au48 + QStringList{"-c:a", "ac3"}},
    };
}

// The folder of generated files, made once and reused by later runs.
QStringList makeFolder(int count)
{
    const QString dir = QDir::tempPath() + QStringLiteral("/trelvio-bench-probe-v1");
    QDir().mkpath(dir);
    const QString ffmpeg = ZKUtils::getFFMpegPath();
    const std::vector<Recipe> all = recipes();
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const Recipe& r = all[i % all.size()];
        const QString path = QStringLiteral("%1/clip%2.%3").arg(dir).arg(i, 2, 10, QLatin1Char('0')).arg(r.ext);
        if (!QFileInfo::exists(path)) {
            const QString partial = path + QStringLiteral(".part.") + r.ext;
            QProcess p;
            QStringList args{"-nostdin", "-y", "-v", "error"};
            args << r.args;
            args << partial;  // ends in the real extension, which picks the container
            p.start(ffmpeg, args);
            if (!p.waitForFinished(120000) || p.exitCode() != 0) {
                std::fprintf(stderr, "# could not make %s: %s\n", qPrintable(path), p.readAllStandardError().constData());
                QFile::remove(partial);
                continue;
            }
            QFile::rename(partial, path);
        }
        files << path;
    }
    return files;
}

double probeInProcess(const QStringList& files, int* failures)
{
    QElapsedTimer t;
    t.start();
    for (const QString& f : files) {
        ZKAVURLAsset asset;
        asset.filePath = f;
        if (!asset.loadValuesSynchronously())
            ++*failures;
    }
    return t.nsecsElapsed() / 1e9;
}

double probeWithTool(const QString& ffprobe, const QStringList& files, int* failures)
{
    QElapsedTimer t;
    t.start();
    for (const QString& f : files) {
        QProcess p;
        p.start(ffprobe, {"-v", "error", "-of", "json", "-show_format", "-show_streams", "file:" + f});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            ++*failures;
        p.readAllStandardOutput();
    }
    return t.nsecsElapsed() / 1e9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FFMpegInit();
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty() || ZKUtils::getFFMpegPath().isEmpty()) {
        std::fprintf(stderr, "bench_probe: ffmpeg and ffprobe are needed\n");
        return 1;
    }
    const QStringList files = makeFolder(42);
    if (files.size() < 30) {
        std::fprintf(stderr, "bench_probe: only %lld files could be made\n", static_cast<long long>(files.size()));
        return 1;
    }

    int failures = 0;
    // Warm the page cache and the libraries for both sides.
    probeInProcess(files, &failures);
    probeWithTool(ffprobe, files.mid(0, 3), &failures);

    constexpr int kInProcessRounds = 7;
    constexpr int kToolRounds = 3;
    std::vector<double> inProcess, tool;
    for (int i = 0; i < kInProcessRounds; ++i)
        inProcess.push_back(probeInProcess(files, &failures));
    for (int i = 0; i < kToolRounds; ++i)
        tool.push_back(probeWithTool(ffprobe, files, &failures));
    if (failures) {
        std::fprintf(stderr, "bench_probe: %d probes failed\n", failures);
        return 1;
    }

    const double own = median(inProcess);
    const double ref = median(tool);
    const double n = files.size();
    std::printf("# files: %d small clips of %d containers in %s\n", static_cast<int>(n),
                static_cast<int>(recipes().size()), qPrintable(QFileInfo(files.first()).absolutePath()));
    std::printf("# in-process: median of %d rounds %.1f ms per folder, %.2f ms per file\n", kInProcessRounds,
                own * 1e3, own * 1e3 / n);
    std::printf("# ffprobe: median of %d rounds %.1f ms per folder, %.2f ms per file\n", kToolRounds, ref * 1e3,
                ref * 1e3 / n);
    std::printf("FIGURE probe_speedup %.1f x target >= 5\n", ref / own);
    return 0;
}
