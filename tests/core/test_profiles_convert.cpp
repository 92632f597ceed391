// Every profile of the shipped catalogue, applied to a short clip with its
// default settings and converted by the real conversion job, gives a file of
// the expected container and codecs; files of the kinds other tools make
// convert with the expected streams and duration.
#include "Convert/ConvertOperation.h"
#include "Formats/FormatUtils.h"
#include "Media/LSMediaLoader.h"
#include "Media/LSMedia.h"
#include "RAZedIruvIvizor/FFmpeg.h"
#include "support/TestMedia.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ProfileCase {
    std::string group;
    std::string title;
};

void PrintTo(const ProfileCase& c, std::ostream* os)
{
    *os << c.group << " / " << c.title;
}

std::vector<ProfileCase> shippedProfiles()
{
    const FormatUtils& c = FormatUtils::sharedInstance();
    std::vector<ProfileCase> cases;
    const std::pair<const char*, const QVariantList*> groups[]
        = { { "Devices", &c.aryDevices() }, { "Video", &c.aryVideoFmts() }, { "Audio", &c.aryAudioFmts() } };
    for (const auto& [group, list] : groups)
        for (const QVariant& v : *list)
            cases.push_back({ group, v.toMap().value(QLatin1String(FmtTitleKey)).toString().toStdString() });
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<ProfileCase>& info)
{
    std::string name = info.param.group + "_" + std::to_string(info.index) + "_";
    bool lastWasSep = true;
    for (char ch : info.param.title) {
        const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (alnum) {
            name += ch;
            lastWasSep = false;
        } else if (!lastWasSep) {
            name += '_';
            lastWasSep = true;
        }
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

// What ffprobe names the container that ffmpeg writes for an extension.
QString expectedFormatName(const QString& ext)
{
    static const QMap<QString, QString> names {
        { "mp4", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "m4v", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "mov", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "m4a", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "m4r", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "m4b", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "3gp", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "3g2", "mov,mp4,m4a,3gp,3g2,mj2" },
        { "mkv", "matroska,webm" },
        { "webm", "matroska,webm" },
        { "avi", "avi" },
        { "wmv", "asf" },
        { "wma", "asf" },
        { "flv", "flv" },
        { "mpg", "mpeg" },
        { "vob", "mpeg" },
        { "ts", "mpegts" },
        { "m2ts", "mpegts" },
        { "ogv", "ogg" },
        { "ogg", "ogg" },
        { "opus", "ogg" },
        { "mp3", "mp3" },
        { "mp2", "mp3" },
        { "flac", "flac" },
        { "wav", "wav" },
        { "aiff", "aiff" },
        { "ac3", "ac3" },
    };
    return names.value(ext.toLower());
}

QString codecNameOfEncoder(const QString& encoder)
{
    const AVCodec* enc = avcodec_find_encoder_by_name(encoder.toUtf8().constData());
    return enc ? QString::fromUtf8(avcodec_get_name(enc->id)) : QString();
}


// Probes a result: the container, and the codec and frame size of each stream.
struct ProbedOutput {
    QString formatName;
    int videoStreams = 0;
    int audioStreams = 0;
    QString videoCodec;
    QString audioCodec;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    double duration = 0;
    QByteArray raw;
};

ProbedOutput probeOutput(const QString& path)
{
    ProbedOutput out;
    out.raw = TestMedia::ffprobe({ "-v", "error", "-show_entries",
        "format=format_name,duration:stream=codec_type,codec_name,width,height,sample_rate,disposition", "-of",
        "json", path });
    const QJsonObject info = QJsonDocument::fromJson(out.raw).object();
    out.formatName = info.value("format").toObject().value("format_name").toString();
    out.duration = info.value("format").toObject().value("duration").toString().toDouble();
    for (const QJsonValue& v : info.value("streams").toArray()) {
        const QJsonObject s = v.toObject();
        if (s.value("codec_type").toString() == QLatin1String("video")
            && s.value("disposition").toObject().value("attached_pic").toInt() == 0) {
            ++out.videoStreams;
            out.videoCodec = s.value("codec_name").toString();
            out.width = s.value("width").toInt();
            out.height = s.value("height").toInt();
        } else if (s.value("codec_type").toString() == QLatin1String("audio")) {
            ++out.audioStreams;
            out.audioCodec = s.value("codec_name").toString();
            out.sampleRate = s.value("sample_rate").toString().toInt();
        }
    }
    return out;
}

// Runs the real conversion job on the calling thread (it spins this thread's
// event loop while the tool runs) into `dir`; returns the output path.
QString convertWithJob(const std::shared_ptr<LSMedia>& item, const QString& dir)
{
    ConvertOperation job(item);
    job.setOutputFolders(dir, dir);
    job.main();
    EXPECT_EQ(item->cvtState(), CvtStateFinished) << qPrintable(job.lastOutputLines().join('\n'));
    return job.outputPath();
}

// 0.6 s sources: a trim length of 1 s or less converts the whole file.
QString shortVideoSource()
{
    return TestMedia::make(QStringLiteral("profile_source.mp4"),
        { "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=0.6", "-f", "lavfi", "-i",
            "sine=frequency=440:sample_rate=44100:duration=0.6", "-ac", "2", "-c:v", "libx264", "-preset",
            "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest" });
}

QString shortAudioSource()
{
    return TestMedia::make(QStringLiteral("profile_source.m4a"),
        { "-f", "lavfi", "-i", "sine=frequency=523:sample_rate=48000:duration=0.6", "-ac", "2", "-c:a", "aac" });
}

class ProfileConversion : public ::testing::TestWithParam<ProfileCase> { };

TEST_P(ProfileConversion, DefaultSettingsGiveTheExpectedFile)
{
    const QString title = QString::fromStdString(GetParam().title);
    const FormatUtils& catalogue = FormatUtils::sharedInstance();
    const auto profile = catalogue.fmtDictionaryWitName(title);
    ASSERT_TRUE(profile);
    const bool audioProfile = FormatUtils::formatType(*profile) == DestFmtTypeAudio;

    const QString source = audioProfile ? shortAudioSource() : shortVideoSource();
    ASSERT_FALSE(source.isEmpty());
    auto item = LSMedia::mediaWithPath(source);
    QString error;
    ASSERT_TRUE(LSMediaLoader::prepareMedia(*item, &error, false)) << qPrintable(error);
    item->strOutFileName = QStringLiteral("out");
    item->bSampeQuality = false;
    catalogue.fillMedia(item, title);
    ASSERT_EQ(item->strFmtName, title);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString output = convertWithJob(item, dir.path());
    ASSERT_FALSE(output.isEmpty());
    EXPECT_TRUE(output.endsWith(QLatin1Char('.') + item->strOutFileExt)) << qPrintable(output);

    const ProbedOutput probed = probeOutput(output);
    EXPECT_EQ(probed.formatName, expectedFormatName(item->strOutFileExt));
    EXPECT_EQ(probed.videoStreams, audioProfile ? 0 : 1) << probed.raw.constData();
    EXPECT_EQ(probed.audioStreams, 1) << probed.raw.constData();
    if (!audioProfile) {
        EXPECT_EQ(probed.videoCodec, codecNameOfEncoder(item->vOVCodecName));
        EXPECT_EQ(probed.width, item->iOWidth);
        EXPECT_EQ(probed.height, item->iOHeight);
    }
    EXPECT_EQ(probed.audioCodec, codecNameOfEncoder(item->vOACodecName));
    EXPECT_EQ(probed.sampleRate, int(item->dAOSamplerate));
}

// Files of the kinds people bring (a phone recording, an old AVI, MPEG, WebM,
// a TS segment, MP3 with a cover picture), loaded as the application loads
// them and converted by the job with a device, a video and an audio profile.
struct SourceCase {
    const char* name;
    QString (*make)();
    const char* profile;
};

void PrintTo(const SourceCase& c, std::ostream* os)
{
    *os << c.name << " -> " << c.profile;
}

class SourceConversion : public ::testing::TestWithParam<SourceCase> { };

TEST_P(SourceConversion, LoadedFileConvertsWithTheExpectedStreamsAndDuration)
{
    const SourceCase& c = GetParam();
    const QString source = c.make();
    ASSERT_FALSE(source.isEmpty());
    auto item = LSMedia::mediaWithPath(source);
    QString error;
    ASSERT_TRUE(LSMediaLoader::prepareMedia(*item, &error, false)) << qPrintable(error);
    item->strOutFileName = QStringLiteral("result");
    const QString title = QString::fromLatin1(c.profile);
    FormatUtils::sharedInstance().fillMedia(item, title);
    const bool audioOutput = item->eumDestFmtType == DestFmtTypeAudio || item->isAudioOnly();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString output = convertWithJob(item, dir.path());
    const ProbedOutput probed = probeOutput(output);
    EXPECT_EQ(probed.formatName, expectedFormatName(item->strOutFileExt));
    EXPECT_EQ(probed.videoStreams, audioOutput ? 0 : 1) << probed.raw.constData();
    EXPECT_EQ(probed.audioStreams, 1) << probed.raw.constData();
    if (!audioOutput) {
        EXPECT_EQ(probed.width, item->iOWidth);
        EXPECT_EQ(probed.height, item->iOHeight);
    }
    EXPECT_NEAR(probed.duration, item->duration, 0.25) << probed.raw.constData();
}

const SourceCase kSources[] = {
    { "phone", &TestMedia::rotatedPhoneClip, "new iPhone" },
    { "phone", &TestMedia::rotatedPhoneClip, "MKV Matroska Video (mkv)" },
    { "avi", &TestMedia::aviClip, "new iPhone" },
    { "avi", &TestMedia::aviClip, "MP3 Audio (mp3)" },
    { "mpeg", &TestMedia::anamorphic, "new iPhone" },
    { "mpeg", &TestMedia::anamorphic, "FLV Flash Video (flv)" },
    { "webm", &TestMedia::webmClip, "MP4 H.264 Video (mp4)" },
    { "webm", &TestMedia::webmClip, "AAC Audio (m4a)" },
    { "ts", &TestMedia::mpegTsClip, "new iPhone" },
    { "ts", &TestMedia::mpegTsClip, "AVI Xvid Video (avi)" },
    { "mp3cover", &TestMedia::audioWithCover, "AAC Audio (m4a)" },
    { "mp3cover", &TestMedia::audioWithCover, "FLAC Lossless Audio (flac)" },
};

INSTANTIATE_TEST_SUITE_P(Sources, SourceConversion, ::testing::ValuesIn(kSources),
    [](const ::testing::TestParamInfo<SourceCase>& info) {
        return std::string(info.param.name) + "_" + std::to_string(info.index);
    });

INSTANTIATE_TEST_SUITE_P(Catalogue, ProfileConversion, ::testing::ValuesIn(shippedProfiles()), caseName);

} // namespace
