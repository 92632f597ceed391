// Every profile of the shipped catalogue, applied to a short clip with its
// default settings, gives a file of the expected container and codecs when
// ffmpeg is run with the options the conversion job builds from the item.
#include "Formats/FormatUtils.h"
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

QString f2(double v)
{
    return QString::asprintf("%0.2f", v);
}

class ProfileConversion : public ::testing::TestWithParam<ProfileCase> { };

TEST_P(ProfileConversion, DefaultSettingsGiveTheExpectedFile)
{
    const QString title = QString::fromStdString(GetParam().title);
    const FormatUtils& catalogue = FormatUtils::sharedInstance();
    const auto profile = catalogue.fmtDictionaryWitName(title);
    ASSERT_TRUE(profile);
    const bool audioProfile = FormatUtils::formatType(*profile) == DestFmtTypeAudio;

    const QString source = audioProfile ? TestMedia::audioOnly() : TestMedia::videoWithAudio();
    ASSERT_FALSE(source.isEmpty());
    auto item = std::make_shared<LSMedia>();
    item->filePath = source;
    item->mediaType = audioProfile ? 1 : 0;
    item->bSampeQuality = false;
    catalogue.fillMedia(item, title);
    ASSERT_EQ(item->strFmtName, title);

    // The options of the conversion job, in its order and number formats.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString output = dir.filePath(QStringLiteral("out.") + item->strOutFileExt);
    QStringList args { "-hide_banner", "-nostdin", "-v", "error", "-t", "0.5", "-i", item->filePath };
    if (item->eumDestFmtType == DestFmtTypeAudio) {
        args << "-vn";
    } else {
        args << "-vcodec" << item->vOVCodecName;
        if (item->vOVCodecName == QLatin1String("libx264"))
            args << "-g"
                 << "15";
        args << "-b:v" << f2(item->dVOBitrate) + QLatin1Char('k') << "-s" << item->strOResolution << "-r"
             << f2(item->vOFps);
    }
    args << "-acodec" << item->vOACodecName << "-ar" << f2(item->dAOSamplerate) << "-b:a"
         << f2(item->dAOBitrate) + QLatin1Char('k') << "-ac"
         << "2";
    const QString muxer = FormatUtils::outputMuxerForExtension(item->strOutFileExt);
    if (!muxer.isEmpty())
        args << "-f" << muxer;
    args << "-y" << output;

    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(TestMedia::ffmpegPath(), args);
    ASSERT_TRUE(ffmpeg.waitForFinished(240000));
    ASSERT_EQ(ffmpeg.exitCode(), 0) << qPrintable(args.join(' ')) << "\n" << ffmpeg.readAll().constData();

    const QByteArray probe = TestMedia::ffprobe({ "-v", "error", "-show_entries",
        "format=format_name:stream=codec_type,codec_name,width,height,sample_rate", "-of", "json", output });
    const QJsonObject info = QJsonDocument::fromJson(probe).object();
    EXPECT_EQ(info.value("format").toObject().value("format_name").toString(), expectedFormatName(item->strOutFileExt));

    int videoStreams = 0;
    int audioStreams = 0;
    for (const QJsonValue& v : info.value("streams").toArray()) {
        const QJsonObject s = v.toObject();
        if (s.value("codec_type").toString() == QLatin1String("video")) {
            ++videoStreams;
            EXPECT_EQ(s.value("codec_name").toString(), codecNameOfEncoder(item->vOVCodecName));
            EXPECT_EQ(s.value("width").toInt(), item->iOWidth);
            EXPECT_EQ(s.value("height").toInt(), item->iOHeight);
        } else if (s.value("codec_type").toString() == QLatin1String("audio")) {
            ++audioStreams;
            EXPECT_EQ(s.value("codec_name").toString(), codecNameOfEncoder(item->vOACodecName));
            EXPECT_EQ(s.value("sample_rate").toString().toInt(), int(item->dAOSamplerate));
        }
    }
    EXPECT_EQ(videoStreams, audioProfile ? 0 : 1) << probe.constData();
    EXPECT_EQ(audioStreams, 1) << probe.constData();
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ProfileConversion, ::testing::ValuesIn(shippedProfiles()), caseName);

} // namespace
