// Running a conversion job: progress parsing, real runs of ffmpeg, pause,
// resume, cancel, failures, and a stand-in tool for exact progress lines.
#include "Convert/ConvertOperation.h"
#include "Convert/ScriptBridgeHelper.h"
#include "Media/LSMedia.h"
#include "Platform/MusicLibrary.h"
#include "Platform/OperationQueue.h"
#include "Platform/UserDefaults.h"
#include "RAZedIruvIvizor/ZKUtils.h"
#include "Settings/SettingsKeys.h"
#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <ostream>
#include <sys/stat.h>

static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Waits (processing this thread's events, where queued hand-overs land)
// until the condition holds; false after `seconds`.
bool waitFor(const std::function<bool()>& condition, double seconds = 60)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

// The one-letter state of a process from /proc/<pid>/stat ('T' stopped).
char processState(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray stat = f.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat.at(close + 2) : '?';
}

std::shared_ptr<LSMedia> videoItem(const QString& path, double length, double fps = 25)
{
    auto m = std::make_shared<LSMedia>();
    m->filePath = path;
    m->mediaType = 0;
    m->duration = length;
    m->pixWidth = 320;
    m->pixHeight = 240;
    m->display_aspect_ratio = { 4, 3 };
    m->strOutFileName = QStringLiteral("out");
    m->strOutFileExt = QStringLiteral("mp4");
    m->vOVCodecName = QStringLiteral("libx264");
    m->dVOBitrate = 400;
    m->iOWidth = 320;
    m->iOHeight = 240;
    m->strOResolution = QStringLiteral("320*240");
    m->vOFps = fps;
    m->vOACodecName = QStringLiteral("aac");
    m->dAOBitrate = 96;
    m->dAOSamplerate = 44100;
    m->dTrimStart = 0;
    m->dTrimLength = length;
    return m;
}

// ---------------------------------------------------------------- parsing

struct Step {
    QString text;
    double clock;
    float progress; // expected dProgress after the chunk
    double left; // expected dLeftTime after the chunk
};

struct ParseCase {
    const char* name;
    bool audio;
    double fps, trimLength, duration;
    std::vector<Step> steps;
};

TEST(ConvertProgress, ParsingTable)
{
    const QString tail
        = QStringLiteral(" fps= 25 q=28.0 size=     256kB time=00:00:20.00 bitrate= 104.9kbits/s speed=1x\r");
    const ParseCase cases[] = {
        { "the example: 25 frames/s, 100 s", false, 25, 100, 100,
            { { "frame=  500" + tail, 10, 20, 40 }, { "frame= 1000" + tail, 20, 40, 30 } } },
        { "the first estimate counts from the start of the tool", false, 25, 100, 100,
            { { "frame=  250" + tail, 2, 10, 18 } } },
        { "before one second the first estimate stays at 1000", false, 25, 100, 100,
            { { "frame=  250" + tail, 0.5, 10, 1000 } } },
        { "chunks less than a second apart keep the estimate", false, 25, 100, 100,
            { { "frame=  500" + tail, 10, 20, 40 }, { "frame=  600" + tail, 10.5, 24, 40 },
                { "frame=  750" + tail, 15, 30, 35 } } },
        { "less than 0.1 percent keeps the estimate", false, 25, 100, 100,
            { { "frame=  500" + tail, 10, 20, 40 }, { "frame=  502" + tail, 20, 20.08f, 40 } } },
        { "frame 0 leaves progress unchanged", false, 25, 100, 100,
            { { "frame=  500" + tail, 10, 20, 40 }, { "frame=    0" + tail, 20, 20, 40 } } },
        { "frame= not at the start is ignored", false, 25, 100, 100,
            { { "Press [q] to stop\nframe=  500" + tail, 10, 0, 0 }, { "  frame=  500" + tail, 10, 0, 0 } } },
        { "no number after frame=", false, 25, 100, 100, { { "frame=N/A" + tail, 10, 0, 0 }, { "frame=", 10, 0, 0 } } },
        { "slow progress is capped at 100000 seconds", false, 25, 100, 100,
            { { "frame=    5" + tail, 1000, 0.2f, 100000 } } },
        { "more frames than expected stop at 100 percent", false, 25, 100, 100,
            { { "frame= 3000" + tail, 10, 100, 0 } } },
        { "frame rate 0 gives no progress", false, 0, 100, 100, { { "frame=  500" + tail, 10, 0, 0 } } },
        { "trim and duration 0 give no progress", false, 25, 0, 0, { { "frame=  500" + tail, 10, 0, 0 } } },
        { "no trim options: the whole file is the total", false, 25, 1.0, 100,
            { { "frame=  500" + tail, 10, 20, 40 } } },
        { "audio: position after time=", true, 0, 100, 100,
            { { "size=     160kB time=00:00:10.00 bitrate= 131.1kbits/s speed=50x\r", 2, 10, 18 },
                { "size=     320kB time=00:00:20.00 bitrate= 131.1kbits/s\r", 4, 20, 16 } } },
        { "audio: the first time= counts", true, 0, 100, 100,
            { { "size= 1kB time=00:00:30.00 x time=00:00:50.00\r", 3, 30, 7 } } },
        { "audio: unreadable or cut time= is ignored", true, 0, 100, 100,
            { { "size= 0kB time=N/A bitrate=N/A\r", 3, 0, 0 }, { "size= 0kB time=00:0", 3, 0, 0 },
                { "no time here", 3, 0, 0 } } },
        { "audio: length 0 gives no progress", true, 0, 0, 0, { { "size= 1kB time=00:00:10.00\r", 3, 0, 0 } } },
        { "an empty chunk is ignored", false, 25, 100, 100, { { "", 10, 0, 0 } } },
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = videoItem("/in.mp4", c.trimLength);
        m->duration = c.duration;
        m->vOFps = c.fps;
        if (c.audio)
            m->eumDestFmtType = DestFmtTypeAudio;
        ConvertOperation op(m);
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.text.toStdString());
            op.handleOutput(s.text, s.clock);
            const float p = m->dProgress.load();
            EXPECT_FALSE(std::isnan(p));
            EXPECT_GE(p, 0.0f);
            EXPECT_LE(p, 100.0f);
            EXPECT_NEAR(p, s.progress, 1e-3);
            EXPECT_NEAR(m->dLeftTime.load(), s.left, 1e-6);
        }
    }
}

