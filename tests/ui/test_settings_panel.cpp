#include "Common/WindowController/ZKMediaInfoWndCtl.h"
#include "Formats/FormatUtils.h"
#include "Media/LSMedia.h"
#include "Platform/NotificationCenter.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "Views/VQMediaInfoViewCtl.h"
#include "Views/ZKFmtSettingsViewCtl+Menu.h"
#include "Views/ZKFmtSettingsViewCtl+Sheet.h"
#include "Views/ZKFmtSettingsViewCtl.h"
#include "Views/ZKFormatDescriptionCell.h"
#include "support/TestMedia.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const QString kVideoFmt = QStringLiteral("MP4 H.264 Video (mp4)");
const QString kOtherVideoFmt = QStringLiteral("WebM VP9 Video (webm)");
const QString kAudioFmt = QStringLiteral("MP3 Audio (mp3)");

const FormatUtils& catalogue()
{
    return FormatUtils::sharedInstance();
}

QVariantMap profile(const QString& title)
{
    auto p = catalogue().fmtDictionaryWitName(title);
    EXPECT_TRUE(p.has_value()) << title.toStdString();
    return p.value_or(QVariantMap());
}

QString def(const QString& title, const char* key)
{
    return FormatUtils::choiceDefault(profile(title), QString::fromLatin1(key));
}

// A video item of 1920*1080 at 2345 kbit/s, with a profile applied as the loader does.
std::shared_ptr<LSMedia> videoItem(const QString& fmt = QStringLiteral("new iPhone"))
{
    auto m = std::make_shared<LSMedia>();
    m->filePath = QStringLiteral("/videos/holiday trip.mov");
    m->mediaType = 0;
    m->videoCodecName = QStringLiteral("h264");
    m->pixWidth = 1920;
    m->pixHeight = 1080;
    m->videoFps = 25;
    m->videoBitrate = 2345000;
    m->audioCodecName = QStringLiteral("aac");
    m->audioChannels = 2;
    m->audioSamplerate = 48000;
    m->audioBitrate = 128000;
    catalogue().fillMedia(m, fmt);
    return m;
}

std::shared_ptr<LSMedia> audioItem()
{
    auto m = std::make_shared<LSMedia>();
    m->filePath = QStringLiteral("/music/song.flac");
    m->mediaType = 1;
    m->audioCodecName = QStringLiteral("flac");
    m->audioChannels = 2;
    m->audioSamplerate = 44100;
    m->audioBitrate = 900000;
    catalogue().fillMedia(m, QStringLiteral("AAC Audio (m4a)"));
    return m;
}

QStringList titles(const QVariantList& profiles)
{
    QStringList out;
    for (const QVariant& p : profiles)
        out << p.toMap().value(QStringLiteral("title")).toString();
    return out;
}

void typeText(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        const int key = c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

void pressKey(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// Replaces the whole text of a list in one edit, as pasting over a selection does.
void retype(QComboBox* list, const QString& text)
{
    QLineEdit* edit = list->lineEdit();
    edit->selectAll();
    if (text.isEmpty()) {
        pressKey(edit, Qt::Key_Backspace);
        return;
    }
    edit->insert(text);
}

void pickEntry(QComboBox* list, const QString& text)
{
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void pickFormat(ZKFmtSettingsViewCtl& panel, const QString& title)
{
    const int row = FmtMenu::indexOfTitle(qobject_cast<QStandardItemModel*>(panel.pBtnFormat->model()), title);
    ASSERT_GE(row, 0) << title.toStdString();
    panel.pBtnFormat->setCurrentIndex(row);
    emit panel.pBtnFormat->activated(row);
}

struct Alert {
    QString title, message, button;
};

struct CountingDelegate : ZKFmtSettingsViewCtlDelegate {
    int calls = 0;
    ZKFmtSettingsViewCtl* last = nullptr;
    void fmtSettingsViewCtlSettingsDidChanged(ZKFmtSettingsViewCtl* panel) override
    {
        ++calls;
        last = panel;
    }
};

QStringList listEntries(const QComboBox* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->itemText(i);
    return out;
}

class SettingsPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZKFmtSettingsViewCtl::setAlertHandler([this](QWidget*, const QString& t, const QString& m, const QString& b) {
            alerts.push_back({ t, m, b });
        });
        panel = std::make_unique<ZKFmtSettingsViewCtl>();
        panel->setDelegate(&delegate);
        QObject::connect(panel.get(), &ZKFmtSettingsViewCtl::settingsDidChanged, [this] { ++signals_; });
    }
    void TearDown() override { ZKFmtSettingsViewCtl::setAlertHandler({}); }

    std::vector<Alert> alerts;
    CountingDelegate delegate;
    int signals_ = 0;
    std::unique_ptr<ZKFmtSettingsViewCtl> panel;
};

} // namespace

