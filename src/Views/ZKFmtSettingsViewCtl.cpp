#include "Views/ZKFmtSettingsViewCtl.h"

#include "Common/WindowController/ZKMediaInfoWndCtl.h"
#include "Formats/FormatUtils.h"
#include "Media/LSMedia.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "Views/ZKFmtSettingsViewCtl+Menu.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QToolButton>

#include <cmath>

namespace {

ZKFmtSettingsViewCtl::AlertHandler& alertHandler()
{
    static ZKFmtSettingsViewCtl::AlertHandler handler;
    return handler;
}

// Selects the entry with exactly this text, or shows the text with no entry
// selected when the list does not hold it.
void selectListValue(QComboBox* list, const QString& text)
{
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        list->setCurrentIndex(index);
    } else {
        list->setCurrentIndex(-1);
        list->setEditText(text);
    }
}

QString wholeNumberText(double value)
{
    return QString::asprintf("%0.0f", value);
}

// A frame rate is shown as the list's entry of the same value; other values
// keep their decimals (29.97 stays 29.97), so that a later commit of an
// unrelated change does not round the item's frame rate.
QString frameRateText(const QComboBox* list, double value)
{
    for (int i = 0; i < list->count(); ++i) {
        if (std::fabs(FormatUtils::lenientDouble(list->itemText(i)) - value) < 1e-6)
            return list->itemText(i);
    }
    if (std::fabs(value - std::round(value)) < 1e-6)
        return wholeNumberText(value);
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// The text of a symbolic localisation key ("Video Info"); the English format
// when the loaded translations do not hold the key.
QString localizedFormat(const char* key, const char* english)
{
    const QString text = QCoreApplication::translate("Localizable", key);
    return text == QLatin1String(key) ? QString::fromUtf8(english) : text;
}

} // namespace

ZKFmtSettingsViewCtl::ZKFmtSettingsViewCtl(QWidget* parent)
    : ZKFmtSettingsViewCtl(Presentation::Embedded, parent)
{
}

ZKFmtSettingsViewCtl::ZKFmtSettingsViewCtl(Presentation presentation, QWidget* parent)
    : QWidget(parent)
    , m_presentation(presentation)
{
    setObjectName(QStringLiteral("ZKFmtSettingsViewCtl"));
    awakeFromNib();
}

ZKFmtSettingsViewCtl::~ZKFmtSettingsViewCtl() = default;

void ZKFmtSettingsViewCtl::setAlertHandler(AlertHandler handler)
{
    alertHandler() = std::move(handler);
}

void ZKFmtSettingsViewCtl::showAlert(const QString& title, const QString& message, const QString& button)
{
    if (alertHandler()) {
        alertHandler()(this, title, message, button);
        return;
    }
    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setText(title);
    box.setInformativeText(message);
    box.addButton(button, QMessageBox::AcceptRole);
    box.exec();
}

void ZKFmtSettingsViewCtl::awakeFromNib()
{
    if (nibAwaked)
        return;
    buildLayout();
    // The menu starts empty; it is built for each item shown.
    m_fmtMenuModel->clear();
    connectControls();
    if (m_presentation == Presentation::Embedded)
        clearAllFields();
    nibAwaked = true;
}

void ZKFmtSettingsViewCtl::connectControls()
{
    connect(pBtnFormat, &QComboBox::activated, this, [this](int) { pFormatBtnDown(); });
    connect(btnMoreInfo, &QToolButton::clicked, this, [this] { moreInfoClicked(btnMoreInfo); });
    connect(mtrxBitrate, &QButtonGroup::idClicked, this, &ZKFmtSettingsViewCtl::bitrateOptionDown);
    for (QComboBox* list :
        { pCombVCodec, pCombResolution, pCombVBitrate, pCombFps, pCombACodec, pCombSamplerate, pCombABitrate }) {
        // Only the user's own edits and picks count; setting a text or an
        // index from code sends neither signal.
        connect(list->lineEdit(), &QLineEdit::textEdited, this, [this, list] { controlTextDidChange(list); });
        connect(list, &QComboBox::activated, this, [this, list](int) { comboBoxSelectionDidChange(list); });
    }
    // The aspect is read at every commit; picking one commits too, so that
    // the choice reaches the item without another change.
    connect(pBtnAspect, &QComboBox::activated, this, [this](int) { comboBoxSelectionDidChange(pBtnAspect); });
}

