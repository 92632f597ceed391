// The format catalogue: reading the resource, finding and applying profiles,
// and the invariants the shipped catalogue must meet.
#include "Formats/FormatUtils.h"
#include "Media/LSMedia.h"
#include "RAZedIruvIvizor/FFmpeg.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <thread>
#include <vector>

namespace {

QString xmlEscape(const QString& s)
{
    return s.toHtmlEscaped();
}

QString choiceXml(const char* key, const QString& values, const QString& def)
{
    return QStringLiteral("<key>%1</key><dict><key>values</key><string>%2</string>"
                          "<key>default</key><string>%3</string></dict>")
        .arg(QLatin1String(key), xmlEscape(values), xmlEscape(def));
}

struct TestProfile {
    QString title;
    QString ext = QStringLiteral("mp4");
    QString formattype = QStringLiteral("<integer>3</integer>");
    QString image = QStringLiteral("formats/film-mp4");
    QString vcodec = QStringLiteral("H.264");
    QString vbitrate = QStringLiteral("1500");
    QString framerate = QStringLiteral("25");
    QString resolution = QStringLiteral("1280*720");
    QString acodec = QStringLiteral("AAC");
    QString abitrate = QStringLiteral("128");
    QString samplerate = QStringLiteral("44100");
    bool videoKeys = true;

    QString xml() const
    {
        QString s = QStringLiteral("<dict><key>title</key><string>%1</string><key>ext</key><string>%2</string>"
                                   "<key>image</key><string>%3</string><key>formattype</key>%4")
                        .arg(xmlEscape(title), xmlEscape(ext), xmlEscape(image), formattype);
        if (videoKeys) {
            s += choiceXml(FmtVCodecKey, vcodec, vcodec) + choiceXml(FmtVBitrateKey, vbitrate, vbitrate)
                + choiceXml(FmtFrameRateKey, framerate, framerate)
                + choiceXml(FmtResolutionKey, resolution, resolution);
        }
        s += choiceXml(FmtACodecKey, acodec, acodec) + choiceXml(FmtABitrateKey, abitrate, abitrate)
            + choiceXml(FmtSampleRateKey, samplerate, samplerate);
        return s + QStringLiteral("</dict>");
    }
};

QString arrayXml(const std::vector<TestProfile>& profiles)
{
    QString s = QStringLiteral("<array>");
    for (const TestProfile& p : profiles)
        s += p.xml();
    return s + QStringLiteral("</array>");
}

const char* const kPlistHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">";

// A catalogue file in a private folder, built from profile lists.
class CatalogueFile {
public:
    CatalogueFile(const std::vector<TestProfile>& devices, const std::vector<TestProfile>& formats,
        const std::vector<TestProfile>& audios, const QString& codecMapXml = QString(),
        const QString& extraRootXml = QString())
    {
        QString codecs = codecMapXml;
        if (codecs.isNull())
            codecs = QStringLiteral("<key>H.264</key><string>libx264</string><key>AAC</key><string>aac</string>");
        write(QLatin1String(kPlistHead) + QStringLiteral("<dict><key>Devices</key>") + arrayXml(devices)
            + QStringLiteral("<key>Formats</key>") + arrayXml(formats) + QStringLiteral("<key>Audios</key>")
            + arrayXml(audios) + QStringLiteral("<key>codecMap</key><dict>") + codecs + QStringLiteral("</dict>")
            + extraRootXml + QStringLiteral("</dict></plist>"));
    }
    explicit CatalogueFile(const QByteArray& raw) { writeRaw(raw); }