TEST_F(SettingsPanel, MenuGroupsProfilesAndAudioOnlyItemsGetOnlyTheAudioGroup)
{
    auto* model = qobject_cast<QStandardItemModel*>(panel->pBtnFormat->model());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->rowCount(), 0); // empty until an item is shown

    struct Case {
        std::shared_ptr<LSMedia> item;
        QList<std::pair<QString, QStringList>> groups;
    };
    const Case cases[] = {
        { videoItem(),
            { { "Devices", titles(catalogue().aryDevices()) }, { "Video Formats", titles(catalogue().aryVideoFmts()) },
                { "Audio Formats", titles(catalogue().aryAudioFmts()) } } },
        { audioItem(), { { "Audio Formats", titles(catalogue().aryAudioFmts()) } } },
    };
    for (const Case& c : cases) {
        panel->flushWithMedia(c.item);
        int row = 0;
        for (int g = 0; g < c.groups.size(); ++g) {
            const auto& [header, profiles] = c.groups[g];
            ASSERT_FALSE(profiles.isEmpty());
            if (g > 0) {
                EXPECT_TRUE(FmtMenu::isSeparator(model->index(row, 0))) << row;
                ++row;
            }
            const QStandardItem* h = model->item(row++);
            EXPECT_EQ(h->text(), header);
            EXPECT_EQ(h->data(FmtMenu::IndentRole).toInt(), 0);
            EXPECT_FALSE(h->flags() & Qt::ItemIsEnabled);
            EXPECT_TRUE(h->data(FmtMenu::MenuImageRole).isNull());
            for (const QString& title : profiles) {
                const QStandardItem* item = model->item(row++);
                ASSERT_NE(item, nullptr);
                EXPECT_EQ(item->text(), title);
                EXPECT_EQ(item->data(FmtMenu::IndentRole).toInt(), 1);
                EXPECT_TRUE(item->flags() & Qt::ItemIsEnabled);
                const QImage source = FormatUtils::profileImage(profile(title));
                const QImage shown = item->data(FmtMenu::MenuImageRole).value<QImage>();
                ASSERT_FALSE(source.isNull()) << title.toStdString();
                EXPECT_EQ(shown.height(), 36);
                EXPECT_EQ(shown.width(), int(source.width() / (source.height() / 36.0)));
            }
        }
        EXPECT_EQ(row, model->rowCount());
        EXPECT_EQ(panel->selectedFormatTitle(), c.item->strFmtName);
    }
}

TEST(FormatMenu, MenuImageHeightAndTruncatedWidth)
{
    const struct {
        QSize source;
        QSize shown;
    } cases[] = { { { 72, 72 }, { 36, 36 } }, { { 100, 50 }, { 72, 36 } }, { { 50, 70 }, { 25, 36 } },
        { { 10, 1000 }, { 0, 0 } } };
    for (const auto& c : cases) {
        QImage source(c.source, QImage::Format_ARGB32);
        source.fill(Qt::red);
        const QImage shown = FmtMenu::menuImage(source);
        EXPECT_EQ(shown.isNull(), c.shown.isEmpty()) << c.source.width();
        if (!c.shown.isEmpty()) {
            EXPECT_EQ(shown.size(), c.shown) << c.source.width();
        }
    }
    EXPECT_TRUE(FmtMenu::menuImage(QImage()).isNull());
}

TEST_F(SettingsPanel, ShowingAnItemFillsTheControlsAndWritesNothing)
{
    auto item = videoItem(kVideoFmt);
    item->bSampeQuality = false;
    item->dVOBitrate = 2500;
    item->vOFps = 25;
    item->strOResolution = QStringLiteral("854*480");
    item->readableAOCodecName = QStringLiteral("AAC");
    item->dAOBitrate = 96;
    item->dAOSamplerate = 32000;
    item->aspectOption = AspectOption16x9;
    const auto before = item->copy();
    panel->flushWithMedia(item);

    EXPECT_EQ(delegate.calls, 0);
    EXPECT_EQ(panel->media(), item);
    EXPECT_EQ(panel->selectedFormatTitle(), kVideoFmt);
    const QVariantMap p = profile(kVideoFmt);
    EXPECT_EQ(listEntries(panel->pCombVCodec), FormatUtils::choiceValues(p, "vcodec"));
    EXPECT_EQ(listEntries(panel->pCombResolution), FormatUtils::choiceValues(p, "resolution"));
    EXPECT_EQ(listEntries(panel->pCombFps), FormatUtils::choiceValues(p, "framerate"));
    EXPECT_EQ(listEntries(panel->pCombACodec), FormatUtils::choiceValues(p, "acodec"));
    EXPECT_EQ(listEntries(panel->pCombSamplerate), FormatUtils::choiceValues(p, "samplerate"));
    EXPECT_EQ(panel->pCombVCodec->currentText(), item->readableVOCodecName);
    EXPECT_EQ(panel->pCombVBitrate->currentText(), QStringLiteral("2500"));
    EXPECT_EQ(panel->pCombFps->currentText(), QStringLiteral("25"));
    EXPECT_EQ(panel->pCombResolution->currentText(), QStringLiteral("854*480"));
    EXPECT_EQ(panel->pCombABitrate->currentText(), QStringLiteral("96"));
    EXPECT_EQ(panel->pCombSamplerate->currentText(), QStringLiteral("32000"));
    EXPECT_EQ(panel->pBtnAspect->currentIndex(), 2);
    EXPECT_TRUE(panel->radioBitrate->isChecked());
    EXPECT_TRUE(panel->pCombVBitrate->isEnabled());
    EXPECT_EQ(panel->strCurExtName, QStringLiteral("mp4"));
    EXPECT_EQ(panel->lblOrigenVideoInfo->text(), QStringLiteral("Video: h264, 1920*1080, 25.00 fps, 2345 kbps"));
    EXPECT_EQ(panel->lblOrigenAudioInfo->text(), QStringLiteral("Audio: aac, 2 channels, 48000 Hz, 128 kbps"));

    // Nothing of the item changed.
    EXPECT_EQ(item->dAOSamplerate, 32000);
    EXPECT_EQ(item->strOResolution, before->strOResolution);
    EXPECT_EQ(item->dVOBitrate, 2500);
    EXPECT_EQ(item->aspectOption, AspectOption16x9);

    // Same quality: radio 0 and a disabled bit-rate list.
    item->bSampeQuality = true;
    panel->flushWithMedia(item);
    EXPECT_TRUE(panel->radioSameQuality->isChecked());
    EXPECT_FALSE(panel->pCombVBitrate->isEnabled());
    EXPECT_EQ(delegate.calls, 0);
}