TEST(ConvertProgress, AnAudioOnlySourceIsReadFromTimeWhateverItsProfile)
{
    auto m = videoItem("/in.m4a", 100);
    m->mediaType = 1; // video profile, audio file
    ConvertOperation op(m);
    op.handleOutput("size=     160kB time=00:00:25.00 bitrate= 131.1kbits/s\r", 5);
    EXPECT_FLOAT_EQ(m->dProgress.load(), 25);
}

TEST(ConvertProgress, SyncEligibility)
{
    struct Case {
        int type;
        QString ext;
        bool eligible;
    };
    const Case cases[] = {
        { 0, "avi", true },
        { 0, "mkv", true },
        { DestFmtTypeAudio, "MP3", true },
        { DestFmtTypeAudio, "m4a", true },
        { 1, "M4A", true },
        { 1, "avi", false },
        { DestFmtTypeAudio, "flac", false },
        { 2, "mp4", false },
    };
    for (const Case& c : cases) {
        LSMedia m;
        m.eumDestFmtType = c.type;
        m.strOutFileExt = c.ext;
        EXPECT_EQ(ConvertOperation::isEligibleForSync(m), c.eligible) << c.type << " " << c.ext.toStdString();
    }
}

// ---------------------------------------------------------------- runs

class ConvertRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_out = m_dir.filePath("out");
        QDir().mkpath(m_out);
        m_queue.setMaxConcurrentOperationCount(2);
    }

    void TearDown() override
    {
        for (auto& op : m_ops)
            op->cancel();
        m_queue.waitUntilAllOperationsAreFinished();
        ZKUtils::setFFMpegPathOverride(QString());
        if (m_feeder.state() != QProcess::NotRunning) {
            m_feeder.kill();
            m_feeder.waitForFinished();
        }
    }

    std::shared_ptr<ConvertOperation> start(const std::shared_ptr<LSMedia>& m)
    {
        auto op = std::make_shared<ConvertOperation>(m);
        op->setOutputFolders(m_out, m_out);
        m_ops.push_back(op);
        m_queue.addOperation(op);
        return op;
    }

    bool waitEnded(const std::shared_ptr<ConvertOperation>& op, double seconds = 120)
    {
        return waitFor([&] { return op->isFinished(); }, seconds);
    }

    // A stand-in for ffmpeg: a shell script of our own.
    QString script(const QString& name, const QString& body)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.write(body.toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // A source that lasts as long as the test wants: ffmpeg reads it from a
    // named pipe fed in real time, so the conversion runs until cancelled.
    QString endlessSource()
    {
        const QString fifo = m_dir.filePath("feed.ts");
        EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        m_feeder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_feeder.start(TestMedia::ffmpegPath(),
            { "-nostdin", "-v", "error", "-re", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=60", "-f",
                "lavfi", "-i", "sine=duration=60", "-c:v", "mpeg2video", "-c:a", "mp2", "-f", "mpegts", "-y", fifo });
        EXPECT_TRUE(m_feeder.waitForStarted());
        return fifo;
    }

    QStringList outputFiles() const { return QDir(m_out).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
    QString m_out;
    OperationQueue m_queue;
    std::vector<std::shared_ptr<ConvertOperation>> m_ops;
    QProcess m_feeder;
};

TEST_F(ConvertRun, FinishesWithAPlayableOutput)
{
    const QString source = TestMedia::videoWithAudio();
    ASSERT_FALSE(source.isEmpty());
    auto m = videoItem(source, 2);
    m->iOWidth = 160;
    m->iOHeight = 120;
    m->strOResolution = "160*120";
    auto op = start(m);
    ASSERT_TRUE(waitEnded(op));
    EXPECT_EQ(m->cvtState(), CvtStateFinished);
    EXPECT_EQ(op->iExitCode, 0);
    EXPECT_FLOAT_EQ(m->dProgress.load(), 100.0f);
    ASSERT_TRUE(QFileInfo::exists(op->outputPath()));
    EXPECT_EQ(op->outputPath(), m_out + "/out.mp4");

    const QByteArray probe = TestMedia::ffprobe({ "-v", "error", "-select_streams", "v:0", "-show_entries",
        "stream=width,height:format=duration", "-of", "csv=p=0", op->outputPath() });
    EXPECT_TRUE(probe.contains("160,120")) << probe.toStdString();
    const QList<QByteArray> lines = probe.trimmed().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_NEAR(lines.last().trimmed().toDouble(), 2.0, 0.2);

    // A late cancel does not undo a finished job.
    op->cancel();
    EXPECT_EQ(m->cvtState(), CvtStateFinished);
    EXPECT_TRUE(QFileInfo::exists(op->outputPath()));
}

TEST_F(ConvertRun, PauseStopsTheToolAndResumeContinuesIt)
{
    auto m = videoItem(endlessSource(), 60);
    auto op = start(m);
    ASSERT_TRUE(waitFor([&] { return op->toolProcessId() > 0 && m->dProgress.load() > 0; }));
    const qint64 pid = op->toolProcessId();

    op->pause();
    EXPECT_EQ(m->cvtState(), CvtStatePaused);
    EXPECT_TRUE(waitFor([&] { return processState(pid) == 'T'; }, 10)) << processState(pid);

    op->resume();
    EXPECT_EQ(m->cvtState(), CvtStateConverting);
    EXPECT_TRUE(waitFor([&] { return processState(pid) != 'T'; }, 10));
    const float before = m->dProgress.load();
    EXPECT_TRUE(waitFor([&] { return m->dProgress.load() > before; }, 20));

    op->cancel();
    ASSERT_TRUE(waitEnded(op));
    EXPECT_EQ(m->cvtState(), CvtStateCanceled);
    EXPECT_TRUE(outputFiles().isEmpty()) << outputFiles().join(' ').toStdString();
}

TEST_F(ConvertRun, CancelOfAPausedJobEndsCanceledAndRemovesThePartialFile)
{
    auto m = videoItem(endlessSource(), 60);
    auto op = start(m);
    ASSERT_TRUE(waitFor([&] { return op->toolProcessId() > 0 && m->dProgress.load() > 1; }));
    const QString output = op->outputPath();
    EXPECT_TRUE(QFileInfo::exists(output));
    op->pause();
    ASSERT_TRUE(waitFor([&] { return processState(op->toolProcessId()) == 'T'; }, 10));

    op->cancel();
    EXPECT_EQ(m->cvtState(), CvtStateCanceled);
    ASSERT_TRUE(waitEnded(op, 30));
    EXPECT_EQ(m->cvtState(), CvtStateCanceled);
    EXPECT_TRUE(op->wasCancelledByUser());
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_TRUE(outputFiles().isEmpty()) << outputFiles().join(' ').toStdString();
}

TEST_F(ConvertRun, CancelOfAWaitingJobNeverLaunchesTheTool)
{
    const QString log = m_dir.filePath("launches.log");
    ZKUtils::setFFMpegPathOverride(script("slow-ffmpeg",
        QStringLiteral("echo launched >> '%1'\n"
                       "while :; do echo 'frame=    1 fps=1'; sleep 0.2; done\n")
            .arg(log)));
    m_queue.setMaxConcurrentOperationCount(1);
    auto running = start(videoItem("/in/a.mp4", 10));
    auto waiting = start(videoItem("/in/b.mp4", 10));
    ASSERT_TRUE(waitFor([&] { return running->mediaToConvert()->dProgress.load() > 0; }));
    EXPECT_EQ(waiting->mediaToConvert()->cvtState(), CvtStateWaiting);

    waiting->cancel();
    EXPECT_EQ(waiting->mediaToConvert()->cvtState(), CvtStateCanceled);
    EXPECT_TRUE(waiting->isCancelled());
    running->cancel();
    ASSERT_TRUE(waitEnded(running));
    m_queue.waitUntilAllOperationsAreFinished();

    EXPECT_EQ(waiting->mediaToConvert()->cvtState(), CvtStateCanceled);
    EXPECT_EQ(running->mediaToConvert()->cvtState(), CvtStateCanceled);
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "launched\n");
    EXPECT_TRUE(outputFiles().isEmpty()) << outputFiles().join(' ').toStdString();
}

