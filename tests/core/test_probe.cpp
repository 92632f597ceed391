// Probing generated clips with ZKAVURLAsset, checked against what ffprobe
// reports for the same files.
#include "RAZedIruvIvizor/ZKAVURLAsset.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

namespace {

struct Loaded
{
    bool ok = false;
    int callbacks = 0;
    std::optional<QString> error;
};

Loaded load(ZKAVURLAsset& asset)
{
    Loaded r;
    r.ok = asset.loadValuesSynchronously([&](const std::optional<QString>& e) {
        ++r.callbacks;
        r.error = e;
    });
    return r;
}

QJsonObject ffprobeJson(const QString& path)
{
    const QByteArray out = TestMedia::ffprobe(
        {"-v", "error", "-of", "json", "-show_format", "-show_streams", "file:" + path});
    return QJsonDocument::fromJson(out).object();
}

ZKAVRational parseRatio(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return {};
    return ZKAVRational{parts[0].toInt(), parts[1].toInt()};
}

ZKAVRational reduced(int64_t num, int64_t den)
{
    const int64_t g = std::gcd(num, den);
    return ZKAVRational{static_cast<int32_t>(num / g), static_cast<int32_t>(den / g)};
}

double rate(const QString& fraction)
{
    const QStringList parts = fraction.split(QLatin1Char('/'));
    if (parts.size() != 2 || parts[1].toDouble() == 0)
        return 0;
    return parts[0].toDouble() / parts[1].toDouble();
}

// An MP4 whose movie header states another duration than its tracks: 0
// (missing) or an hour (wrong). The tracks keep their real length.
QString withMovieDuration(const QString& name, quint32 seconds)
{
    const QString target = TestMedia::cacheDir() + QLatin1Char('/') + name;
    if (QFileInfo::exists(target))
        return target;
    QFile in(TestMedia::videoWithAudio());
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QByteArray data = in.readAll();
    const qsizetype at = data.indexOf("mvhd");
    if (at < 0 || data[at + 4] != 0)
        return {};
    // Version 0: version/flags, creation, modification, time scale, duration.
    auto get = [&](qsizetype pos) {
        quint32 v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<quint8>(data[pos + i]);
        return v;
    };
    const quint32 value = seconds * get(at + 16);
    for (int i = 0; i < 4; ++i)
        data[at + 20 + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xff);
    const QString partial = target + QStringLiteral(".part") + QUuid::createUuid().toString(QUuid::Id128);
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size())
        return {};
    out.close();
    QFile::rename(partial, target);
    return target;
}

struct ClipCase
{
    const char* name;
    QString (*make)();
    int mediaType;
    int rotation;
    ZKAVRational dar;  // expected as well as ffprobe's, when not {0, 0}
};

void PrintTo(const ClipCase& c, std::ostream* os)
{
    *os << c.name;
}

const ClipCase kClips[] = {
    {"videoWithAudio", TestMedia::videoWithAudio, 0, 0, {4, 3}},
    {"anamorphic", TestMedia::anamorphic, 0, 0, {16, 9}},
    {"audioOnly", TestMedia::audioOnly, 1, 0, {}},
    {"audioWithCover", TestMedia::audioWithCover, 1, 0, {}},
    {"withMetadata", TestMedia::withMetadata, 0, 0, {4, 3}},
    {"rotatedPhone", TestMedia::rotatedPhoneClip, 0, 90, {3, 4}},
    {"webm", TestMedia::webmClip, 0, 0, {4, 3}},
    {"mpegTs", TestMedia::mpegTsClip, 0, 0, {4, 3}},
    {"avi", TestMedia::aviClip, 0, 0, {4, 3}},
    {"counter", TestMedia::counterClip, 0, 0, {4, 3}},
};

class ProbeClip : public ::testing::TestWithParam<ClipCase>
{
};