TEST_F(SettingsPanel, SourceLinesOfProbedClips)
{
    struct Case {
        QString path;
        QString video;
        QString audio;
    };
    auto probe = [](const QString& path) {
        auto m = LSMedia::mediaWithPath(path);
        EXPECT_TRUE(m->loadValuesSynchronously()) << path.toStdString();
        catalogue().fillMedia(m, m->isAudioOnly() ? QStringLiteral("AAC Audio (m4a)") : QStringLiteral("new iPhone"));
        return m;
    };
    const auto video = probe(TestMedia::videoWithAudio());
    const auto anamorphic = probe(TestMedia::anamorphic());
    const auto audio = probe(TestMedia::audioOnly());
    const auto kbps = [](int64_t bits) { return QString::asprintf("%.0f", bits / 1000.0); };
    const Case cases[] = {
        { video->filePath, "Video: h264, 320*240, 25.00 fps, " + kbps(video->videoBitrate) + " kbps",
            "Audio: aac, 2 channels, 44100 Hz, " + kbps(video->audioBitrate) + " kbps" },
        { anamorphic->filePath, "Video: mpeg2video, 720*576, 25.00 fps, " + kbps(anamorphic->videoBitrate) + " kbps",
            "Audio: mp2, 1 channels, 48000 Hz, " + kbps(anamorphic->audioBitrate) + " kbps" },
        { audio->filePath, "Video: none", "Audio: aac, 2 channels, 48000 Hz, " + kbps(audio->audioBitrate) + " kbps" },
    };
    for (const auto& [item, c] : { std::pair { video, cases[0] }, { anamorphic, cases[1] }, { audio, cases[2] } }) {
        panel->flushWithMedia(item);
        EXPECT_EQ(panel->lblOrigenVideoInfo->text(), c.video);
        EXPECT_EQ(panel->lblOrigenAudioInfo->text(), c.audio);
    }
    // The audio file's video lists show nothing of the video shown before.
    EXPECT_TRUE(panel->pCombVBitrate->currentText().isEmpty());
    EXPECT_TRUE(panel->pCombResolution->currentText().isEmpty());
    EXPECT_FALSE(panel->pCombVCodec->isEnabled());
}

TEST_F(SettingsPanel, FrameRatesKeepTheirDecimals)
{
    // Whole rates print without decimals; 29.97 stays 29.97 so that a later
    // commit of another change does not round it.
    const struct {
        double fps;
        const char* shown;
    } cases[] = { { 25, "25" }, { 29.97, "29.97" }, { 23.976, "23.976" }, { 23.5, "23.5" }, { 0, "0" } };
    for (const auto& c : cases) {
        auto item = videoItem(kVideoFmt);
        item->vOFps = c.fps;
        panel->flushWithMedia(item);
        EXPECT_EQ(panel->pCombFps->currentText(), QString::fromLatin1(c.shown)) << c.fps;
        retype(panel->pCombABitrate, QStringLiteral("160"));
        EXPECT_DOUBLE_EQ(item->vOFps, c.fps);
    }
}

TEST_F(SettingsPanel, NoItemDisablesEverythingButKeepsTheMenu)
{
    panel->flushWithMedia(videoItem());
    const int entries = panel->pBtnFormat->count();
    panel->flushWithMedia(nullptr);
    EXPECT_EQ(panel->media(), nullptr);
    EXPECT_EQ(panel->pBtnFormat->count(), entries);
    EXPECT_EQ(panel->lblOrigenVideoInfo->text(), QStringLiteral("Video Info"));
    EXPECT_EQ(panel->lblOrigenAudioInfo->text(), QStringLiteral("Audio Info"));
    for (QWidget* w : std::initializer_list<QWidget*> { panel->pBtnFormat, panel->pCombVCodec, panel->pCombResolution,
             panel->pCombVBitrate, panel->pCombFps, panel->pCombACodec, panel->pCombSamplerate, panel->pCombABitrate,
             panel->pBtnAspect, panel->radioSameQuality, panel->radioBitrate })
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    // A commit without an item does nothing.
    panel->finishedSettings();
    EXPECT_EQ(delegate.calls, 0);
}

