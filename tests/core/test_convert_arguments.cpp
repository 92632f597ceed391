// The conversion job's output path and ffmpeg argument list.
#include "Convert/ConvertOperation.h"
#include "Media/LSMedia.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// A 1920x1080 16:9 video item with the example profile: H.264 1500 kbit/s
// 1280*720 at 29.97 frames/s, AAC 128 kbit/s 44100 Hz, loaded as the loader
// leaves it (trim range = the whole 60 s file).
std::shared_ptr<LSMedia> exampleItem()
{
    auto m = std::make_shared<LSMedia>();
    m->filePath = QStringLiteral("/media/in/clip.mov");
    m->mediaType = 0;
    m->duration = 60;
    m->startTime = 0;
    m->pixWidth = 1920;
    m->pixHeight = 1080;
    m->display_aspect_ratio = { 16, 9 };
    m->videoBitrate = 8000000;
    m->strOutFileName = QStringLiteral("clip");
    m->strOutFileExt = QStringLiteral("mp4");
    m->eumDestFmtType = DestFmtTypeVideo;
    m->vOVCodecName = QStringLiteral("libx264");
    m->dVOBitrate = 1500;
    m->iOWidth = 1280;
    m->iOHeight = 720;
    m->strOResolution = QStringLiteral("1280*720");
    m->vOFps = 29.97;
    m->vOACodecName = QStringLiteral("aac");
    m->dAOBitrate = 128;
    m->dAOSamplerate = 44100;
    m->dTrimStart = 0;
    m->dTrimLength = 60;
    m->dSplitLength = 60;
    return m;
}

class ConvertArguments : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_video = m_dir.filePath(QStringLiteral("video"));
        m_audio = m_dir.filePath(QStringLiteral("audio"));
        QDir().mkpath(m_video);
        QDir().mkpath(m_audio);
    }

    QStringList build(const std::shared_ptr<LSMedia>& m, ConvertOperation** keep = nullptr)
    {
        m_op = std::make_unique<ConvertOperation>(m);
        m_op->setOutputFolders(m_video, m_audio);
        const QStringList args = m_op->buildArguments();
        if (!m_op->wmResultImagePath.isEmpty())
            m_overlays << m_op->wmResultImagePath;
        if (keep)
            *keep = m_op.get();
        return args;
    }

    void TearDown() override
    {
        for (const QString& p : m_overlays)
            QFile::remove(p);
    }

    static QString valueAfter(const QStringList& args, const QString& option)
    {
        const qsizetype i = args.indexOf(option);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
    }

    QTemporaryDir m_dir;
    QString m_video;
    QString m_audio;
    std::unique_ptr<ConvertOperation> m_op;
    QStringList m_overlays;
};

TEST_F(ConvertArguments, TrimExampleGivesTheExactList)
{
    auto m = exampleItem();
    m->dTrimStart = 10;
    m->dTrimLength = 30;
    const QStringList expected
        = { GlobalFun::getFFMpegPath(), "-ss", "10.0000", "-t", "30.0000", "-i", "/media/in/clip.mov", "-vcodec",
              "libx264", "-g", "15", "-b:v", "1500.00k", "-s", "1280*720", "-r", "29.97", "-aspect", "16:9", "-acodec",
              "aac", "-ar", "44100.00", "-b:a", "128.00k", "-ac", "2", "-y", m_video + "/clip.mp4" };
    EXPECT_EQ(build(m), expected);
}