// ---------------------------------------------------------------------------
// Showing an item

void ZKFmtSettingsViewCtl::flushWithMedia(const std::shared_ptr<LSMedia>& media)
{
    mediaSyc = media;
    flushInterfaceWithMedia(media);
}

void ZKFmtSettingsViewCtl::clearAllFields()
{
    lblOrigenVideoInfo->setText(tr("Video Info"));
    lblOrigenAudioInfo->setText(tr("Audio Info"));
    for (QWidget* w :
        std::initializer_list<QWidget*> { pBtnFormat, pCombVCodec, pCombResolution, pCombVBitrate, pCombFps,
            pCombACodec, pCombSamplerate, pCombABitrate, pBtnAspect, radioSameQuality, radioBitrate, btnMoreInfo })
        w->setEnabled(false);
}

void ZKFmtSettingsViewCtl::enableAllFields()
{
    for (QWidget* w :
        std::initializer_list<QWidget*> { pBtnFormat, pCombVCodec, pCombResolution, pCombVBitrate, pCombFps,
            pCombACodec, pCombSamplerate, pCombABitrate, pBtnAspect, radioSameQuality, radioBitrate, btnMoreInfo })
        w->setEnabled(true);
}

void ZKFmtSettingsViewCtl::flushInterfaceWithMedia(const std::shared_ptr<LSMedia>& media)
{
    const bool embedded = m_presentation == Presentation::Embedded;
    if (embedded && m_infoWndCtl)
        m_infoWndCtl->flushWithMedia(media);
    if (!media) {
        if (embedded)
            clearAllFields();
        return;
    }
    if (embedded)
        enableAllFields();

    flushFmtMenuWithMeidaType(media->mediaType);
    const int entry = FmtMenu::indexOfTitle(m_fmtMenuModel, media->strFmtName);
    pBtnFormat->setCurrentIndex(entry);

    loadSelectedProfile();
    // An audio file's disabled video lists show nothing rather than the
    // values of the item shown before; no commit of an audio file reads them.
    if (media->isAudioOnly()) {
        for (QComboBox* list : { pCombVCodec, pCombVBitrate, pCombFps, pCombResolution }) {
            list->clear();
            list->clearEditText();
        }
    }

    if (!media->isAudioOnly() && media->eumDestFmtType != DestFmtTypeAudio) {
        selectListValue(pCombVCodec, media->readableVOCodecName);
        configureMtrixBitrate();
        selectListValue(pCombFps, frameRateText(pCombFps, media->vOFps));
        pCombResolution->setEditText(media->strOResolution);
    }
    selectListValue(pCombACodec, media->readableAOCodecName);
    selectListValue(pCombABitrate, wholeNumberText(media->dAOBitrate));
    selectListValue(pCombSamplerate, wholeNumberText(media->dAOSamplerate));

    fillSourceInfo();
    const int aspect = media->aspectOption;
    pBtnAspect->setCurrentIndex(aspect >= 0 && aspect < pBtnAspect->count() ? aspect : 0);
}