TEST_F(SettingsPanel, CommitRules)
{
    using Act = std::function<void(ZKFmtSettingsViewCtl&)>;
    using Check = std::function<void(const LSMedia& before, const LSMedia& after, ZKFmtSettingsViewCtl&)>;
    struct Case {
        const char* name;
        bool audioOnly;
        Act act;
        Check check;
        int commits;
    };
    const double sourceKbps = 2345;
    const std::vector<Case> cases = {
        { "picking a video profile writes its defaults", false, [](auto& p) { pickFormat(p, kOtherVideoFmt); },
            [&](const LSMedia& b, const LSMedia& a, auto&) {
                EXPECT_EQ(a.strFmtName, kOtherVideoFmt);
                EXPECT_EQ(a.eumDestFmtType, FormatUtils::formatType(profile(kOtherVideoFmt)));
                EXPECT_FALSE(a.imgFormat.isNull());
                EXPECT_EQ(a.readableVOCodecName, def(kOtherVideoFmt, "vcodec"));
                EXPECT_EQ(a.vOVCodecName, catalogue().dicCodecMap().value(a.readableVOCodecName));
                EXPECT_FALSE(a.vOVCodecName.isEmpty());
                EXPECT_EQ(a.strOResolution, def(kOtherVideoFmt, "resolution"));
                EXPECT_EQ(a.iOWidth, 1280);
                EXPECT_EQ(a.iOHeight, 720);
                EXPECT_DOUBLE_EQ(a.vOFps, FormatUtils::lenientDouble(def(kOtherVideoFmt, "framerate")));
                EXPECT_DOUBLE_EQ(a.dVOBitrate, sourceKbps); // same quality
                EXPECT_EQ(a.readableAOCodecName, def(kOtherVideoFmt, "acodec"));
                EXPECT_EQ(a.vOACodecName, catalogue().dicCodecMap().value(a.readableAOCodecName));
                EXPECT_DOUBLE_EQ(a.dAOBitrate, FormatUtils::lenientDouble(def(kOtherVideoFmt, "abitrate")));
                EXPECT_DOUBLE_EQ(a.dAOSamplerate, FormatUtils::lenientDouble(def(kOtherVideoFmt, "samplerate")));
                EXPECT_EQ(a.strOutFileExt, QStringLiteral("webm"));
                EXPECT_TRUE(a.strProfileName.isEmpty());
                // The summary text is not rebuilt by a commit.
                EXPECT_EQ(a.strDescription, b.strDescription);
            },
            1 },
        { "an audio profile for a video item keeps the video fields", false, [](auto& p) { pickFormat(p, kAudioFmt); },
            [](const LSMedia& b, const LSMedia& a, ZKFmtSettingsViewCtl& p) {
                EXPECT_EQ(a.eumDestFmtType, DestFmtTypeAudio);
                EXPECT_EQ(a.strOutFileExt, QStringLiteral("mp3"));
                EXPECT_EQ(a.readableAOCodecName, def(kAudioFmt, "acodec"));
                EXPECT_EQ(a.readableVOCodecName, b.readableVOCodecName);
                EXPECT_EQ(a.strOResolution, b.strOResolution);
                EXPECT_EQ(a.iOWidth, b.iOWidth);
                EXPECT_DOUBLE_EQ(a.vOFps, b.vOFps);
                EXPECT_DOUBLE_EQ(a.dVOBitrate, b.dVOBitrate);
                for (QComboBox* list : { p.pCombVCodec, p.pCombVBitrate, p.pCombFps, p.pCombResolution }) {
                    EXPECT_FALSE(list->isEnabled()) << list->objectName().toStdString();
                    EXPECT_EQ(list->count(), 0) << list->objectName().toStdString();
                    EXPECT_TRUE(list->currentText().isEmpty()) << list->objectName().toStdString();
                }
                EXPECT_FALSE(p.radioSameQuality->isEnabled());
            },
            1 },
        { "an audio-only item becomes audio output", true, [](auto& p) { pickFormat(p, kAudioFmt); },
            [](const LSMedia&, const LSMedia& a, auto&) {
                EXPECT_EQ(a.eumDestFmtType, DestFmtTypeAudio);
                EXPECT_EQ(a.strFmtName, kAudioFmt);
                EXPECT_DOUBLE_EQ(a.dAOBitrate, FormatUtils::lenientDouble(def(kAudioFmt, "abitrate")));
            },
            1 },
        { "a chosen bit rate is taken as typed", false,
            [](auto& p) {
                p.radioBitrate->click();
                retype(p.pCombVBitrate, QStringLiteral(" 800kbps"));
            },
            [](const LSMedia&, const LSMedia& a, auto&) {
                EXPECT_FALSE(a.bSampeQuality);
                EXPECT_DOUBLE_EQ(a.dVOBitrate, 800);
            },
            -1 },
        { "a bit rate below 10 gives the source's", false,
            [](auto& p) {
                p.radioBitrate->click();
                retype(p.pCombVBitrate, QStringLiteral("9.5"));
            },
            [&](const LSMedia&, const LSMedia& a, auto&) { EXPECT_DOUBLE_EQ(a.dVOBitrate, sourceKbps); }, -1 },
        { "an empty bit rate gives the source's", false,
            [](auto& p) {
                p.radioBitrate->click();
                retype(p.pCombVBitrate, QString());
            },
            [&](const LSMedia&, const LSMedia& a, auto&) { EXPECT_DOUBLE_EQ(a.dVOBitrate, sourceKbps); }, 2 },
        { "a non-numeric bit rate gives the source's", false,
            [](auto& p) {
                p.radioBitrate->click();
                retype(p.pCombVBitrate, QStringLiteral("x"));
            },
            [&](const LSMedia&, const LSMedia& a, auto&) { EXPECT_DOUBLE_EQ(a.dVOBitrate, sourceKbps); }, 2 },
        { "same quality commits the source's bit rate at once", false,
            [](auto& p) {
                p.radioBitrate->click();
                retype(p.pCombVBitrate, QStringLiteral("3000"));
                p.radioSameQuality->click();
            },
            [&](const LSMedia&, const LSMedia& a, ZKFmtSettingsViewCtl& p) {
                EXPECT_TRUE(a.bSampeQuality);
                EXPECT_DOUBLE_EQ(a.dVOBitrate, sourceKbps);
                EXPECT_FALSE(p.pCombVBitrate->isEnabled());
            },
            -1 },
        { "blanks and a leading zero leave the resolution", false,
            [](auto& p) { retype(p.pCombResolution, QStringLiteral("1280 * 0720")); },
            [](const LSMedia&, const LSMedia& a, auto&) {
                EXPECT_EQ(a.strOResolution, QStringLiteral("1280*720"));
                EXPECT_EQ(a.iOWidth, 1280);
                EXPECT_EQ(a.iOHeight, 720);
            },
            -1 },
        { "a width and a star give height 0", false,
            [](auto& p) {
                p.pCombResolution->lineEdit()->end(false);
                for (int i = 0; i < 3; ++i)
                    pressKey(p.pCombResolution->lineEdit(), Qt::Key_Backspace);
            },
            [](const LSMedia&, const LSMedia& a, ZKFmtSettingsViewCtl& p) {
                EXPECT_EQ(p.pCombResolution->currentText(), QStringLiteral("1280*"));
                EXPECT_EQ(a.iOWidth, 1280);
                EXPECT_EQ(a.iOHeight, 0);
                EXPECT_EQ(a.strOResolution, QStringLiteral("1280*0"));
            },
            3 },
        { "a typed frame rate is read leniently", false,
            [](auto& p) { retype(p.pCombFps, QStringLiteral("  23.976 fps")); },
            [](const LSMedia&, const LSMedia& a, auto&) { EXPECT_DOUBLE_EQ(a.vOFps, 23.976); }, -1 },
        { "a codec the map does not hold gives no tool codec", false,
            [](auto& p) { retype(p.pCombACodec, QStringLiteral("Speex")); },
            [](const LSMedia&, const LSMedia& a, auto&) {
                EXPECT_EQ(a.readableAOCodecName, QStringLiteral("Speex"));
                EXPECT_TRUE(a.vOACodecName.isEmpty());
            },
            -1 },
        { "typed audio rates", false,
            [](auto& p) {
                retype(p.pCombABitrate, QStringLiteral("256"));
                retype(p.pCombSamplerate, QStringLiteral("22050"));
            },
            [](const LSMedia&, const LSMedia& a, auto&) {
                EXPECT_DOUBLE_EQ(a.dAOBitrate, 256);
                EXPECT_DOUBLE_EQ(a.dAOSamplerate, 22050);
            },
            -1 },
        { "a list pick commits after the control took the value", false,
            [](auto& p) {
                ASSERT_NE(p.media()->dAOSamplerate, 32000);
                pickEntry(p.pCombSamplerate, QStringLiteral("32000"));
                // Queued: nothing is written before the event loop runs.
                EXPECT_NE(p.media()->dAOSamplerate, 32000);
                QCoreApplication::processEvents();
            },
            [](const LSMedia&, const LSMedia& a, auto&) { EXPECT_DOUBLE_EQ(a.dAOSamplerate, 32000); }, 1 },
        { "the aspect entry is the item's aspect option", false,
            [](auto& p) {
                p.pBtnAspect->setCurrentIndex(AspectOption4x3);
                emit p.pBtnAspect->activated(AspectOption4x3);
                QCoreApplication::processEvents();
            },
            [](const LSMedia&, const LSMedia& a, auto&) { EXPECT_EQ(a.aspectOption, AspectOption4x3); }, 1 },
        { "a commit clears the profile name", false,
            [](auto& p) {
                p.media()->strProfileName = QStringLiteral("iPad Air");
                p.finishedSettings();
            },
            [](const LSMedia&, const LSMedia& a, auto&) { EXPECT_TRUE(a.strProfileName.isEmpty()); }, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto item = c.audioOnly ? audioItem() : videoItem(kVideoFmt);
        item->strDescription = QStringLiteral("summary before");
        panel->flushWithMedia(item);
        const auto before = item->copy();
        delegate.calls = 0;
        signals_ = 0;
        alerts.clear();
        c.act(*panel);
        QCoreApplication::processEvents();
        c.check(*before, *item, *panel);
        if (c.commits >= 0)
            EXPECT_EQ(delegate.calls, c.commits);
        else
            EXPECT_GE(delegate.calls, 1);
        EXPECT_EQ(signals_, delegate.calls);
        EXPECT_EQ(delegate.last, panel.get());
        EXPECT_TRUE(alerts.empty());
    }
}

TEST_F(SettingsPanel, SwitchingItemsKeepsEachItemsSettings)
{
    auto first = videoItem(kVideoFmt);
    auto second = videoItem(kVideoFmt);
    panel->flushWithMedia(first);
    pickFormat(*panel, kOtherVideoFmt);
    retype(panel->pCombABitrate, QStringLiteral("96"));
    panel->flushWithMedia(second);
    retype(panel->pCombABitrate, QStringLiteral("320"));
    panel->flushWithMedia(first);
    EXPECT_EQ(panel->selectedFormatTitle(), kOtherVideoFmt);
    EXPECT_EQ(panel->pCombABitrate->currentText(), QStringLiteral("96"));
    EXPECT_EQ(first->strFmtName, kOtherVideoFmt);
    EXPECT_DOUBLE_EQ(first->dAOBitrate, 96);
    EXPECT_EQ(second->strFmtName, kVideoFmt);
    EXPECT_DOUBLE_EQ(second->dAOBitrate, 320);
}

TEST_F(SettingsPanel, ResolutionCheckRefusesAnythingButOneStar)
{
    struct Case {
        const char* name;
        std::function<void(QLineEdit*)> keys;
        int alerts;
        const char* text;
    };
    const std::vector<Case> cases = {
        { "a second star",
            [](QLineEdit* e) {
                e->end(false);
                typeText(e, "*");
            },
            1, "1920*1080" },
        { "removing the star",
            [](QLineEdit* e) {
                e->setCursorPosition(5);
                pressKey(e, Qt::Key_Backspace);
            },
            1, "1920*1080" },
        // Typing a new size over a selected one fails at the first key and
        // again at its star: "6" is refused, "40" extends the height, "*"
        // is refused, "480" extends it again.
        { "typing over the whole text",
            [](QLineEdit* e) {
                e->selectAll();
                typeText(e, "640*480");
            },
            2, "1920*108040480" },
        { "editing the height",
            [](QLineEdit* e) {
                e->end(false);
                for (int i = 0; i < 4; ++i)
                    pressKey(e, Qt::Key_Backspace);
                typeText(e, "720");
            },
            0, "1920*720" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        panel->strLastCorrectRes.clear();
        auto item = videoItem();
        ASSERT_EQ(item->strOResolution, QStringLiteral("1920*1080"));
        panel->flushWithMedia(item);
        c.keys(panel->pCombResolution->lineEdit());
        EXPECT_EQ(int(alerts.size()), c.alerts);
        for (const Alert& a : alerts) {
            EXPECT_EQ(a.title, QStringLiteral("Please input right format"));
            EXPECT_EQ(a.message, QStringLiteral("Like this 640*480"));
            EXPECT_EQ(a.button, QStringLiteral("OK"));
        }
        EXPECT_EQ(panel->pCombResolution->currentText(), QString::fromLatin1(c.text));
        EXPECT_EQ(panel->strLastCorrectRes, panel->pCombResolution->currentText());
        EXPECT_EQ(item->strOResolution, panel->pCombResolution->currentText());
    }
}

TEST_F(SettingsPanel, LastGoodResolutionSurvivesFromOneItemToTheNext)
{
    auto first = videoItem();
    panel->flushWithMedia(first);
    panel->pCombResolution->lineEdit()->end(false);
    typeText(panel->pCombResolution->lineEdit(), "0"); // 1920*10800 passes
    EXPECT_EQ(panel->strLastCorrectRes, QStringLiteral("1920*10800"));
    auto second = videoItem(kVideoFmt);
    panel->flushWithMedia(second);
    panel->pCombResolution->lineEdit()->end(false);
    typeText(panel->pCombResolution->lineEdit(), "*");
    ASSERT_EQ(alerts.size(), 1u);
    // The text put back is the last good text, which came from the first item.
    EXPECT_EQ(panel->pCombResolution->currentText(), QStringLiteral("1920*10800"));
    EXPECT_EQ(second->strOResolution, QStringLiteral("1920*10800"));
}

TEST_F(SettingsPanel, SaveSettinsToDefaultsStoresTheProfileUnderTheItemsKind)
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    struct Case {
        std::function<std::shared_ptr<LSMedia>()> item;
        QString pick;
        QString key;
    };
    const std::vector<Case> cases = {
        { [] { return videoItem(kVideoFmt); }, kOtherVideoFmt, AppDefaultVideoCodecNameKey1 },
        { [] { return audioItem(); }, kAudioFmt, AppDefaultAudioCodecNameKey1 },
        // A video item given an audio profile is audio output now.
        { [] { return videoItem(kVideoFmt); }, QStringLiteral("FLAC Lossless Audio (flac)"),
            AppDefaultAudioCodecNameKey1 },
    };
    for (const Case& c : cases) {
        defaults.removeObjectForKey(AppDefaultVideoCodecNameKey1);
        defaults.removeObjectForKey(AppDefaultAudioCodecNameKey1);
        panel->flushWithMedia(c.item());
        pickFormat(*panel, c.pick);
        panel->saveSettinsToDefaults();
        // Written out at once: a second reader of the file sees it.
        UserDefaults reader(defaults.filePath());
        EXPECT_EQ(reader.stringForKey(c.key), c.pick);
        const QString other
            = c.key == AppDefaultVideoCodecNameKey1 ? AppDefaultAudioCodecNameKey1 : AppDefaultVideoCodecNameKey1;
        EXPECT_FALSE(reader.hasStoredValue(other));
    }
    // With no item shown, the profile still in the menu decides by its own kind.
    defaults.removeObjectForKey(AppDefaultAudioCodecNameKey1);
    panel->flushWithMedia(audioItem());
    pickFormat(*panel, kAudioFmt);
    panel->flushWithMedia(nullptr);
    panel->saveSettinsToDefaults();
    EXPECT_EQ(UserDefaults(defaults.filePath()).stringForKey(AppDefaultAudioCodecNameKey1), kAudioFmt);
}

TEST_F(SettingsPanel, MoreInfoOpensOneWindowThatFollowsTheItem)
{
    EXPECT_EQ(panel->infoWndCtl(), nullptr);
    auto first = videoItem();
    panel->flushWithMedia(first);
    panel->moreInfoClicked();
    ZKMediaInfoWndCtl* window = panel->infoWndCtl();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->infoViewCtl()->media(), first);
    auto second = audioItem();
    panel->flushWithMedia(second);
    EXPECT_EQ(window->infoViewCtl()->media(), second);
    window->close();
    panel->moreInfoClicked();
    EXPECT_EQ(panel->infoWndCtl(), window);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(SettingsPanel, FocusOnFormatMenuOpensIt)
{
    panel->show();
    panel->flushWithMedia(videoItem());
    panel->focusOnFmtPopUpButton();
    EXPECT_TRUE(panel->pBtnFormat->view()->isVisible());
    panel->pBtnFormat->hidePopup();
}

// ---------------------------------------------------------------------------
// The sheet

namespace {

struct ListDelegate : FormatSettingWndCtlDelegate {
    std::vector<std::shared_ptr<LSMedia>> items;
    FormatSettingWndCtl* sheet = nullptr;
    std::vector<std::string> calls;

    int32_t mediasCount() override { return int32_t(items.size()); }
    int32_t indexOfMedia(const std::shared_ptr<LSMedia>& m) override
    {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == m)
                return int32_t(i);
        return -1;
    }
    void step(int by)
    {
        const int n = int(items.size());
        const int i = indexOfMedia(sheet->mediaSyc());
        sheet->setMediaSyc(items[size_t(((i + by) % n + n) % n)]);
    }
    void formatWndPrevDown(QObject*) override
    {
        calls.push_back("prev");
        step(-1);
    }
    void formatWndNextDown(QObject*) override
    {
        calls.push_back("next");
        step(1);
    }
};

class SettingsSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZKFmtSettingsViewCtl::setAlertHandler([this](QWidget*, const QString& t, const QString& m, const QString& b) {
            alerts.push_back({ t, m, b });
        });
        sheet = std::make_unique<FormatSettingWndCtl>(&owner);
        list.sheet = sheet.get();
        sheet->setDelegate(&list);
        UserDefaults& d = UserDefaults::standardUserDefaults();
        for (const QString& k :
            { AppDefaultVideoCodecNameKey1, AppDefaultAudioCodecNameKey1, Default_Profile_key, UseIBooksAuthor })
            d.removeObjectForKey(k);
    }
    void TearDown() override { ZKFmtSettingsViewCtl::setAlertHandler({}); }

    QWidget owner;
    std::vector<Alert> alerts;
    ListDelegate list;
    std::unique_ptr<FormatSettingWndCtl> sheet;
};

} // namespace