TEST_F(ConvertRun, AFailingToolEndsFailedAndLeavesNoOutput)
{
    const QString source = TestMedia::videoWithAudio();
    ASSERT_FALSE(source.isEmpty());
    auto m = videoItem(source, 2);
    m->vOVCodecName = "no_such_encoder";
    auto op = start(m);
    ASSERT_TRUE(waitEnded(op));
    EXPECT_EQ(m->cvtState(), CvtStateFailed);
    EXPECT_NE(op->iExitCode, 0);
    EXPECT_FALSE(op->wasCancelledByUser());
    EXPECT_TRUE(outputFiles().isEmpty()) << outputFiles().join(' ').toStdString();
    EXPECT_TRUE(op->lastOutputLines().join('\n').contains("no_such_encoder"))
        << op->lastOutputLines().join('\n').toStdString();
}

TEST_F(ConvertRun, AToolThatCannotStartEndsFailed)
{
    ZKUtils::setFFMpegPathOverride(m_dir.filePath("missing-ffmpeg"));
    auto m = videoItem("/in/a.mp4", 10);
    auto op = start(m);
    ASSERT_TRUE(waitEnded(op, 30));
    EXPECT_EQ(m->cvtState(), CvtStateFailed);
    EXPECT_TRUE(outputFiles().isEmpty());
}