void ZKFmtSettingsViewCtl::fillSourceInfo()
{
    const LSMedia& m = *mediaSyc;
    if (m.isAudioOnly()) {
        // An audio file has no video properties to list.
        lblOrigenVideoInfo->setText(tr("Video: none"));
    } else {
        lblOrigenVideoInfo->setText(localizedFormat("Video Info", "Video: %1, %2*%3, %4 fps, %5 kbps")
                                        .arg(m.videoCodecName)
                                        .arg(m.pixWidth)
                                        .arg(m.pixHeight)
                                        .arg(QString::asprintf("%.2f", m.videoFps))
                                        .arg(QString::asprintf("%.0f", double(m.videoBitrate) / 1000.0)));
    }
    lblOrigenAudioInfo->setText(localizedFormat("Audio Info", "Audio: %1, %2 channels, %3 Hz, %4 kbps")
                                    .arg(m.audioCodecName)
                                    .arg(m.audioChannels)
                                    .arg(QString::asprintf("%.0f", double(m.audioSamplerate)))
                                    .arg(QString::asprintf("%.0f", double(m.audioBitrate) / 1000.0)));
}

void ZKFmtSettingsViewCtl::flushFmtMenuWithMeidaType(int mediaType)
{
    const FormatUtils& catalogue = FormatUtils::sharedInstance();
    m_fmtMenuModel->clear();
    auto addGroup = [this](const QString& header, const QVariantList& profiles) {
        m_fmtMenuModel->appendRow(FmtMenu::headerItem(header));
        for (const QVariant& value : profiles) {
            const QVariantMap profile = value.toMap();
            QStandardItem* item = FmtMenu::profileItem(profile.value(QString::fromLatin1(FmtTitleKey)).toString());
            setItem(item, FormatUtils::profileImage(profile));
            m_fmtMenuModel->appendRow(item);
        }
    };
    if (mediaType == 0) {
        addGroup(tr("Devices"), catalogue.aryDevices());
        m_fmtMenuModel->appendRow(FmtMenu::separatorItem());
        addGroup(tr("Video Formats"), catalogue.aryVideoFmts());
        m_fmtMenuModel->appendRow(FmtMenu::separatorItem());
    }
    addGroup(tr("Audio Formats"), catalogue.aryAudioFmts());
}

void ZKFmtSettingsViewCtl::setItem(QStandardItem* item, const QImage& image)
{
    if (!item)
        return;
    const QImage scaled = FmtMenu::menuImage(image);
    item->setData(scaled.isNull() ? QVariant() : QVariant(scaled), FmtMenu::MenuImageRole);
    item->setData(scaled.isNull() ? QVariant() : QVariant(QIcon(QPixmap::fromImage(scaled))), Qt::DecorationRole);
}

QString ZKFmtSettingsViewCtl::selectedFormatTitle() const
{
    return pBtnFormat->currentIndex() < 0 ? QString() : pBtnFormat->currentText();
}

QVariantMap ZKFmtSettingsViewCtl::selectedProfile() const
{
    return FormatUtils::sharedInstance().fmtDictionaryWitName(selectedFormatTitle()).value_or(QVariantMap());
}

void ZKFmtSettingsViewCtl::configureMtrixBitrate()
{
    if (!mediaSyc)
        return;
    selectListValue(pCombVBitrate, wholeNumberText(mediaSyc->dVOBitrate));
    if (mediaSyc->bSampeQuality) {
        radioSameQuality->setChecked(true);
        pCombVBitrate->setEnabled(false);
    } else {
        radioBitrate->setChecked(true);
        pCombVBitrate->setEnabled(true);
        pCombVBitrate->setEditable(true);
    }
}

void ZKFmtSettingsViewCtl::clearAllFormatInfo(bool videoToo)
{
    if (videoToo) {
        for (QComboBox* list : { pCombVCodec, pCombVBitrate, pCombFps, pCombResolution }) {
            list->clear();
            list->clearEditText();
        }
    }
    for (QComboBox* list : { pCombACodec, pCombABitrate, pCombSamplerate }) {
        list->clear();
        list->clearEditText();
    }
}