TEST_F(SettingsSheet, PreviousAndNextFollowThePositionInTheList)
{
    struct Case {
        int count;
        int index;
        bool prev;
        bool next;
    };
    const Case cases[] = { { 1, 0, false, false }, { 0, -1, false, false }, { 3, 0, false, true }, { 3, 1, true, true },
        { 3, 2, true, false }, { 3, -1, true, true } };
    for (const Case& c : cases) {
        list.items.clear();
        for (int i = 0; i < c.count; ++i)
            list.items.push_back(videoItem());
        sheet->setMediaSyc(c.index >= 0 ? list.items[size_t(c.index)] : videoItem());
        EXPECT_EQ(sheet->btnPrev->isEnabled(), c.prev) << c.count << " " << c.index;
        EXPECT_EQ(sheet->btnNext->isEnabled(), c.next) << c.count << " " << c.index;
    }
    EXPECT_EQ(FormatSettingWndCtl::sharedFormatSettingWndCtl(), sheet.get());
}

TEST_F(SettingsSheet, EditsWaitForPreviousNextOrDone)
{
    list.items = { videoItem(kVideoFmt), videoItem(kVideoFmt), videoItem(kVideoFmt) };
    sheet->setMediaSyc(list.items[0]);
    EXPECT_EQ(sheet->lblTitle->text(), QStringLiteral("holiday trip.mov"));
    ZKFmtSettingsViewCtl& form = *sheet->settingsView;
    const auto before = list.items[0]->copy();

    pickFormat(form, kOtherVideoFmt);
    form.radioBitrate->click();
    retype(form.pCombVBitrate, QStringLiteral("1800"));
    pickEntry(form.pCombABitrate, QStringLiteral("320"));
    QCoreApplication::processEvents();
    // Nothing reached the item yet.
    EXPECT_EQ(list.items[0]->strFmtName, kVideoFmt);
    EXPECT_TRUE(list.items[0]->bSampeQuality);
    EXPECT_DOUBLE_EQ(list.items[0]->dVOBitrate, before->dVOBitrate);
    EXPECT_DOUBLE_EQ(list.items[0]->dAOBitrate, before->dAOBitrate);

    sheet->btnNext->click();
    EXPECT_EQ(list.calls, std::vector<std::string> { "next" });
    EXPECT_EQ(list.items[0]->strFmtName, kOtherVideoFmt);
    EXPECT_FALSE(list.items[0]->bSampeQuality);
    EXPECT_DOUBLE_EQ(list.items[0]->dVOBitrate, 1800);
    EXPECT_DOUBLE_EQ(list.items[0]->dAOBitrate, 320);
    EXPECT_EQ(list.items[0]->strOutFileExt, QStringLiteral("webm"));
    EXPECT_EQ(sheet->mediaSyc(), list.items[1]);
    EXPECT_TRUE(sheet->btnPrev->isEnabled());

    retype(form.pCombABitrate, QStringLiteral("64"));
    sheet->btnPrev->click();
    EXPECT_EQ(list.calls, (std::vector<std::string> { "next", "prev" }));
    EXPECT_DOUBLE_EQ(list.items[1]->dAOBitrate, 64);
    EXPECT_EQ(sheet->mediaSyc(), list.items[0]);
}