TEST_F(ConvertRun, AMissingOutputFolderEndsFailedBeforeTheToolRuns)
{
    const QString log = m_dir.filePath("launches.log");
    ZKUtils::setFFMpegPathOverride(script("logging-ffmpeg", QStringLiteral("echo launched >> '%1'\n").arg(log)));
    auto op = std::make_shared<ConvertOperation>(videoItem("/in/a.mp4", 10));
    op->setOutputFolders(m_dir.filePath("missing"), m_dir.filePath("missing"));
    m_ops.push_back(op);
    m_queue.addOperation(op);
    ASSERT_TRUE(waitEnded(op));
    EXPECT_EQ(op->mediaToConvert()->cvtState(), CvtStateFailed);
    EXPECT_FALSE(QFileInfo::exists(log));
    EXPECT_FALSE(op->lastOutputLines().isEmpty());
}

TEST_F(ConvertRun, StandInToolGivesRealEstimatesFromTheFirstLine)
{
    // 25 frames/s over 100 s: 2500 frames. Ten percent a little more than
    // a second after the start, twenty percent a second later.
    ZKUtils::setFFMpegPathOverride(script("fake-ffmpeg",
        QStringLiteral(
            "for a; do out=\"$a\"; done\n"
            "echo 'ffmpeg stand-in'\n"
            "sleep 1.2\n"
            "printf 'frame=  250 fps= 25 q=28.0 size=  1kB time=00:00:10.00 bitrate=1.0kbits/s speed=1x\\r'\n"
            "sleep 1.2\n"
            "printf 'frame=  500 fps= 25 q=28.0 size=  2kB time=00:00:20.00 bitrate=1.0kbits/s speed=1x\\r'\n"
            "sleep 0.3\n"
            "printf 'done\\n' > \"$out\"\n")));
    auto m = videoItem("/in/a.mp4", 100);
    auto op = start(m);
    ASSERT_TRUE(waitFor([&] { return m->dProgress.load() >= 10.0f; }));
    EXPECT_FLOAT_EQ(m->dProgress.load(), 10.0f);
    // Measured from the start of the tool: about 1.2 s for 10 %, so about
    // 11 s left; never the 100000-second cap of a clock that starts at 0.
    const double first = m->dLeftTime.load();
    EXPECT_GT(first, 1.0);
    EXPECT_LT(first, 200.0);
    ASSERT_TRUE(waitFor([&] { return m->dProgress.load() >= 20.0f; }));
    EXPECT_TRUE(op->hasTimeLeftEstimate());
    EXPECT_GT(m->dLeftTime.load(), 1.0);
    EXPECT_LT(m->dLeftTime.load(), 200.0);
    ASSERT_TRUE(waitEnded(op));
    EXPECT_EQ(m->cvtState(), CvtStateFinished);
    EXPECT_FLOAT_EQ(m->dProgress.load(), 100.0f);
    EXPECT_TRUE(QFileInfo::exists(op->outputPath()));
}