void ZKFmtSettingsViewCtl::setVideoControlsEnabled(bool enabled)
{
    for (QWidget* w :
        std::initializer_list<QWidget*> { pCombVCodec, pCombResolution, pCombFps, radioSameQuality, radioBitrate })
        w->setEnabled(enabled);
    pCombVBitrate->setEnabled(enabled && radioBitrate->isChecked());
}

void ZKFmtSettingsViewCtl::fillList(QComboBox* list, const QVariantMap& profile, const QString& key)
{
    list->clear();
    list->addItems(FormatUtils::choiceValues(profile, key));
    selectListValue(list, FormatUtils::choiceDefault(profile, key));
}

void ZKFmtSettingsViewCtl::loadSelectedProfile()
{
    const QVariantMap profile = selectedProfile();
    const int type = FormatUtils::formatType(profile);
    setVideoControlsEnabled(type != DestFmtTypeAudio);
    strCurExtName = profile.value(QString::fromLatin1(FmtExtKey)).toString();
    clearAllFormatInfo(!(mediaSyc && mediaSyc->isAudioOnly()));
    if (type != DestFmtTypeAudio) {
        fillList(pCombVCodec, profile, QString::fromLatin1(FmtVCodecKey));
        fillList(pCombVBitrate, profile, QString::fromLatin1(FmtVBitrateKey));
        fillList(pCombFps, profile, QString::fromLatin1(FmtFrameRateKey));
        fillList(pCombResolution, profile, QString::fromLatin1(FmtResolutionKey));
    }
    fillList(pCombACodec, profile, QString::fromLatin1(FmtACodecKey));
    fillList(pCombABitrate, profile, QString::fromLatin1(FmtABitrateKey));
    fillList(pCombSamplerate, profile, QString::fromLatin1(FmtSampleRateKey));
}

// ---------------------------------------------------------------------------
// The user's actions

void ZKFmtSettingsViewCtl::pFormatBtnDown()
{
    if (m_pickHandler && m_pickHandler(selectedFormatTitle()))
        return;
    loadSelectedProfile();
    // The sheet keeps a pick pending until Previous, Next or Done, so that
    // Cancel leaves the item as it was.
    if (m_presentation == Presentation::Embedded)
        finishedSettings();
}

void ZKFmtSettingsViewCtl::bitrateOptionDown(int tag)
{
    const bool chosenRate = tag == 1;
    pCombVBitrate->setEnabled(chosenRate);
    if (chosenRate)
        pCombVBitrate->setEditable(true);
    if (m_presentation != Presentation::Embedded)
        return; // the sheet writes the option with its commit
    if (mediaSyc)
        mediaSyc->bSampeQuality = !chosenRate;
    finishedSettings();
}

void ZKFmtSettingsViewCtl::controlTextDidChange(QComboBox* control)
{
    if (control == pCombResolution)
        checkResolution();
    if (m_presentation == Presentation::Embedded)
        finishedSettings();
}

void ZKFmtSettingsViewCtl::comboBoxSelectionDidChange(QComboBox*)
{
    if (m_presentation != Presentation::Embedded)
        return;
    // Queued, so that the commit reads the control after the pick took effect.
    QMetaObject::invokeMethod(
        this, [this] { finishedSettings(); }, Qt::QueuedConnection);
}

bool ZKFmtSettingsViewCtl::checkResolution()
{
    if (strLastCorrectRes.isEmpty() && mediaSyc)
        strLastCorrectRes = mediaSyc->strOResolution;
    bool good = true;
    if (pCombResolution->currentText().split(QLatin1Char('*')).size() != 2) {
        good = false;
        const QString title
            = m_presentation == Presentation::Embedded ? tr("Please input right format") : tr("input right format");
        showAlert(title, tr("Like this 640*480"), tr("OK"));
        pCombResolution->setEditText(strLastCorrectRes);
    }
    strLastCorrectRes = pCombResolution->currentText();
    return good;
}

// ---------------------------------------------------------------------------
// Commit