TEST_F(ConvertArguments, TrimOptionsFollowTheLengthAndTheFirstTimeStamp)
{
    struct Case {
        const char* name;
        double startTime, trimStart, trimLength;
        QStringList expectedTrim; // empty: no "-ss"/"-t"
    };
    const Case cases[] = {
        { "never trimmed: whole file", 0, 0, 60, { "-ss", "0.0000", "-t", "60.0000" } },
        { "length exactly one second", 0, 5, 1.0, {} },
        { "length below one second", 0, 5, 0.5, {} },
        { "just over one second", 0, 5, 1.0001, { "-ss", "5.0000", "-t", "1.0001" } },
        { "first time stamp subtracted", 1.4, 11.4, 30, { "-ss", "10.0000", "-t", "30.0000" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = exampleItem();
        m->startTime = c.startTime;
        m->dTrimStart = c.trimStart;
        m->dTrimLength = c.trimLength;
        const QStringList args = build(m);
        const qsizetype input = args.indexOf("-i");
        ASSERT_GT(input, 0);
        EXPECT_EQ(args.mid(1, input - 1), c.expectedTrim);
        EXPECT_EQ(args.last(), m_video + "/clip.mp4");
        EXPECT_EQ(args.at(args.size() - 2), "-y");
    }
}

TEST_F(ConvertArguments, OutputSizeFitsTheAspectRatio)
{
    struct Case {
        const char* name;
        int pixW, pixH;
        ZKAVRational dar;
        int aspectOption;
        int outW, outH;
        QString expectedSize, expectedAspect;
    };
    const Case cases[] = {
        { "640*480 at 16:9 keeps the height", 1920, 1080, { 16, 9 }, AspectOptionSource, 640, 480, "852*480", "16:9" },
        { "720*576 at 16:9 keeps the width, made even", 720, 576, { 16, 9 }, AspectOption16x9, 720, 576, "720*404",
            "16:9" },
        { "1280*720 already fits 16:9", 1920, 1080, { 16, 9 }, AspectOption16x9, 1280, 720, "1280*720", "16:9" },
        { "4:3 option keeps the width", 1920, 1080, { 16, 9 }, AspectOption4x3, 1280, 720, "1280*960", "4:3" },
        { "output-size option keeps the size", 1920, 1080, { 16, 9 }, AspectOptionOutputSize, 640, 480, "640*480",
            "640:480" },
        { "other option: pixel proportions", 1440, 1080, { 16, 9 }, 7, 1280, 720, "1280*960", "1440:1080" },
        { "no display ratio: pixel proportions", 1920, 1080, { 0, 0 }, AspectOptionSource, 640, 480, "852*480",
            "1920:1080" },
        { "ratio with zero denominator", 1920, 1080, { 16, 0 }, AspectOptionSource, 640, 480, "852*480", "1920:1080" },
        { "ratio with zero numerator", 640, 480, { 0, 1 }, AspectOptionSource, 1280, 720, "960*720", "640:480" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = exampleItem();
        m->pixWidth = c.pixW;
        m->pixHeight = c.pixH;
        m->display_aspect_ratio = c.dar;
        m->aspectOption = c.aspectOption;
        m->iOWidth = c.outW;
        m->iOHeight = c.outH;
        m->strOResolution = QStringLiteral("%1*%2").arg(c.outW).arg(c.outH);
        const QStringList args = build(m);
        EXPECT_EQ(valueAfter(args, "-s"), c.expectedSize);
        EXPECT_EQ(valueAfter(args, "-aspect"), c.expectedAspect);
        EXPECT_EQ(QStringLiteral("%1*%2").arg(m->iOWidth).arg(m->iOHeight), c.expectedSize);
    }
}

TEST_F(ConvertArguments, AdjustmentIsSkippedForAnUnusableRatio)
{
    auto m = exampleItem();
    m->iOWidth = 640;
    m->iOHeight = 480;
    m->strOResolution = "640*480";
    ConvertOperation op(m);
    for (ZKAVRational r :
        { ZKAVRational { 0, 0 }, ZKAVRational { 16, 0 }, ZKAVRational { 0, 9 }, ZKAVRational { -16, 9 } }) {
        op.adjustOuputResolution(r);
        EXPECT_EQ(m->strOResolution, "640*480");
        EXPECT_EQ(m->iOWidth, 640);
        EXPECT_EQ(m->iOHeight, 480);
    }
}

TEST_F(ConvertArguments, FixedSizeEncodersKeepTheProfileSize)
{
    // H.263 takes only its standard sizes; fitting 176*144 to 16:9 would make
    // the encoder refuse to start.
    for (const char* encoder : { "h263", "h261" }) {
        auto m = exampleItem();
        m->vOVCodecName = QString::fromLatin1(encoder);
        m->iOWidth = 176;
        m->iOHeight = 144;
        m->strOResolution = "176*144";
        const QStringList args = build(m);
        EXPECT_EQ(valueAfter(args, "-s"), "176*144") << encoder;
        EXPECT_EQ(valueAfter(args, "-aspect"), "16:9") << encoder;
    }
}

TEST_F(ConvertArguments, OnlyLibx264GetsTheKeyFrameInterval)
{
    for (const char* codec : { "libx264", "libx265", "mpeg4", "libx264rgb", "LIBX264" }) {
        SCOPED_TRACE(codec);
        auto m = exampleItem();
        m->vOVCodecName = codec;
        const QStringList args = build(m);
        EXPECT_EQ(valueAfter(args, "-vcodec"), codec);
        if (QString(codec) == "libx264") {
            EXPECT_EQ(valueAfter(args, "-vcodec"), "libx264");
            EXPECT_EQ(args.at(args.indexOf("-vcodec") + 2), "-g");
            EXPECT_EQ(valueAfter(args, "-g"), "15");
        } else {
            EXPECT_FALSE(args.contains("-g"));
        }
    }
}

TEST_F(ConvertArguments, AudioOutputHasNoVideoOptionsAndGoesToTheAudioFolder)
{
    const QStringList videoOptions = { "-vcodec", "-g", "-b:v", "-s", "-r", "-aspect", "-vf" };
    struct Case {
        const char* name;
        int mediaType, destType;
        QString ext, expectedFolderKey;
    };
    const Case cases[] = {
        { "audio profile for a video file", 0, DestFmtTypeAudio, "m4a", "audio" },
        { "audio profile for an audio file", 1, DestFmtTypeAudio, "mp3", "audio" },
        // The user picked that container: its extension and the video folder stay.
        { "video profile for an audio file", 1, DestFmtTypeVideo, "mp4", "video" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = exampleItem();
        m->mediaType = c.mediaType;
        m->eumDestFmtType = c.destType;
        m->strOutFileExt = c.ext;
        m->rcCroped = QRectF(0, 0, 100, 100); // no crop either
        const QStringList args = build(m);
        for (const QString& opt : videoOptions)
            EXPECT_FALSE(args.contains(opt)) << opt.toStdString();
        const qsizetype vn = args.indexOf("-vn");
        ASSERT_GT(vn, 0);
        EXPECT_EQ(args.at(vn - 1), "/media/in/clip.mov");
        EXPECT_EQ(args.mid(vn + 1),
            (QStringList { "-acodec", "aac", "-ar", "44100.00", "-b:a", "128.00k", "-ac", "2", "-y",
                (c.expectedFolderKey == "audio" ? m_audio : m_video) + "/clip." + c.ext }));
    }
}

TEST_F(ConvertArguments, AnExtensionThatIsNoContainerNamesTheMuxer)
{
    struct Case {
        QString ext;
        QStringList beforeOutput;
    };
    const Case cases[] = {
        { "m4r", { "-ac", "2", "-f", "ipod", "-y" } },
        { "m4a", { "-ac", "2", "-y" } },
        { "mp3", { "-ac", "2", "-y" } },
    };
    for (const Case& c : cases) {
        auto m = exampleItem();
        m->eumDestFmtType = DestFmtTypeAudio;
        m->strOutFileExt = c.ext;
        const QStringList args = build(m);
        EXPECT_EQ(args.mid(args.size() - 1 - c.beforeOutput.size(), c.beforeOutput.size()), c.beforeOutput);
        EXPECT_EQ(args.last(), m_audio + "/clip." + c.ext);
    }
}

TEST_F(ConvertArguments, ATakenNameGetsANumberBeforeTheExtension)
{
    QFile(m_video + "/clip.mp4").open(QIODevice::WriteOnly);
    auto m = exampleItem();
    EXPECT_EQ(build(m).last(), m_video + "/clip(1).mp4");
    QFile(m_video + "/clip(1).mp4").open(QIODevice::WriteOnly);
    EXPECT_EQ(build(m).last(), m_video + "/clip(2).mp4");
}

TEST_F(ConvertArguments, OutputNamesStayInsideTheirFolder)
{
    struct Case {
        QString name, expected;
    };
    const Case cases[] = {
        { "clip", "clip" },
        { "../../etc/passwd", "___.._etc_passwd" },
        { "..", "__" },
        { ".hidden", "_hidden" },
        { "a/b", "a_b" },
        { QString("line\nbreak"), "line_break" },
        { QString("nul") + QChar(0) + "x", "nul_x" },
        { "", "untitled" },
        { "spaces and 'quotes'", "spaces and 'quotes'" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(ConvertOperation::sanitizedFileName(c.name), c.expected);
        auto m = exampleItem();
        m->strOutFileName = c.name;
        const QString out = build(m).last();
        EXPECT_EQ(QFileInfo(out).absolutePath(), m_video);
    }
}

TEST_F(ConvertArguments, InputAndOutputAreAbsolutePaths)
{
    // A name beginning with "-" is not taken for an option, nor "a:b" for a protocol.
    for (const char* name : { "-x.mp4", "a:b.mp4", "sub/-y.mov" }) {
        SCOPED_TRACE(name);
        auto m = exampleItem();
        m->filePath = name;
        const QStringList args = build(m);
        EXPECT_EQ(valueAfter(args, "-i"), QDir::current().absoluteFilePath(name));
        EXPECT_TRUE(valueAfter(args, "-i").startsWith('/'));
        EXPECT_TRUE(args.last().startsWith('/'));
    }
}

TEST_F(ConvertArguments, CropIsGivenInSourcePixels)
{
    struct Case {
        const char* name;
        QRectF crop;
        QString expected;
    };
    const Case cases[] = {
        { "inner rectangle", QRectF(100, 50, 960, 540), "crop=960:540:100:50" },
        { "fractions rounded", QRectF(10.4, 20.6, 640.4, 359.6), "crop=640:360:10:21" },
        { "whole frame", QRectF(0, 0, 1920, 1080), "crop=1920:1080:0:0" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = exampleItem();
        m->rcCroped = c.crop;
        m->iOWidth = 640; // output size differs from the source
        m->iOHeight = 360;
        m->strOResolution = "640*360";
        const QStringList args = build(m);
        EXPECT_EQ(valueAfter(args, "-vf"), c.expected);
        EXPECT_EQ(args.indexOf("-vf"), args.indexOf("-aspect") + 2);
    }
    auto m = exampleItem();
    ConvertOperation op(m);
    EXPECT_FALSE(op.getMediaCropString().has_value());
    m->rcCroped = QRectF(10, 10, 0, 0);
    EXPECT_FALSE(op.getMediaCropString().has_value());
}

TEST_F(ConvertArguments, AspectOfACropFollowsTheCropAndThePixelShape)
{
    struct Case {
        const char* name;
        int pixW, pixH;
        ZKAVRational dar;
        int option;
        QRectF crop;
        ZKAVRational expected;
    };
    const Case cases[] = {
        { "square pixels, source option", 1920, 1080, { 16, 9 }, AspectOptionSource, QRectF(0, 0, 1080, 1080),
            { 1, 1 } },
        { "anamorphic half frame", 720, 576, { 16, 9 }, AspectOptionSource, QRectF(0, 0, 360, 576), { 8, 9 } },
        { "output-size option uses the crop", 1920, 1080, { 16, 9 }, AspectOptionOutputSize, QRectF(0, 0, 800, 600),
            { 800, 600 } },
        { "fixed option wins", 1920, 1080, { 16, 9 }, AspectOption4x3, QRectF(0, 0, 800, 800), { 4, 3 } },
        { "no ratio: crop proportions", 1920, 1080, { 0, 0 }, AspectOptionSource, QRectF(0, 0, 800.7, 600.2),
            { 800, 600 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = exampleItem();
        m->pixWidth = c.pixW;
        m->pixHeight = c.pixH;
        m->display_aspect_ratio = c.dar;
        m->aspectOption = c.option;
        m->rcCroped = c.crop;
        ConvertOperation op(m);
        EXPECT_EQ(op.getOutputAspect(), c.expected);
    }
}

TEST_F(ConvertArguments, WatermarkFilterWithAndWithoutCrop)
{
    struct Case {
        const char* name;
        QRectF crop;
        QString tail;
    };
    const Case cases[] = {
        { "watermark only", QRectF(), " [out]" },
        { "watermark and crop", QRectF(100, 50, 960, 540), ",crop=960:540:100:50 [out]" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = exampleItem();
        m->waterMarkType = WaterMarkTypeText;
        m->waterMartText = "Trelvio";
        m->rcCroped = c.crop;
        ConvertOperation* op = nullptr;
        const QStringList args = build(m, &op);
        ASSERT_FALSE(op->wmResultImagePath.isEmpty());
        EXPECT_TRUE(
            QFileInfo(op->wmResultImagePath).fileName().contains(QRegularExpression("^resultWaterMark\\d+\\.png$")));
        EXPECT_EQ(args.count("-vf"), 1);
        const QString expected = "movie=" + ConvertOperation::escapeFilterPath(op->wmResultImagePath)
            + " [watermark]; [in][watermark] overlay=0:0" + c.tail;
        EXPECT_EQ(valueAfter(args, "-vf"), expected);
        // The overlay picture is written, with the frame's pixel size.
        const QImage overlay(op->wmResultImagePath);
        EXPECT_EQ(overlay.size(), QSize(1920, 1080));
    }
}

TEST_F(ConvertArguments, EveryWatermarkPictureHasItsOwnName)
{
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        auto m = exampleItem();
        m->waterMarkType = WaterMarkTypeText;
        m->waterMartText = "x";
        ConvertOperation* op = nullptr;
        build(m, &op);
        names << op->wmResultImagePath;
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 3);
}

TEST_F(ConvertArguments, NoWatermarkMeansNoOverlayWhateverTheCache)
{
    auto m = exampleItem();
    m->resultWaterMarkImg = QImage(1920, 1080, QImage::Format_ARGB32);
    m->waterMartText.clear();
    ConvertOperation* op = nullptr;
    const QStringList args = build(m, &op);
    EXPECT_FALSE(args.contains("-vf"));
    EXPECT_TRUE(op->wmResultImagePath.isEmpty());
}

TEST(ConvertFilterEscaping, EscapesBothLevels)
{
    struct Case {
        QString path, expected;
    };
    const Case cases[] = {
        { "/tmp/a.png", "/tmp/a.png" },
        { "/tmp/a:b.png", "/tmp/a\\\\:b.png" },
        { "/tmp/a,b.png", "/tmp/a\\,b.png" },
        { "/tmp/a b.png", "/tmp/a\\\\\\ b.png" },
        { "/tmp/it's.png", "/tmp/it\\\\\\'s.png" },
        { "/tmp/[x];y.png", "/tmp/\\[x\\]\\;y.png" },
        { "/tmp/a=b.png", "/tmp/a\\\\=b.png" },
        { "/tmp/back\\slash.png", "/tmp/back\\\\\\\\slash.png" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertOperation::escapeFilterPath(c.path), c.expected) << c.path.toStdString();
}

TEST(ConvertFilterEscaping, FfmpegOpensTheOverlayAtAnAwkwardPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("we'ird [dir], x;y=z: a\\b");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString png = folder + "/resultWaterMark1.png";
    QImage overlay(64, 48, QImage::Format_ARGB32);
    overlay.fill(Qt::transparent);
    ASSERT_TRUE(overlay.save(png));

    const QString filter = "movie=" + ConvertOperation::escapeFilterPath(png)
        + " [watermark]; [in][watermark] overlay=0:0,crop=32:24:0:0 [out]";
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(TestMedia::ffmpegPath(),
        { "-v", "error", "-f", "lavfi", "-i", "color=c=red:s=64x48:d=0.2", "-vf", filter, "-frames:v", "1", "-f",
            "null", "-" });
    ASSERT_TRUE(ffmpeg.waitForFinished(30000));
    EXPECT_EQ(ffmpeg.exitCode(), 0) << ffmpeg.readAll().toStdString();
}

} // namespace