TEST_F(SettingsSheet, CancelLeavesTheItemAsItWas)
{
    auto item = videoItem(kVideoFmt);
    list.items = { item };
    sheet->beginSheet();
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(sheet->isVisible());
    sheet->setMediaSyc(item);
    const auto before = item->copy();
    ZKFmtSettingsViewCtl& form = *sheet->settingsView;
    pickFormat(form, kAudioFmt);
    form.radioBitrate->click();
    retype(form.pCombABitrate, QStringLiteral("32"));
    sheet->btnCancel->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_EQ(item->strFmtName, before->strFmtName);
    EXPECT_EQ(item->eumDestFmtType, before->eumDestFmtType);
    EXPECT_EQ(item->bSampeQuality, before->bSampeQuality);
    EXPECT_EQ(item->strOutFileExt, before->strOutFileExt);
    EXPECT_DOUBLE_EQ(item->dAOBitrate, before->dAOBitrate);
}

TEST_F(SettingsSheet, ResolutionAlertHasItsOwnTitle)
{
    sheet->setMediaSyc(videoItem());
    QLineEdit* edit = sheet->settingsView->pCombResolution->lineEdit();
    edit->end(false);
    typeText(edit, "*");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, QStringLiteral("input right format"));
    EXPECT_EQ(alerts[0].message, QStringLiteral("Like this 640*480"));
    EXPECT_EQ(sheet->settingsView->pCombResolution->currentText(), QStringLiteral("1920*1080"));
}