void ZKFmtSettingsViewCtl::finishedSettings()
{
    if (!mediaSyc)
        return;
    LSMedia& m = *mediaSyc;
    const FormatUtils& catalogue = FormatUtils::sharedInstance();
    const QString title = selectedFormatTitle();
    const QVariantMap profile = catalogue.fmtDictionaryWitName(title).value_or(QVariantMap());
    const int type = FormatUtils::formatType(profile);

    m.imgFormat = FormatUtils::profileImage(profile);
    m.eumDestFmtType = type;
    m.strFmtName = title;
    if (m.isAudioOnly())
        m.eumDestFmtType = DestFmtTypeAudio;
    m.strProfileName.clear();

    const auto codecFor = [&catalogue](const QString& readable) { return catalogue.dicCodecMap().value(readable); };
    if (type != DestFmtTypeAudio) {
        if (m_presentation == Presentation::Sheet)
            m.bSampeQuality = radioSameQuality->isChecked();
        m.readableVOCodecName = pCombVCodec->currentText();
        m.vOVCodecName = codecFor(m.readableVOCodecName);

        const QString resolution = pCombResolution->currentText();
        const int star = resolution.indexOf(QLatin1Char('*'));
        const int lastStar = resolution.lastIndexOf(QLatin1Char('*'));
        m.iOWidth = FormatUtils::lenientInt(star < 0 ? resolution : resolution.left(star));
        m.iOHeight = FormatUtils::lenientInt(lastStar < 0 ? resolution : resolution.mid(lastStar + 1));

        m.vOFps = FormatUtils::lenientDouble(pCombFps->currentText());

        const double sourceRate = double(m.videoBitrate) / 1000.0;
        m.dVOBitrate = m.bSampeQuality ? sourceRate : FormatUtils::lenientDouble(pCombVBitrate->currentText());
        if (m.dVOBitrate < 10)
            m.dVOBitrate = sourceRate;

        const QStringList parts = resolution.split(QLatin1Char('*'));
        m.strOResolution = parts.size() == 2
            ? QString::asprintf("%d*%d", FormatUtils::lenientInt(parts[0]), FormatUtils::lenientInt(parts[1]))
            : resolution;
    }
    m.readableAOCodecName = pCombACodec->currentText();
    m.vOACodecName = codecFor(m.readableAOCodecName);
    m.dAOBitrate = FormatUtils::lenientDouble(pCombABitrate->currentText());
    m.dAOSamplerate = FormatUtils::lenientDouble(pCombSamplerate->currentText());

    m.strOutFileExt = strCurExtName;
    m.aspectOption = std::max(0, pBtnAspect->currentIndex());

    if (m_presentation != Presentation::Embedded)
        return;
    if (m_delegate)
        m_delegate->fmtSettingsViewCtlSettingsDidChanged(this);
    emit settingsDidChanged();
}

// ---------------------------------------------------------------------------
// Defaults, information window, focus

void ZKFmtSettingsViewCtl::saveSettinsToDefaults()
{
    const QString title = selectedFormatTitle();
    if (title.isEmpty())
        return;
    // With no item shown the profile's own kind decides the key.
    const bool audio = mediaSyc ? mediaSyc->eumDestFmtType == DestFmtTypeAudio
                                : FormatUtils::formatType(selectedProfile()) == DestFmtTypeAudio;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setString(title, audio ? AppDefaultAudioCodecNameKey1 : AppDefaultVideoCodecNameKey1);
    defaults.synchronize();
}

void ZKFmtSettingsViewCtl::moreInfoClicked(QObject*)
{
    if (!m_infoWndCtl)
        m_infoWndCtl = new ZKMediaInfoWndCtl(this);
    m_infoWndCtl->showWindow();
    m_infoWndCtl->flushWithMedia(mediaSyc);
}

void ZKFmtSettingsViewCtl::focusOnFmtPopUpButton()
{
    pBtnFormat->setFocus(Qt::OtherFocusReason);
    pBtnFormat->showPopup();
}
