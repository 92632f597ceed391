#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

namespace TestMedia {

QString ffmpegPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

QString ffprobePath()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
}

QString cacheDir()
{
    const QString dir = QStringLiteral(TRELVIO_TEST_MEDIA_DIR);
    QDir().mkpath(dir);
    return dir;
}

QString make(const QString& name, const QStringList& args)
{
    const QString target = cacheDir() + QLatin1Char('/') + name;
    if (QFileInfo::exists(target))
        return target;
    const QString suffix = QFileInfo(name).suffix();
    const QString partial = cacheDir() + QStringLiteral("/.partial-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('.') + suffix;
    QProcess p;
    QStringList all{QStringLiteral("-y"), QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error")};
    all << args << partial;
    p.start(ffmpegPath(), all);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("test media %s: ffmpeg failed: %s", qPrintable(name), p.readAllStandardError().constData());
        QFile::remove(partial);
        return {};
    }
    // rename() replaces atomically, so a process that raced us sees a whole file.
    if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(partial);
        return QFileInfo::exists(target) ? target : QString();
    }
    return target;
}

QString videoWithAudio()
{
    return make(QStringLiteral("video_audio.mp4"),
                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2",
                 "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2",
                 "-ac", "2", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                 "-c:a", "aac", "-b:a", "96k", "-shortest"});
}

QString anamorphic()
{
    return make(QStringLiteral("anamorphic.mpg"),
                {"-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:duration=2",
                 "-f", "lavfi", "-i", "sine=frequency=330:sample_rate=48000:duration=2",
                 "-vf", "setsar=64/45", "-c:v", "mpeg2video", "-b:v", "2M",
                 "-c:a", "mp2", "-f", "mpeg"});
}

QString audioOnly()
{
    return make(QStringLiteral("audio.m4a"),
                {"-f", "lavfi", "-i", "sine=frequency=523:sample_rate=48000:duration=2",
                 "-ac", "2", "-c:a", "aac", "-b:a", "128k"});
}

QString audioWithCover()
{
    const QString cover = make(QStringLiteral("cover.png"),
                               {"-f", "lavfi", "-i", "testsrc=size=200x200:duration=1", "-frames:v", "1"});
    return make(QStringLiteral("audio_cover.mp3"),
                {"-f", "lavfi", "-i", "sine=frequency=600:sample_rate=44100:duration=2",
                 "-i", cover, "-map", "0:a", "-map", "1:v", "-c:a", "libmp3lame", "-b:a", "128k",
                 "-c:v", "png", "-disposition:v", "attached_pic", "-id3v2_version", "3",
                 "-metadata:s:v", "title=Album cover", "-metadata:s:v", "comment=Cover (front)"});
}

QString withMetadata()
{
    return make(QStringLiteral("tagged.mkv"),
                {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=1",
                 "-f", "lavfi", "-i", "sine=sample_rate=44100:duration=1",
                 "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "libvorbis",
                 "-metadata", "title=Test Title", "-metadata", "artist=Test Artist",
                 "-metadata", "comment=made at test time"});
}

QString truncated()
{
    const QString target = cacheDir() + QStringLiteral("/truncated.mp4");
    if (QFileInfo::exists(target))
        return target;
    const QString source = make(QStringLiteral("truncate_source.mp4"),
                                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=2",
                                 "-c:v", "libx264", "-preset", "ultrafast"});
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    // The front third of an MP4 whose index (moov) sits at the end: no index.
    const QByteArray head = in.read(in.size() / 3);
    const QString partial = target + QStringLiteral(".part") + QUuid::createUuid().toString(QUuid::Id128);
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly) || out.write(head) != head.size())
        return {};
    out.close();
    ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData());
    return target;
}

QString nonMedia()
{
    const QString target = cacheDir() + QStringLiteral("/not_media.mp4");
    if (!QFileInfo::exists(target)) {
        QFile f(target);
        if (f.open(QIODevice::WriteOnly))
            f.write("This is plain text, not a video.\n");
    }
    return target;
}

QString counterClip()
{
    return make(QStringLiteral("counter.mp4"),
                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=3",
                 "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "25"});
}

QString rotatedPhoneClip()
{
    const QString target = cacheDir() + QStringLiteral("/phone_rotated.mov");
    if (QFileInfo::exists(target))
        return target;
    const QString source = make(QStringLiteral("phone_upright.mov"),
                                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30:duration=1",
                                 "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=1",
                                 "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                 "-c:a", "aac", "-ac", "2"});
    QFile in(source);
    if (source.isEmpty() || !in.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = in.readAll();
    // The first track header is the video's. Its 3x3 matrix (16.16 and 2.30
    // fixed point, big-endian) follows 40 bytes of fields in version 0 and 52
    // in version 1; a phone held upright writes {0, 1, -1, 0} with the
    // stored height as x translation.
    const qsizetype at = data.indexOf("tkhd");
    if (at < 4 || at + 80 > data.size())
        return {};
    const qsizetype matrix = at + 4 + (data[at + 4] == 0 ? 40 : 52);
    auto put = [&](qsizetype pos, quint32 v) {
        for (int i = 0; i < 4; ++i)
            data[pos + i] = static_cast<char>((v >> (24 - 8 * i)) & 0xff);
    };
    auto get = [&](qsizetype pos) {
        quint32 v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<quint8>(data[pos + i]);
        return v;
    };
    if (get(matrix) != 0x10000u || get(matrix + 16) != 0x10000u || get(matrix + 32) != 0x40000000u)
        return {};
    const quint32 storedHeight = get(matrix + 40);
    const quint32 rotated[9] = {0, 0x10000u, 0, 0xffff0000u, 0, 0, storedHeight, 0, 0x40000000u};
    for (int i = 0; i < 9; ++i)
        put(matrix + 4 * i, rotated[i]);
    const QString partial = target + QStringLiteral(".part") + QUuid::createUuid().toString(QUuid::Id128);
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size())
        return {};
    out.close();
    ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData());
    return target;
}

QString webmClip()
{
    return make(QStringLiteral("clip.webm"),
                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=1",
                 "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=1",
                 "-ac", "2", "-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",
                 "-b:v", "300k", "-c:a", "libopus", "-b:a", "64k"});
}

QString mpegTsClip()
{
    return make(QStringLiteral("segment.ts"),
                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=1",
                 "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=1",
                 "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                 "-f", "mpegts", "-output_ts_offset", "10"});
}

QString aviClip()
{
    return make(QStringLiteral("old.avi"),
                {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=1",
                 "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1",
                 "-c:v", "mpeg4", "-q:v", "5", "-c:a", "libmp3lame", "-b:a", "128k"});
}

QString subtitlesOnly()
{
    const QString target = cacheDir() + QStringLiteral("/subtitles.srt");
    if (!QFileInfo::exists(target)) {
        QFile f(target);
        if (f.open(QIODevice::WriteOnly))
            f.write("1\n00:00:00,000 --> 00:00:01,000\nHello\n\n2\n00:00:01,000 --> 00:00:02,000\nWorld\n");
    }
    return target;
}

QByteArray ffprobe(const QStringList& args)
{
    QProcess p;
    p.start(ffprobePath(), args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

}  // namespace TestMedia