    QString path() const { return m_dir.filePath(QStringLiteral("Formats.plist")); }

private:
    void write(const QString& text) { writeRaw(text.toUtf8()); }
    void writeRaw(const QByteArray& bytes)
    {
        QFile f(path());
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    QTemporaryDir m_dir;
};

TestProfile profile(const QString& title, const QString& ext = QStringLiteral("mp4"))
{
    TestProfile p;
    p.title = title;
    p.ext = ext;
    return p;
}

TestProfile audioProfile(const QString& title, const QString& ext = QStringLiteral("m4a"))
{
    TestProfile p = profile(title, ext);
    p.formattype = QStringLiteral("<integer>4</integer>");
    p.image = QStringLiteral("formats/audio-aac");
    p.videoKeys = false;
    return p;
}

std::shared_ptr<LSMedia> newItem()
{
    auto m = std::make_shared<LSMedia>();
    m->mediaType = 0;
    m->videoBitrate = 2345678; // bits per second, as the engine reports it
    return m;
}

const FormatUtils& catalogue()
{
    return FormatUtils::sharedInstance();
}

QList<QVariantMap> allProfiles(const FormatUtils& c)
{
    QList<QVariantMap> all;
    for (const QVariantList* list : { &c.aryDevices(), &c.aryVideoFmts(), &c.aryAudioFmts() })
        for (const QVariant& v : *list)
            all.append(v.toMap());
    return all;
}

QString titleOf(const QVariantMap& p)
{
    return p.value(QLatin1String(FmtTitleKey)).toString();
}

} // namespace

// ---------------------------------------------------------------------------
// Lenient numbers

TEST(LenientNumber, DoubleTakesTheLongestNumericPrefix)
{
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        { "1500", 1500 },
        { "  29.97", 29.97 },
        { "\t\n44100Hz", 44100 },
        { "128k", 128 },
        { "-2.5", -2.5 },
        { "+7", 7 },
        { "12.", 12 },
        { ".5", 0.5 },
        { "1e3", 1000 },
        { "1.5E-1x", 0.15 },
        { "2e", 2 },
        { "3e+", 3 },
        { "1280*720", 1280 },
        { "1,5", 1 },
        { "", 0 },
        { "   ", 0 },
        { "abc", 0 },
        { "-", 0 },
        { ".", 0 },
        { "x12", 0 },
        { " - 3", 0 },
        { "0720", 720 },
        { "1 000", 1 },
        { "1e999", 0 },
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(FormatUtils::lenientDouble(QString::fromUtf8(c.text)), c.expected)
            << "text: '" << c.text << "'";
}

TEST(LenientNumber, IntTakesSignAndDigitsAndClamps)
{
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        { "720", 720 },
        { "  1280 ", 1280 },
        { "0720", 720 },
        { "12.9", 12 },
        { "-7", -7 },
        { "+4", 4 },
        { "1e3", 1 },
        { "*480", 0 },
        { "", 0 },
        { "abc", 0 },
        { "99999999999", INT_MAX },
        { "-99999999999", INT_MIN },
        { "2147483647", INT_MAX },
        { "-2147483648", INT_MIN },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatUtils::lenientInt(QString::fromUtf8(c.text)), c.expected) << "text: '" << c.text << "'";
}

TEST(LenientNumber, CatalogueValuesMayBeNumbersOrTexts)
{
    EXPECT_EQ(FormatUtils::intValue(QVariant(qint64(4))), 4);
    EXPECT_EQ(FormatUtils::intValue(QVariant(QStringLiteral(" 4 "))), 4);
    EXPECT_EQ(FormatUtils::intValue(QVariant(2.9)), 2);
    EXPECT_EQ(FormatUtils::intValue(QVariant()), 0);
    EXPECT_DOUBLE_EQ(FormatUtils::doubleValue(QVariant(QStringLiteral("29.97fps"))), 29.97);
    EXPECT_DOUBLE_EQ(FormatUtils::doubleValue(QVariant(qint64(48000))), 48000.0);
}

// ---------------------------------------------------------------------------
// Reading the resource and finding profiles

TEST(FormatUtils, MissingOrUnreadableResourceGivesAnEmptyCatalogue)
{
    CatalogueFile garbage(QByteArray("this is not a property list"));
    CatalogueFile arrayRoot(QByteArray(kPlistHead) + "<array><string>Devices</string></array></plist>");
    CatalogueFile empty(QByteArray {});
    for (const QString& path : { QStringLiteral("/nonexistent/Formats.plist"), garbage.path(), arrayRoot.path(),
             empty.path(), QStringLiteral(":/no-such-resource.plist") }) {
        FormatUtils c(path);
        EXPECT_TRUE(c.aryDevices().isEmpty()) << qPrintable(path);
        EXPECT_TRUE(c.aryVideoFmts().isEmpty()) << qPrintable(path);
        EXPECT_TRUE(c.aryAudioFmts().isEmpty()) << qPrintable(path);
        EXPECT_TRUE(c.dicCodecMap().isEmpty()) << qPrintable(path);
        EXPECT_FALSE(c.fmtDictionaryWitName(QStringLiteral("new iPhone"))) << qPrintable(path);

        // Applying a profile from it behaves as for an unknown title.
        auto m = newItem();
        m->bSampeQuality = false;
        c.fillMedia(m.get(), QStringLiteral("new iPhone"));
        EXPECT_EQ(m->strFmtName, QStringLiteral("new iPhone"));
        EXPECT_TRUE(m->strOutFileExt.isEmpty());
        EXPECT_EQ(m->dVOBitrate, 0.0);
    }
}