TEST_P(ProbeClip, AgreesWithFfprobe)
{
    const ClipCase& c = GetParam();
    const QString path = c.make();
    ASSERT_FALSE(path.isEmpty()) << "clip could not be made";

    ZKAVURLAsset asset;
    asset.filePath = path;
    const Loaded r = load(asset);
    ASSERT_TRUE(r.ok) << (r.error ? qPrintable(*r.error) : "");
    EXPECT_EQ(r.callbacks, 1);
    EXPECT_FALSE(r.error.has_value());
    EXPECT_TRUE(asset.isLoaded);

    const QJsonObject probe = ffprobeJson(path);
    const QJsonObject fmt = probe["format"].toObject();
    QJsonObject video, audio;
    for (const QJsonValue& v : probe["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        const QString type = s["codec_type"].toString();
        if (type == "video" && video.isEmpty() && s["disposition"].toObject()["attached_pic"].toInt() == 0)
            video = s;
        if (type == "audio" && audio.isEmpty())
            audio = s;
    }

    EXPECT_EQ(asset.mediaType, c.mediaType);
    EXPECT_EQ(asset.mediaType, video.isEmpty() ? 1 : 0);
    EXPECT_EQ(asset.formatName, fmt["format_name"].toString());
    EXPECT_EQ(asset.streamCount, fmt["nb_streams"].toInt());
    EXPECT_NEAR(asset.duration, fmt["duration"].toString().toDouble(), 1e-6);
    EXPECT_NEAR(asset.startTime, fmt["start_time"].toString().toDouble(), 1e-6);
    EXPECT_EQ(asset.bitrate, fmt["bit_rate"].toString().toLongLong());
    QMap<QString, QString> tags;
    const QJsonObject fmtTags = fmt["tags"].toObject();
    for (auto it = fmtTags.begin(); it != fmtTags.end(); ++it)
        tags.insert(it.key(), it.value().toString());
    EXPECT_EQ(asset.metaData, tags);

    if (!video.isEmpty()) {
        int32_t w = video["width"].toInt();
        int32_t h = video["height"].toInt();
        ZKAVRational sar = parseRatio(video["sample_aspect_ratio"].toString());
        ZKAVRational dar = parseRatio(video["display_aspect_ratio"].toString());
        if (dar.num == 0) {
            // ffprobe says N/A for an unknown pixel shape; the picture then shows at its size.
            dar = reduced(w, h);
            sar = ZKAVRational{0, 1};
        }
        int rotation = 0;
        for (const QJsonValue& sd : video["side_data_list"].toArray())
            if (sd.toObject().contains("rotation"))
                rotation = ((-sd.toObject()["rotation"].toInt()) % 360 + 360) % 360;
        EXPECT_EQ(asset.rotation, rotation);
        EXPECT_EQ(asset.rotation, c.rotation);
        if (rotation == 90 || rotation == 270) {
            std::swap(w, h);
            std::swap(dar.num, dar.den);
            if (sar.num)
                std::swap(sar.num, sar.den);
        }
        EXPECT_EQ(asset.pixWidth, w);
        EXPECT_EQ(asset.pixHeight, h);
        EXPECT_EQ(asset.display_aspect_ratio, dar);
        EXPECT_EQ(asset.sample_aspect_ratio, sar);
        if (c.dar.den) {
            EXPECT_EQ(asset.display_aspect_ratio, c.dar);
        }
        const QString fps = video["avg_frame_rate"].toString() != "0/0" ? video["avg_frame_rate"].toString()
                                                                         : video["r_frame_rate"].toString();
        EXPECT_NEAR(asset.videoFps, rate(fps), 1e-3);
        EXPECT_EQ(asset.videoCodecName, video["codec_name"].toString());
        EXPECT_EQ(asset.pixfmtName, video["pix_fmt"].toString());
        if (video.contains("duration")) {
            EXPECT_NEAR(asset.videoDuration, video["duration"].toString().toDouble(), 1e-6);
        }
        EXPECT_GT(asset.videoDuration, 0);
        EXPECT_GT(asset.videoBitrate, 0);
        ASSERT_NE(asset.videoTrack(), nullptr);
        EXPECT_EQ(asset.videoTrack()->pixWidth, asset.pixWidth);
        EXPECT_EQ(asset.videoTrack()->pixHeight, asset.pixHeight);
        EXPECT_EQ(asset.videoTrack()->display_aspect_ratio, asset.display_aspect_ratio);
    } else {
        EXPECT_EQ(asset.videoTrack(), nullptr);
        EXPECT_TRUE(asset.videoCodecName.isEmpty());
        EXPECT_EQ(asset.pixWidth, 0);
        EXPECT_EQ(asset.display_aspect_ratio.num, 0);
    }

    if (audio.isEmpty()) {
        EXPECT_TRUE(asset.audioCodecName.isEmpty());
        EXPECT_EQ(asset.audioChannels, 0);
        EXPECT_EQ(asset.audioBitrate, 0);
        return;
    }
    EXPECT_EQ(asset.audioCodecName, audio["codec_name"].toString());
    EXPECT_EQ(asset.audioSamplerate, audio["sample_rate"].toString().toInt());
    EXPECT_EQ(asset.audioChannels, audio["channels"].toInt());
    EXPECT_EQ(asset.audioSampleFmt, audio["sample_fmt"].toString());
    if (audio.contains("duration")) {
        EXPECT_NEAR(asset.audioDuration, audio["duration"].toString().toDouble(), 1e-6);
    }
    EXPECT_GT(asset.audioDuration, 0);
    EXPECT_GT(asset.audioBitrate, 0);
}

INSTANTIATE_TEST_SUITE_P(Clips, ProbeClip, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Probe, CoverPictureDoesNotMakeAudioAVideo)
{
    ZKAVURLAsset asset;
    asset.filePath = TestMedia::audioWithCover();
    ASSERT_TRUE(load(asset).ok);
    EXPECT_EQ(asset.mediaType, 1);
    EXPECT_EQ(asset.streamCount, 2) << "the picture is still a stream of the file";
    EXPECT_EQ(asset.videoTrack(), nullptr);
    EXPECT_EQ(asset.audioCodecName, "mp3");
}

TEST(Probe, AnamorphicPictureHasItsDisplayShape)
{
    ZKAVURLAsset asset;
    asset.filePath = TestMedia::anamorphic();
    ASSERT_TRUE(load(asset).ok);
    EXPECT_EQ(asset.pixWidth, 720);
    EXPECT_EQ(asset.pixHeight, 576);
    EXPECT_EQ(asset.sample_aspect_ratio, (ZKAVRational{64, 45}));
    EXPECT_EQ(asset.display_aspect_ratio, (ZKAVRational{16, 9}));
}

TEST(Probe, ContainerTagsBecomeMetaData)
{
    ZKAVURLAsset asset;
    asset.filePath = TestMedia::withMetadata();
    ASSERT_TRUE(load(asset).ok);
    // Keys stay as the container spells them (Matroska writes ARTIST, COMMENT).
    auto tag = [&](const QString& key) {
        for (auto it = asset.metaData.cbegin(); it != asset.metaData.cend(); ++it)
            if (it.key().compare(key, Qt::CaseInsensitive) == 0)
                return it.value();
        return QString();
    };
    EXPECT_EQ(tag("title"), "Test Title");
    EXPECT_EQ(tag("artist"), "Test Artist");
    EXPECT_EQ(tag("comment"), "made at test time");
}

// A movie header that states no length, or one far longer than the tracks:
// the tracks' length wins, and the overall bit rate follows it.
TEST(Probe, MissingOrWrongContainerDurationFallsBackToTheStreams)
{
    for (const auto& [name, stated] : {std::pair{"movie_duration_zero.mp4", 0u}, std::pair{"movie_duration_hour.mp4", 3600u}}) {
        SCOPED_TRACE(name);
        const QString path = withMovieDuration(name, stated);
        ASSERT_FALSE(path.isEmpty());
        const QJsonObject probe = ffprobeJson(path);
        ASSERT_NEAR(probe["format"].toObject()["duration"].toString().toDouble(), stated, 1e-6)
            << "the header really states the patched length";
        double longest = 0;
        for (const QJsonValue& s : probe["streams"].toArray())
            longest = std::max(longest, s.toObject()["duration"].toString().toDouble());
        ASSERT_GT(longest, 1.5);

        ZKAVURLAsset asset;
        asset.filePath = path;
        ASSERT_TRUE(load(asset).ok);
        EXPECT_NEAR(asset.duration, longest, 1e-6);
        EXPECT_NEAR(asset.videoDuration, 2.0, 0.05);
        EXPECT_EQ(asset.bitrate, static_cast<int64_t>(std::llround(QFileInfo(path).size() * 8.0 / longest)));
    }
}

// WebM states no stream bit rates: video and audio share the overall rate
// by their bytes, so the 300 kbit/s picture gets more than the 64 kbit/s sound.
TEST(Probe, StreamBitRatesAreComputedWhenTheContainerStatesNone)
{
    const QString path = TestMedia::webmClip();
    const QJsonObject probe = ffprobeJson(path);
    for (const QJsonValue& s : probe["streams"].toArray())
        ASSERT_FALSE(s.toObject().contains("bit_rate")) << "the clip is meant to state no stream rate";

    ZKAVURLAsset asset;
    asset.filePath = path;
    ASSERT_TRUE(load(asset).ok);
    EXPECT_EQ(asset.videoBitrate + asset.audioBitrate, asset.bitrate);
    EXPECT_GT(asset.audioBitrate, 32000);
    EXPECT_GT(asset.videoBitrate, 2 * asset.audioBitrate);
}

// MPEG-1/2 video headers state 104857200 bit/s ("variable"): not believable
// for a file whose overall rate is far lower, so the rate is computed.
TEST(Probe, UnbelievableStatedBitRateIsReplaced)
{
    ZKAVURLAsset asset;
    asset.filePath = TestMedia::anamorphic();
    ASSERT_TRUE(load(asset).ok);
    EXPECT_GT(asset.videoBitrate, 0);
    EXPECT_LT(asset.videoBitrate, asset.bitrate);
    EXPECT_EQ(asset.videoBitrate + asset.audioBitrate, asset.bitrate);
}

struct ErrorCase
{
    const char* name;
    QString (*make)();
    const char* reason;  // a phrase the error text must contain
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

QString missingFile()
{
    return TestMedia::cacheDir() + QStringLiteral("/no such file.mp4");
}
QString emptyFile()
{
    const QString path = TestMedia::cacheDir() + QStringLiteral("/empty.mov");
    QFile f(path);
    if (!f.exists() && f.open(QIODevice::WriteOnly))
        f.close();
    return path;
}
QString folder()
{
    return TestMedia::cacheDir();
}

const ErrorCase kErrors[] = {
    {"truncated", TestMedia::truncated, "damaged or incomplete"},
    {"nonMedia", TestMedia::nonMedia, "not a media file"},
    {"subtitlesOnly", TestMedia::subtitlesOnly, "neither video nor audio"},
    {"missing", missingFile, "does not exist"},
    {"empty", emptyFile, "empty"},
    {"folder", folder, "folder"},
};

class ProbeError : public ::testing::TestWithParam<ErrorCase>
{
};

TEST_P(ProbeError, FailsWithAReadableReason)
{
    const ErrorCase& c = GetParam();
    ZKAVURLAsset asset;
    asset.filePath = c.make();
    ASSERT_FALSE(asset.filePath.isEmpty());
    const Loaded r = load(asset);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(asset.isLoaded);
    EXPECT_EQ(r.callbacks, 1);
    ASSERT_TRUE(r.error.has_value());
    EXPECT_TRUE(r.error->contains(QLatin1String(c.reason))) << qPrintable(*r.error);
    EXPECT_EQ(asset.filePath, c.make()) << "the path stays for the caller's report";
}

INSTANTIATE_TEST_SUITE_P(Files, ProbeError, ::testing::ValuesIn(kErrors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Probe, WorksWithoutACallback)
{
    ZKAVURLAsset good;
    good.filePath = TestMedia::audioOnly();
    EXPECT_TRUE(good.loadValuesSynchronously());
    ZKAVURLAsset bad;
    bad.filePath = TestMedia::nonMedia();
    EXPECT_FALSE(bad.loadValuesSynchronously());
}

TEST(Probe, ReloadingAnotherFileLeavesNothingOfTheFirst)
{
    ZKAVURLAsset asset;
    asset.filePath = TestMedia::rotatedPhoneClip();
    ASSERT_TRUE(load(asset).ok);
    ASSERT_EQ(asset.rotation, 90);
    asset.filePath = TestMedia::audioOnly();
    ASSERT_TRUE(load(asset).ok);
    EXPECT_EQ(asset.mediaType, 1);
    EXPECT_EQ(asset.rotation, 0);
    EXPECT_EQ(asset.pixWidth, 0);
    EXPECT_TRUE(asset.videoCodecName.isEmpty());
    EXPECT_EQ(asset.videoTrack(), nullptr);
    asset.filePath = TestMedia::nonMedia();
    EXPECT_FALSE(load(asset).ok);
    EXPECT_TRUE(asset.audioCodecName.isEmpty()) << "a failed load clears the old values";
}

// Names that look like protocols or options are still local files.
TEST(Probe, OddFileNamesAreLocalFiles)
{
    QTemporaryDir dir;
    const QString names[] = {"http:clip.m4a", "-leading dash.m4a", "quote's \"and\" spaces.m4a", "100%.m4a"};
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const QString& name : names) {
        SCOPED_TRACE(qPrintable(name));
        ASSERT_TRUE(QFile::copy(TestMedia::audioOnly(), name));
        ZKAVURLAsset asset;
        asset.filePath = name;  // relative, as typed on a command line
        const Loaded r = load(asset);
        EXPECT_TRUE(r.ok) << (r.error ? qPrintable(*r.error) : "");
        EXPECT_EQ(asset.audioCodecName, "aac");
    }
    QDir::setCurrent(saved);
}

// Different assets may be opened on different threads at the same time.
TEST(Probe, ParallelLoadsGiveTheSameValuesAsSerialOnes)
{
    std::vector<QString> paths;
    for (const ClipCase& c : kClips)
        paths.push_back(c.make());
    std::vector<std::shared_ptr<ZKAVURLAsset>> serial;
    for (const QString& path : paths) {
        serial.push_back(ZKAVURLAsset::assetWithUrl(path));
        ASSERT_TRUE(serial.back()->loadValuesSynchronously()) << qPrintable(path);
    }

    constexpr int kThreads = 4;
    std::vector<std::vector<std::shared_ptr<ZKAVURLAsset>>> results(kThreads);
    for (auto& row : results)
        for (const QString& path : paths)
            row.push_back(ZKAVURLAsset::assetWithUrl(path));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (size_t i = 0; i < paths.size(); ++i)
                results[t][(i + t) % paths.size()]->loadValuesSynchronously();
        });
    }
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t) {
        for (size_t i = 0; i < paths.size(); ++i) {
            const ZKAVURLAsset& a = *results[t][i];
            const ZKAVURLAsset& b = *serial[i];
            SCOPED_TRACE(qPrintable(paths[i]));
            EXPECT_TRUE(a.isLoaded);
            EXPECT_EQ(a.duration, b.duration);
            EXPECT_EQ(a.pixWidth, b.pixWidth);
            EXPECT_EQ(a.display_aspect_ratio, b.display_aspect_ratio);
            EXPECT_EQ(a.videoBitrate, b.videoBitrate);
            EXPECT_EQ(a.audioBitrate, b.audioBitrate);
            EXPECT_EQ(a.metaData, b.metaData);
        }
    }
}

}  // namespace