TEST_F(SettingsSheet, DoneStoresDefaultsWhenAskedAndCommits)
{
    struct Case {
        bool check;
        QString pick;
        std::map<QString, QVariant> stored;
    };
    const std::vector<Case> cases = {
        { false, kOtherVideoFmt, {} },
        { true, kOtherVideoFmt, { { AppDefaultVideoCodecNameKey1, kOtherVideoFmt }, { UseIBooksAuthor, false } } },
        { true, kAudioFmt, { { AppDefaultAudioCodecNameKey1, kAudioFmt }, { UseIBooksAuthor, false } } },
    };
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pick.toStdString());
        for (const QString& k : { AppDefaultVideoCodecNameKey1, AppDefaultAudioCodecNameKey1, UseIBooksAuthor })
            defaults.removeObjectForKey(k);
        defaults.synchronize();
        auto item = videoItem(kVideoFmt);
        sheet->setMediaSyc(item);
        sheet->btnChkDefault->setChecked(c.check);
        pickFormat(*sheet->settingsView, c.pick);
        sheet->beginSheet();
        sheet->btnDone->click();
        EXPECT_FALSE(sheet->isVisible());
        EXPECT_EQ(sheet->result(), QDialog::Accepted);
        EXPECT_EQ(item->strFmtName, c.pick);
        UserDefaults reader(defaults.filePath());
        for (const QString& k : { AppDefaultVideoCodecNameKey1, AppDefaultAudioCodecNameKey1, UseIBooksAuthor }) {
            const auto it = c.stored.find(k);
            if (it == c.stored.end())
                EXPECT_FALSE(reader.hasStoredValue(k)) << k.toStdString();
            else
                EXPECT_EQ(reader.objectForKey(k).toString(), it->second.toString()) << k.toStdString();
        }
    }
}