TEST(FormatUtils, AbsentRootKeysGiveEmptyListsAndOtherEntriesAreIgnored)
{
    CatalogueFile file(QByteArray(kPlistHead)
        + "<dict><key>Formats</key><array><dict><key>title</key><string>Only</string></dict>"
          "<string>not a profile</string></array><key>Unrelated</key><integer>1</integer>"
          "<key>codecMap</key><dict><key>H.264</key><string>libx264</string>"
          "<key>Odd</key><integer>3</integer></dict></dict></plist>");
    FormatUtils c(file.path());
    EXPECT_TRUE(c.aryDevices().isEmpty());
    EXPECT_TRUE(c.aryAudioFmts().isEmpty());
    ASSERT_EQ(c.aryVideoFmts().size(), 1) << "a non-dictionary entry is not a profile";
    EXPECT_EQ(titleOf(c.aryVideoFmts().first().toMap()), QStringLiteral("Only"));
    EXPECT_EQ(c.dicCodecMap(), (QMap<QString, QString> { { QStringLiteral("H.264"), QStringLiteral("libx264") } }));
}

TEST(FormatUtils, ListsKeepTheResourceOrder)
{
    CatalogueFile file({ profile("Zeta"), profile("Alpha"), profile("Mid") }, {}, {});
    FormatUtils c(file.path());
    QStringList titles;
    for (const QVariant& v : c.aryDevices())
        titles << titleOf(v.toMap());
    EXPECT_EQ(titles, (QStringList { "Zeta", "Alpha", "Mid" }));
}

TEST(FormatUtils, DuplicatedTitleIsFoundInFormatsThenDevicesThenAudios)
{
    CatalogueFile file({ profile("Dup", "dev"), profile("DevAud", "dev") }, { profile("Dup", "fmt") },
        { audioProfile("Dup", "aud"), audioProfile("DevAud", "aud"), audioProfile("Aud", "aud") });
    FormatUtils c(file.path());
    const struct {
        const char* title;
        const char* ext;
    } cases[] = { { "Dup", "fmt" }, { "DevAud", "dev" }, { "Aud", "aud" } };
    for (const auto& t : cases) {
        const auto found = c.fmtDictionaryWitName(QString::fromUtf8(t.title));
        ASSERT_TRUE(found) << t.title;
        EXPECT_EQ(found->value(QLatin1String(FmtExtKey)).toString(), QString::fromUtf8(t.ext)) << t.title;
    }
}

TEST(FormatUtils, TitleLookupIsExactAndCaseSensitive)
{
    const FormatUtils& c = catalogue();
    EXPECT_TRUE(c.fmtDictionaryWitName(QStringLiteral("AAC Audio (m4a)")));
    for (const char* near :
        { "aac audio (m4a)", "AAC AUDIO (M4A)", "AAC Audio (m4a) ", " AAC Audio (m4a)", "AAC Audio", "", "New iPhone" })
        EXPECT_FALSE(c.fmtDictionaryWitName(QString::fromUtf8(near))) << "'" << near << "'";
}

TEST(FormatUtils, FirstUseFromSeveralThreadsBuildsOneCatalogue)
{
    std::vector<const FormatUtils*> seen(6, nullptr);
    std::vector<qsizetype> sizes(6, -1);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] {
            const FormatUtils& c = FormatUtils::sharedInstance();
            seen[i] = &c;
            sizes[i] = c.aryDevices().size() + c.aryVideoFmts().size() + c.aryAudioFmts().size();
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], seen[0]);
        EXPECT_EQ(sizes[i], sizes[0]);
    }
    EXPECT_GT(sizes[0], 0);
}

// ---------------------------------------------------------------------------
// Applying a profile

TEST(FormatUtils, FillWritesTheProfileDefaults)
{
    TestProfile p = profile("Test", "mkv");
    p.formattype = QStringLiteral("<string> 2 </string>");
    p.vbitrate = QStringLiteral(" 1500kbit");
    p.framerate = QStringLiteral("29.97");
    p.samplerate = QStringLiteral("48000");
    CatalogueFile file({}, { p }, {});
    FormatUtils c(file.path());

    auto m = newItem();
    m->bSampeQuality = false;
    c.fillMedia(m.get(), QStringLiteral("Test"));
    EXPECT_EQ(m->strFmtName, QStringLiteral("Test"));
    EXPECT_EQ(m->strOutFileExt, QStringLiteral("mkv"));
    EXPECT_EQ(m->eumDestFmtType, 2) << "a numeric text is read leniently";
    EXPECT_FALSE(m->imgFormat.isNull()) << "the image named by the profile is loaded";
    EXPECT_EQ(m->readableVOCodecName, QStringLiteral("H.264"));
    EXPECT_EQ(m->vOVCodecName, QStringLiteral("libx264"));
    EXPECT_DOUBLE_EQ(m->dVOBitrate, 1500.0);
    EXPECT_DOUBLE_EQ(m->vOFps, 29.97);
    EXPECT_EQ(m->strOResolution, QStringLiteral("1280*720"));
    EXPECT_EQ(m->iOWidth, 1280);
    EXPECT_EQ(m->iOHeight, 720);
    EXPECT_EQ(m->readableAOCodecName, QStringLiteral("AAC"));
    EXPECT_EQ(m->vOACodecName, QStringLiteral("aac"));
    EXPECT_DOUBLE_EQ(m->dAOBitrate, 128.0);
    EXPECT_DOUBLE_EQ(m->dAOSamplerate, 48000.0);
    EXPECT_EQ(m->strDescription, QStringLiteral("Test\nH.264,1280*720,29.97,1500.00k\nAAC,128.00,48000.00"));
}