TEST_F(ConvertRun, AFailedStandInKeepsItsLastLinesAndRemovesItsOutput)
{
    ZKUtils::setFFMpegPathOverride(script("failing-ffmpeg",
        QStringLiteral("for a; do out=\"$a\"; done\n"
                       "printf 'partial' > \"$out\"\n"
                       "i=1; while [ $i -le 30 ]; do echo \"line $i\"; i=$((i+1)); done\n"
                       "printf 'frame=   10 fps=1\\rlast words'\n"
                       "exit 3\n")));
    auto m = videoItem("/in/a.mp4", 10);
    auto op = start(m);
    ASSERT_TRUE(waitEnded(op));
    EXPECT_EQ(m->cvtState(), CvtStateFailed);
    EXPECT_EQ(op->iExitCode, 3);
    EXPECT_TRUE(outputFiles().isEmpty()) << outputFiles().join(' ').toStdString();
    const QStringList lines = op->lastOutputLines();
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines.first(), "line 13");
    EXPECT_EQ(lines.at(17), "line 30");
    EXPECT_EQ(lines.at(18), "frame=   10 fps=1");
    EXPECT_EQ(lines.last(), "last words");
}

TEST_F(ConvertRun, ParallelJobsWithTheSameNameGetTheirOwnFiles)
{
    ZKUtils::setFFMpegPathOverride(script("quick-ffmpeg",
        QStringLiteral("for a; do out=\"$a\"; done\n"
                       "sleep 0.5\n"
                       "printf '%s' \"$out\" > \"$out\"\n")));
    m_queue.setMaxConcurrentOperationCount(3);
    std::vector<std::shared_ptr<ConvertOperation>> ops;
    for (int i = 0; i < 3; ++i)
        ops.push_back(start(videoItem(QStringLiteral("/in/%1/clip.mp4").arg(i), 10)));
    for (auto& op : ops)
        ASSERT_TRUE(waitEnded(op));
    QStringList paths;
    for (auto& op : ops) {
        EXPECT_EQ(op->mediaToConvert()->cvtState(), CvtStateFinished);
        paths << op->outputPath();
    }
    paths.removeDuplicates();
    EXPECT_EQ(paths.size(), 3);
    EXPECT_EQ(outputFiles().size(), 3);
}