TEST_F(SettingsSheet, BookProfileShowsTheDeviceChoiceInsteadOfTheSettings)
{
    const QString book = FormatSettingWndCtl::iBooksAuthorTitle();
    ASSERT_TRUE(catalogue().fmtDictionaryWitName(book).has_value());
    auto item = videoItem(kVideoFmt);
    sheet->setMediaSyc(item);
    ZKFmtSettingsViewCtl& form = *sheet->settingsView;
    EXPECT_TRUE(sheet->boxProfile->isHidden());
    EXPECT_FALSE(form.boxVideo->isHidden());

    pickFormat(form, book);
    EXPECT_FALSE(sheet->boxProfile->isHidden());
    EXPECT_TRUE(form.boxVideo->isHidden());
    EXPECT_TRUE(form.boxAudio->isHidden());
    EXPECT_EQ(listEntries(sheet->pBtnProfile), titles(catalogue().aryDevices()));
    EXPECT_FALSE(sheet->profileImgView->pixmap().isNull());

    pickEntry(sheet->pBtnProfile, QStringLiteral("iPad Air"));
    EXPECT_FALSE(sheet->profileImgView->pixmap().isNull());
    sheet->btnChkDefault->setChecked(true);
    sheet->btnDone->click();
    UserDefaults reader(UserDefaults::standardUserDefaults().filePath());
    EXPECT_EQ(reader.stringForKey(Default_Profile_key), QStringLiteral("iPad Air"));
    EXPECT_TRUE(reader.boolForKey(UseIBooksAuthor));
    EXPECT_FALSE(reader.hasStoredValue(AppDefaultVideoCodecNameKey1));
    // The item takes the book profile with its own extension.
    EXPECT_EQ(item->strFmtName, book);
    EXPECT_EQ(item->strOutFileExt, profile(book).value(QStringLiteral("ext")).toString());
    EXPECT_EQ(item->readableVOCodecName, def(book, "vcodec"));

    // Another pick brings the settings back.
    sheet->setMediaSyc(videoItem(kVideoFmt));
    EXPECT_TRUE(sheet->boxProfile->isHidden());
    pickFormat(form, book);
    pickFormat(form, kVideoFmt);
    EXPECT_TRUE(sheet->boxProfile->isHidden());
    EXPECT_FALSE(form.boxVideo->isHidden());
    EXPECT_FALSE(form.boxAudio->isHidden());
}

// ---------------------------------------------------------------------------
// The format description cell

TEST(FormatDescriptionCell, IconClickPostsTheNotification)
{
    QListView view;
    QStandardItemModel model;
    auto* row = new QStandardItem(QStringLiteral("new iPhone"));
    row->setData(FormatUtils::profileImage(profile(QStringLiteral("new iPhone"))), Qt::DecorationRole);
    row->setData(QVariantMap { { "VideoDescription", "H.264, 1920*1080" }, { "AudioDescription", "AAC, 160 kbps" } },
        FormatDescriptionCell::DicFormatRole);
    model.appendRow(row);
    FormatDescriptionCell cell;
    view.setModel(&model);
    view.setItemDelegate(&cell);
    view.resize(320, 120);
    view.show();

    QObject context;
    int posted = 0;
    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("LSFormatIconDidClickedNotification"), &context, [&](const Notification& n) {
            ++posted;
            EXPECT_EQ(n.object, nullptr);
        });
    const QRect frame = view.visualRect(model.index(0, 0));
    EXPECT_EQ(FormatDescriptionCell::iconRect(frame), QRect(frame.x() + 4, frame.y() + 2, 40, frame.height() - 4));
    const QPoint icon = FormatDescriptionCell::iconRect(frame).center();
    const QPoint title = FormatDescriptionCell::titleRect(frame).center();
    auto click = [&](QPoint down, QPoint up) {
        QMouseEvent press(QEvent::MouseButtonPress, down, view.viewport()->mapToGlobal(down), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, up, view.viewport()->mapToGlobal(up), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &release);
    };
    const struct {
        QPoint down, up;
        int posted;
    } cases[] = { { icon, icon, 1 }, { icon, title, 0 }, { title, icon, 0 }, { title, title, 0 } };
    for (const auto& c : cases) {
        posted = 0;
        click(c.down, c.up);
        EXPECT_EQ(posted, c.posted) << c.down.x() << "," << c.up.x();
    }
}