TEST(FormatUtils, SameQualityTakesTheSourceBitrateUntilTheFlagIsCleared)
{
    CatalogueFile file({ profile("Dev") }, {}, {});
    FormatUtils c(file.path());
    auto m = newItem();
    ASSERT_TRUE(m->bSampeQuality) << "new items start with the same-quality flag";
    c.fillMedia(m.get(), QStringLiteral("Dev"));
    EXPECT_DOUBLE_EQ(m->dVOBitrate, 2345.678) << "bits per second to kbit/s";
    EXPECT_EQ(m->strDescription, QStringLiteral("Dev\nH.264,1280*720,25.00,2345.68k\nAAC,128.00,44100.00"));

    m->bSampeQuality = false;
    c.fillMedia(m.get(), QStringLiteral("Dev"));
    EXPECT_DOUBLE_EQ(m->dVOBitrate, 1500.0);

    // The shipped catalogue does the same with its default video profile.
    const auto iphone = catalogue().fmtDictionaryWitName(QStringLiteral("new iPhone"));
    ASSERT_TRUE(iphone);
    auto real = newItem();
    catalogue().fillMedia(real, QStringLiteral("new iPhone"));
    EXPECT_DOUBLE_EQ(real->dVOBitrate, 2345.678);
    real->bSampeQuality = false;
    catalogue().fillMedia(real, QStringLiteral("new iPhone"));
    EXPECT_DOUBLE_EQ(real->dVOBitrate,
        FormatUtils::lenientDouble(FormatUtils::choiceDefault(*iphone, QLatin1String(FmtVBitrateKey))));
    EXPECT_GT(real->dVOBitrate, 0.0);
}

TEST(FormatUtils, AudioOnlyItemKeepsItsVideoFields)
{
    CatalogueFile file({ profile("Video") }, {}, { audioProfile("Audio") });
    FormatUtils c(file.path());
    for (const char* title : { "Video", "Audio", "Unknown" }) {
        auto m = newItem();
        m->mediaType = 1;
        m->readableVOCodecName = QStringLiteral("Old");
        m->vOVCodecName = QStringLiteral("oldenc");
        m->dVOBitrate = 77;
        m->vOFps = 12.5;
        m->strOResolution = QStringLiteral("320*240");
        m->iOWidth = 320;
        m->iOHeight = 240;
        c.fillMedia(m.get(), QString::fromUtf8(title));
        EXPECT_EQ(m->readableVOCodecName, QStringLiteral("Old")) << title;
        EXPECT_EQ(m->vOVCodecName, QStringLiteral("oldenc")) << title;
        EXPECT_EQ(m->dVOBitrate, 77.0) << title;
        EXPECT_EQ(m->vOFps, 12.5) << title;
        EXPECT_EQ(m->strOResolution, QStringLiteral("320*240")) << title;
        EXPECT_EQ(m->iOWidth, 320) << title;
        EXPECT_EQ(m->iOHeight, 240) << title;
        EXPECT_EQ(m->strFmtName, QString::fromUtf8(title));
    }

    auto m = newItem();
    m->mediaType = 1;
    c.fillMedia(m.get(), QStringLiteral("Audio"));
    EXPECT_EQ(m->strOutFileExt, QStringLiteral("m4a"));
    EXPECT_EQ(m->eumDestFmtType, int(DestFmtTypeAudio));
    EXPECT_EQ(m->vOACodecName, QStringLiteral("aac"));
    EXPECT_DOUBLE_EQ(m->dAOBitrate, 128.0);
    EXPECT_EQ(m->strDescription, QStringLiteral("Audio\n,,0.00,0.00k\nAAC,128.00,44100.00"))
        << "an item that never had a video codec prints empty texts";
}

TEST(FormatUtils, VideoItemGivenAnAudioProfileGetsEmptyVideoSettings)
{
    CatalogueFile file({}, {}, { audioProfile("Audio") });
    FormatUtils c(file.path());
    auto m = newItem();
    m->bSampeQuality = false;
    m->readableVOCodecName = QStringLiteral("Old");
    m->strOResolution = QStringLiteral("320*240");
    c.fillMedia(m.get(), QStringLiteral("Audio"));
    EXPECT_EQ(m->eumDestFmtType, int(DestFmtTypeAudio));
    EXPECT_TRUE(m->readableVOCodecName.isEmpty());
    EXPECT_TRUE(m->strOResolution.isEmpty());
    EXPECT_EQ(m->iOWidth, 0);
}