TEST_F(ConvertRun, AFinishedResultIsHandedToTheMusicLibraryOnTheMainThread)
{
    // The stand-in leaves a result file; the hand-over is queued to this
    // (the main) thread and runs while it processes its events.
    ZKUtils::setFFMpegPathOverride(script("quick-ffmpeg",
        QStringLiteral("for a; do out=\"$a\"; done\n"
                       "printf 'frame=  250 fps=25\\r'\n"
                       "printf 'x' > \"$out\"\n")));
    const QString library = m_dir.filePath("Music");
    ScriptBridgeHelper::setMusicLibraryRootForTesting(library);
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setBool(true, AppBSyncToiTunesKey);

    struct Case {
        const char* name;
        QString playlistSetting;
        int destType;
        QString ext;
        QString expectedPlaylist; // empty: library only
        bool handedOver;
    };
    const Case cases[] = {
        { "video result, named playlist", "Holiday", 0, "mp4", "Holiday", true },
        { "no playlist setting: the product name", "", DestFmtTypeAudio, "MP3", "Trelvio 3", true },
        { "not eligible", "Holiday", 2, "avi", "", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setString(c.playlistSetting, PlaylistNameKey);
        auto m = videoItem("/in/a.mp4", 10);
        m->eumDestFmtType = c.destType;
        m->strOutFileExt = c.ext;
        m->strOutFileName = QString::fromLatin1(c.name).replace(' ', '_').replace(':', '_');
        auto op = start(m);
        ASSERT_TRUE(waitEnded(op));
        EXPECT_EQ(m->cvtState(), CvtStateFinished);
        MusicLibrary music(library);
        if (c.handedOver) {
            EXPECT_TRUE(waitFor([&] { return music.libraryEntries().contains(op->outputPath()); }, 30));
            const std::optional<int> index = music.indexOfPlaylist(c.expectedPlaylist);
            ASSERT_TRUE(index.has_value());
            EXPECT_TRUE(music.playlistEntries(*index).contains(op->outputPath()));
        } else {
            QCoreApplication::processEvents();
            EXPECT_FALSE(music.libraryEntries().contains(op->outputPath()));
        }
    }
    defaults.removeObjectForKey(AppBSyncToiTunesKey);
    defaults.removeObjectForKey(PlaylistNameKey);
    ScriptBridgeHelper::setMusicLibraryRootForTesting(QString());
}

} // namespace