TEST(FormatUtils, ResolutionTextGivesWidthAndHeight)
{
    const struct {
        const char* text;
        int width;
        int height;
    } cases[] = {
        { "1280*720", 1280, 720 },
        { "720", 720, 720 },
        { " 640 * 480 ", 640, 480 },
        { "1*2*3", 1, 3 },
        { "*480", 0, 480 },
        { "640*", 640, 0 },
        { "", 0, 0 },
        { "wide*tall", 0, 0 },
        { "0720*0576", 720, 576 },
        { "1920x1080", 1920, 1920 },
    };
    std::vector<TestProfile> profiles;
    for (const auto& r : cases) {
        TestProfile p = profile(QString::fromUtf8(r.text).prepend(QStringLiteral("res ")));
        p.resolution = QString::fromUtf8(r.text);
        profiles.push_back(p);
    }
    CatalogueFile file({}, profiles, {});
    FormatUtils c(file.path());
    for (const auto& r : cases) {
        auto m = newItem();
        c.fillMedia(m.get(), QString::fromUtf8(r.text).prepend(QStringLiteral("res ")));
        EXPECT_EQ(m->strOResolution, QString::fromUtf8(r.text)) << "kept as text";
        EXPECT_EQ(m->iOWidth, r.width) << "'" << r.text << "'";
        EXPECT_EQ(m->iOHeight, r.height) << "'" << r.text << "'";
    }
}

TEST(FormatUtils, EmptyTitleOrNoItemChangesNothing)
{
    const FormatUtils& c = catalogue();
    auto m = newItem();
    m->strFmtName = QStringLiteral("Before");
    m->strOutFileExt = QStringLiteral("avi");
    m->eumDestFmtType = 3;
    m->readableVOCodecName = QStringLiteral("X");
    m->dVOBitrate = 42;
    m->vOFps = 24;
    m->strOResolution = QStringLiteral("1*1");
    m->iOWidth = 1;
    m->iOHeight = 1;
    m->readableAOCodecName = QStringLiteral("Y");
    m->dAOBitrate = 9;
    m->dAOSamplerate = 8000;
    m->strDescription = QStringLiteral("kept");
    c.fillMedia(m.get(), QString());
    c.fillMedia(m.get(), QStringLiteral(""));
    EXPECT_EQ(m->strFmtName, QStringLiteral("Before"));
    EXPECT_EQ(m->strOutFileExt, QStringLiteral("avi"));
    EXPECT_EQ(m->eumDestFmtType, 3);
    EXPECT_EQ(m->readableVOCodecName, QStringLiteral("X"));
    EXPECT_EQ(m->dVOBitrate, 42.0);
    EXPECT_EQ(m->vOFps, 24.0);
    EXPECT_EQ(m->strOResolution, QStringLiteral("1*1"));
    EXPECT_EQ(m->iOWidth, 1);
    EXPECT_EQ(m->readableAOCodecName, QStringLiteral("Y"));
    EXPECT_EQ(m->dAOSamplerate, 8000.0);
    EXPECT_EQ(m->strDescription, QStringLiteral("kept"));

    c.fillMedia(static_cast<LSMedia*>(nullptr), QStringLiteral("new iPhone"));
    c.fillMedia(std::shared_ptr<LSMedia>(), QStringLiteral("new iPhone"));
    FormatUtils::configureDiscriptionOfMeida(nullptr);
}

TEST(FormatUtils, UnknownTitleEmptiesTheFieldsButKeepsTheTitle)
{
    for (bool sameQuality : { false, true }) {
        auto m = newItem();
        catalogue().fillMedia(m, QStringLiteral("new iPhone"));
        m->bSampeQuality = sameQuality;
        catalogue().fillMedia(m, QStringLiteral("No Such Profile"));
        EXPECT_EQ(m->strFmtName, QStringLiteral("No Such Profile"));
        EXPECT_TRUE(m->strOutFileExt.isEmpty());
        EXPECT_TRUE(m->imgFormat.isNull());
        EXPECT_EQ(m->eumDestFmtType, 0);
        EXPECT_TRUE(m->readableVOCodecName.isEmpty());
        EXPECT_TRUE(m->vOVCodecName.isEmpty());
        EXPECT_EQ(m->vOFps, 0.0);
        EXPECT_TRUE(m->strOResolution.isEmpty());
        EXPECT_EQ(m->iOWidth, 0);
        EXPECT_EQ(m->iOHeight, 0);
        EXPECT_TRUE(m->readableAOCodecName.isEmpty());
        EXPECT_TRUE(m->vOACodecName.isEmpty());
        EXPECT_EQ(m->dAOBitrate, 0.0);
        EXPECT_EQ(m->dAOSamplerate, 0.0);
        EXPECT_DOUBLE_EQ(m->dVOBitrate, sameQuality ? 2345.678 : 0.0);
        EXPECT_EQ(m->strDescription,
            sameQuality ? QStringLiteral("No Such Profile\n,,0.00,2345.68k\n,0.00,0.00")
                        : QStringLiteral("No Such Profile\n,,0.00,0.00k\n,0.00,0.00"));
    }
}

TEST(FormatUtils, CodecWithoutMapEntryLeavesTheEncoderEmpty)
{
    TestProfile p = profile("Odd");
    p.vcodec = QStringLiteral("Mystery Video");
    p.acodec = QStringLiteral("Mystery Audio");
    CatalogueFile file({}, { p }, {});
    FormatUtils c(file.path());
    auto m = newItem();
    m->vOVCodecName = QStringLiteral("previous");
    c.fillMedia(m.get(), QStringLiteral("Odd"));
    EXPECT_EQ(m->readableVOCodecName, QStringLiteral("Mystery Video"));
    EXPECT_TRUE(m->vOVCodecName.isEmpty());
    EXPECT_EQ(m->readableAOCodecName, QStringLiteral("Mystery Audio"));
    EXPECT_TRUE(m->vOACodecName.isEmpty());
}

TEST(FormatUtils, SummaryTextHasThreeLinesWithTwoDecimals)
{
    LSMedia m;
    m.strFmtName = QStringLiteral("MP4 100% (mp4)");
    m.readableVOCodecName = QStringLiteral("H.264");
    m.strOResolution = QStringLiteral("1920*1080");
    m.vOFps = 25;
    m.dVOBitrate = 1234.567;
    m.readableAOCodecName = QStringLiteral("AAC %1");
    m.dAOBitrate = 128;
    m.dAOSamplerate = 44100;
    FormatUtils::configureDiscriptionOfMeida(&m);
    EXPECT_EQ(
        m.strDescription, QStringLiteral("MP4 100% (mp4)\nH.264,1920*1080,25.00,1234.57k\nAAC %1,128.00,44100.00"));
}

TEST(FormatUtils, ChoiceValuesAreSplitWithoutTrimming)
{
    TestProfile p = profile("Lists");
    CatalogueFile file({}, { p }, {});
    FormatUtils c(file.path());
    QVariantMap prof = *c.fmtDictionaryWitName(QStringLiteral("Lists"));
    QVariantMap choice;
    choice.insert(QLatin1String(FmtValuesKey), QStringLiteral("25, 29.97,,30"));
    prof.insert(QLatin1String(FmtFrameRateKey), choice);
    EXPECT_EQ(
        FormatUtils::choiceValues(prof, QLatin1String(FmtFrameRateKey)), (QStringList { "25", " 29.97", "", "30" }));
    EXPECT_TRUE(FormatUtils::choiceDefault(prof, QLatin1String(FmtFrameRateKey)).isEmpty());
    EXPECT_TRUE(FormatUtils::choiceValues(prof, QStringLiteral("nothing")).isEmpty());
}

// ---------------------------------------------------------------------------
// The shipped catalogue

TEST(FormatCatalogue, NamedProfilesExistInTheirGroups)
{
    const FormatUtils& c = catalogue();
    auto titles = [](const QVariantList& list) {
        QStringList t;
        for (const QVariant& v : list)
            t << titleOf(v.toMap());
        return t;
    };
    EXPECT_TRUE(titles(c.aryDevices()).contains(QStringLiteral("new iPhone")));
    EXPECT_TRUE(titles(c.aryDevices()).contains(QStringLiteral("iBooks Author (m4v/m4a)")));
    EXPECT_TRUE(titles(c.aryAudioFmts()).contains(QStringLiteral("AAC Audio (m4a)")));
    const auto aac = c.fmtDictionaryWitName(QStringLiteral("AAC Audio (m4a)"));
    ASSERT_TRUE(aac);
    EXPECT_EQ(aac->value(QLatin1String(FmtExtKey)).toString(), QStringLiteral("m4a"));
    EXPECT_EQ(FormatUtils::formatType(*aac), int(DestFmtTypeAudio));
    EXPECT_EQ(FormatUtils::formatType(*c.fmtDictionaryWitName(QStringLiteral("new iPhone"))), 0)
        << "device profiles of the music library's own devices are handed over whatever the extension";
}

TEST(FormatCatalogue, CoversTheCommonContainers)
{
    const FormatUtils& c = catalogue();
    auto exts = [](const QVariantList& list) {
        QSet<QString> e;
        for (const QVariant& v : list)
            e.insert(v.toMap().value(QLatin1String(FmtExtKey)).toString());
        return e;
    };
    const QSet<QString> video = exts(c.aryVideoFmts());
    for (const char* e : { "mp4", "mov", "mkv", "webm", "avi", "wmv", "flv", "mpg", "ts", "3gp", "m4v" })
        EXPECT_TRUE(video.contains(QLatin1String(e))) << e;
    const QSet<QString> audio = exts(c.aryAudioFmts());
    for (const char* e : { "m4a", "mp3", "flac", "wav", "ogg", "opus", "wma", "ac3", "aiff", "m4r" })
        EXPECT_TRUE(audio.contains(QLatin1String(e))) << e;
    EXPECT_GE(c.aryDevices().size(), 20);
}

TEST(FormatCatalogue, EveryProfileIsCompleteAndItsDefaultsAreAmongItsValues)
{
    const FormatUtils& c = catalogue();
    const QRegularExpression size(QStringLiteral("^([1-9][0-9]*)\\*([1-9][0-9]*)$"));
    QSet<QString> titles;
    const QList<QVariantMap> all = allProfiles(c);
    ASSERT_FALSE(all.isEmpty());
    for (const QVariantMap& p : all) {
        const QString title = titleOf(p);
        SCOPED_TRACE(title.toStdString());
        EXPECT_FALSE(title.isEmpty());
        EXPECT_FALSE(titles.contains(title)) << "titles are unique, so every profile can be found";
        titles.insert(title);
        const QString ext = p.value(QLatin1String(FmtExtKey)).toString();
        EXPECT_FALSE(ext.isEmpty());
        EXPECT_FALSE(ext.startsWith(QLatin1Char('.')));
        EXPECT_FALSE(FormatUtils::profileImage(p).isNull()) << "image " << qPrintable(p.value(FmtImageKey).toString());

        const bool audio = FormatUtils::formatType(p) == DestFmtTypeAudio;
        EXPECT_EQ(audio, c.aryAudioFmts().contains(QVariant(p))) << "audio profiles are exactly the Audios group";
        QList<const char*> keys { FmtACodecKey, FmtABitrateKey, FmtSampleRateKey };
        if (!audio)
            keys << FmtVCodecKey << FmtVBitrateKey << FmtFrameRateKey << FmtResolutionKey;
        for (const char* key : keys) {
            const QStringList values = FormatUtils::choiceValues(p, QLatin1String(key));
            const QString def = FormatUtils::choiceDefault(p, QLatin1String(key));
            EXPECT_FALSE(values.isEmpty()) << key;
            EXPECT_TRUE(values.contains(def)) << key << " default '" << qPrintable(def) << "'";
            for (const QString& v : values) {
                EXPECT_EQ(v, v.trimmed()) << key << " value '" << qPrintable(v) << "'";
                if (qstrcmp(key, FmtResolutionKey) == 0) {
                    const auto match = size.match(v);
                    ASSERT_TRUE(match.hasMatch()) << "resolution '" << qPrintable(v) << "'";
                    EXPECT_EQ(match.captured(1).toInt() % 2, 0) << "4:2:0 encoders need even sizes: " << qPrintable(v);
                    EXPECT_EQ(match.captured(2).toInt() % 2, 0) << "4:2:0 encoders need even sizes: " << qPrintable(v);
                } else if (qstrcmp(key, FmtVCodecKey) != 0 && qstrcmp(key, FmtACodecKey) != 0) {
                    EXPECT_GT(FormatUtils::lenientDouble(v), 0.0) << key << " value '" << qPrintable(v) << "'";
                }
            }
        }
    }
}

namespace {

// Encoder name -> kind ('V' or 'A') as the installed ffmpeg lists them.
QMap<QString, QChar> installedEncoders()
{
    QProcess p;
    p.start(TestMedia::ffmpegPath(), { QStringLiteral("-hide_banner"), QStringLiteral("-encoders") });
    p.waitForFinished(60000);
    QMap<QString, QChar> encoders;
    bool table = false;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QStringLiteral("------"))) {
            table = true;
            continue;
        }
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (table && parts.size() >= 2 && parts[0].size() == 6)
            encoders.insert(parts[1], parts[0].at(0));
    }
    return encoders;
}

const AVOutputFormat* muxerForExt(const QString& ext)
{
    const QString muxer = FormatUtils::outputMuxerForExtension(ext);
    if (!muxer.isEmpty())
        return av_guess_format(muxer.toUtf8().constData(), nullptr, nullptr);
    return av_guess_format(nullptr, (QStringLiteral("out.") + ext).toUtf8().constData(), nullptr);
}

} // namespace

TEST(FormatCatalogue, EveryCodecIsMappedToAnInstalledEncoderOfItsKind)
{
    const FormatUtils& c = catalogue();
    const QMap<QString, QChar> encoders = installedEncoders();
    ASSERT_TRUE(encoders.contains(QStringLiteral("aac"))) << "could not read 'ffmpeg -encoders'";

    for (auto it = c.dicCodecMap().cbegin(); it != c.dicCodecMap().cend(); ++it)
        EXPECT_TRUE(encoders.contains(it.value())) << qPrintable(it.key()) << " -> " << qPrintable(it.value());

    for (const QVariantMap& p : allProfiles(c)) {
        SCOPED_TRACE(titleOf(p).toStdString());
        const bool audio = FormatUtils::formatType(p) == DestFmtTypeAudio;
        for (const auto& [key, kind] : { std::pair { FmtVCodecKey, 'V' }, std::pair { FmtACodecKey, 'A' } }) {
            if (audio && kind == 'V')
                continue;
            QStringList names = FormatUtils::choiceValues(p, QLatin1String(key));
            names << FormatUtils::choiceDefault(p, QLatin1String(key));
            for (const QString& name : names) {
                ASSERT_TRUE(c.dicCodecMap().contains(name)) << key << " '" << qPrintable(name) << "' has no encoder";
                EXPECT_EQ(encoders.value(c.dicCodecMap().value(name)), QChar(QLatin1Char(kind)))
                    << qPrintable(name) << " is offered as a " << key;
            }
        }
    }
}

TEST(FormatCatalogue, EveryExtensionHasAMuxerThatTakesTheOfferedCodecsAndRates)
{
    const FormatUtils& c = catalogue();
    for (const QVariantMap& p : allProfiles(c)) {
        SCOPED_TRACE(titleOf(p).toStdString());
        const QString ext = p.value(QLatin1String(FmtExtKey)).toString();
        const AVOutputFormat* muxer = muxerForExt(ext);
        ASSERT_TRUE(muxer) << "ffmpeg knows no container for '" << qPrintable(ext) << "'";
        const bool audio = FormatUtils::formatType(p) == DestFmtTypeAudio;
        QStringList codecs = FormatUtils::choiceValues(p, QLatin1String(FmtACodecKey));
        if (!audio)
            codecs += FormatUtils::choiceValues(p, QLatin1String(FmtVCodecKey));
        for (const QString& name : codecs) {
            const AVCodec* enc = avcodec_find_encoder_by_name(c.dicCodecMap().value(name).toUtf8().constData());
            ASSERT_TRUE(enc) << qPrintable(name);
            // 0 means the container cannot hold the codec; a negative answer means it does not say.
            EXPECT_NE(avformat_query_codec(muxer, enc->id, FF_COMPLIANCE_NORMAL), 0)
                << qPrintable(name) << " in " << muxer->name;
            if (enc->type == AVMEDIA_TYPE_AUDIO && enc->supported_samplerates) {
                for (const QString& rate : FormatUtils::choiceValues(p, QLatin1String(FmtSampleRateKey))) {
                    bool supported = false;
                    for (const int* r = enc->supported_samplerates; *r; ++r)
                        supported = supported || *r == FormatUtils::lenientInt(rate);
                    EXPECT_TRUE(supported) << enc->name << " at " << qPrintable(rate) << " Hz";
                }
            }
        }
    }
}

TEST(FormatCatalogue, ItemsFilledFromEveryProfileAreReadyForTheConversionJob)
{
    const FormatUtils& c = catalogue();
    for (const QVariantMap& p : allProfiles(c)) {
        const QString title = titleOf(p);
        SCOPED_TRACE(title.toStdString());
        auto m = newItem();
        m->bSampeQuality = false;
        c.fillMedia(m, title);
        EXPECT_EQ(m->strFmtName, title);
        EXPECT_FALSE(m->imgFormat.isNull());
        EXPECT_FALSE(m->vOACodecName.isEmpty());
        EXPECT_GT(m->dAOBitrate, 0.0);
        EXPECT_GT(m->dAOSamplerate, 0.0);
        if (m->eumDestFmtType != DestFmtTypeAudio) {
            EXPECT_FALSE(m->vOVCodecName.isEmpty());
            EXPECT_GT(m->dVOBitrate, 10.0);
            EXPECT_GT(m->vOFps, 0.0);
            EXPECT_GT(m->iOWidth, 0);
            EXPECT_GT(m->iOHeight, 0);
        }
        EXPECT_EQ(m->strDescription.count(QLatin1Char('\n')), 2);
        EXPECT_TRUE(m->strDescription.startsWith(title + QLatin1Char('\n')));
    }
}

TEST(FormatCatalogue, OnlyTheRingtoneNeedsAMuxerNamed)
{
    EXPECT_EQ(FormatUtils::outputMuxerForExtension(QStringLiteral("m4r")), QStringLiteral("ipod"));
    EXPECT_EQ(FormatUtils::outputMuxerForExtension(QStringLiteral("M4R")), QStringLiteral("ipod"));
    for (const char* ext : { "mp4", "m4a", "mkv", "mp3", "" })
        EXPECT_TRUE(FormatUtils::outputMuxerForExtension(QLatin1String(ext)).isEmpty()) << ext;
    // ffmpeg cannot guess the ringtone container from its extension.
    EXPECT_EQ(av_guess_format(nullptr, "tone.m4r", nullptr), nullptr);
}
