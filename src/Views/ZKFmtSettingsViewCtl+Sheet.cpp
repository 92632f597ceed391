#include "Views/ZKFmtSettingsViewCtl+Sheet.h"

#include "Formats/FormatUtils.h"
#include "Media/LSMedia.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<FormatSettingWndCtl>& sharedSheet()
{
    static QPointer<FormatSettingWndCtl> sheet;
    return sheet;
}
} // namespace

QString FormatSettingWndCtl::iBooksAuthorTitle()
{
    return QStringLiteral("iBooks Author (m4v/m4a)");
}

FormatSettingWndCtl::FormatSettingWndCtl(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormatSetting"));
    setWindowTitle(tr("Format Settings"));
    setSizeGripEnabled(false);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 12, 0, 12);
    root->setSpacing(10);

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblTitle->setAlignment(Qt::AlignCenter);
    lblTitle->setContentsMargins(12, 0, 12, 0);
    root->addWidget(lblTitle);

    settingsView = new ZKFmtSettingsViewCtl(ZKFmtSettingsViewCtl::Presentation::Sheet, this);
    settingsView->setFormatPickHandler([this](const QString& title) { return pickFormat(title); });
    root->addWidget(settingsView, 1);

    // The profile box takes the place of the video and audio boxes.
    boxProfile = new QGroupBox(tr("Profile"), settingsView->boxFmts);
    boxProfile->setObjectName(QStringLiteral("boxProfile"));
    auto* profileLayout = new QHBoxLayout(boxProfile);
    profileLayout->setContentsMargins(10, 8, 10, 10);
    profileLayout->setSpacing(12);
    profileImgView = new QLabel(boxProfile);
    profileImgView->setObjectName(QStringLiteral("profileImgView"));
    profileImgView->setFixedSize(72, 72);
    profileImgView->setAlignment(Qt::AlignCenter);
    auto* profileForm = new QFormLayout;
    profileForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pBtnProfile = new QComboBox(boxProfile);
    pBtnProfile->setObjectName(QStringLiteral("pBtnProfile"));
    pBtnProfile->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lblProfileDesc
        = new QLabel(tr("The video is made with the settings of the chosen device, the audio as AAC."), boxProfile);
    lblProfileDesc->setObjectName(QStringLiteral("lblProfileDesc"));
    lblProfileDesc->setWordWrap(true);
    profileForm->addRow(tr("Device:"), pBtnProfile);
    profileForm->addRow(QString(), lblProfileDesc);
    profileLayout->addWidget(profileImgView, 0, Qt::AlignTop);
    profileLayout->addLayout(profileForm, 1);
    static_cast<QBoxLayout*>(settingsView->boxFmts->layout())->addWidget(boxProfile, 1, Qt::AlignTop);
    boxProfile->hide();
    connect(pBtnProfile, &QComboBox::activated, this, [this](int) { profilePBtnDown(); });

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 0);
    buttons->setSpacing(8);
    btnChkDefault = new QCheckBox(tr("Use for new files"), this);
    btnChkDefault->setObjectName(QStringLiteral("btnChkDefault"));
    btnPrev = new QPushButton(tr("Previous"), this);
    btnNext = new QPushButton(tr("Next"), this);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnDone = new QPushButton(tr("Done"), this);
    btnDone->setDefault(true);
    for (QPushButton* b : { btnPrev, btnNext, btnCancel, btnDone })
        b->setAutoDefault(false);
    btnDone->setAutoDefault(true);
    buttons->addWidget(btnChkDefault);
    buttons->addStretch(1);
    buttons->addWidget(btnPrev);
    buttons->addWidget(btnNext);
    buttons->addSpacing(12);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnDone);
    root->addLayout(buttons);

    connect(btnPrev, &QPushButton::clicked, this, &FormatSettingWndCtl::prevDown);
    connect(btnNext, &QPushButton::clicked, this, &FormatSettingWndCtl::nextDown);
    connect(btnCancel, &QPushButton::clicked, this, &FormatSettingWndCtl::cancelDown);
    connect(btnDone, &QPushButton::clicked, this, &FormatSettingWndCtl::doneDown);

    refreshPrevNext();
    sharedSheet() = this;
}

FormatSettingWndCtl::~FormatSettingWndCtl() = default;

FormatSettingWndCtl* FormatSettingWndCtl::sharedFormatSettingWndCtl()
{
    return sharedSheet().data();
}

void FormatSettingWndCtl::setMediaSyc(const std::shared_ptr<LSMedia>& media)
{
    settingsView->flushWithMedia(media);
    lblTitle->setText(media ? QFileInfo(media->filePath).fileName() : QString());
    pickFormat(settingsView->selectedFormatTitle());
    refreshPrevNext();
}

void FormatSettingWndCtl::beginSheet(QWidget* window)
{
    if (window && window != parentWidget())
        setParent(window, windowFlags());
    setWindowModality(Qt::WindowModal);
    open();
}

void FormatSettingWndCtl::refreshPrevNext()
{
    const int count = m_delegate ? m_delegate->mediasCount() : 0;
    const int index = m_delegate ? m_delegate->indexOfMedia(mediaSyc()) : -1;
    if (count <= 1) {
        btnPrev->setEnabled(false);
        btnNext->setEnabled(false);
    } else if (index == 0) {
        btnPrev->setEnabled(false);
        btnNext->setEnabled(true);
    } else {
        btnPrev->setEnabled(true);
        btnNext->setEnabled(index != count - 1);
    }
}

void FormatSettingWndCtl::prevDown()
{
    settingsView->finishedSettings();
    if (m_delegate)
        m_delegate->formatWndPrevDown(this);
}

void FormatSettingWndCtl::nextDown()
{
    settingsView->finishedSettings();
    if (m_delegate)
        m_delegate->formatWndNextDown(this);
}

void FormatSettingWndCtl::doneDown()
{
    // The commit goes first so that the item's kind, which picks the
    // defaults key, is the kind of the profile chosen here.
    settingsView->finishedSettings();
    if (btnChkDefault->isChecked()) {
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        const QString title = settingsView->selectedFormatTitle();
        if (title == iBooksAuthorTitle()) {
            defaults.setString(pBtnProfile->currentText(), Default_Profile_key);
            defaults.setBool(true, UseIBooksAuthor);
        } else {
            const auto media = mediaSyc();
            const bool audio = media && media->eumDestFmtType == DestFmtTypeAudio;
            defaults.setString(title, audio ? AppDefaultAudioCodecNameKey1 : AppDefaultVideoCodecNameKey1);
            defaults.setBool(false, UseIBooksAuthor);
        }
        defaults.synchronize();
    }
    accept();
}

void FormatSettingWndCtl::cancelDown()
{
    reject();
}

void FormatSettingWndCtl::profilePBtnDown()
{
    const auto profile = FormatUtils::sharedInstance().fmtDictionaryWitName(pBtnProfile->currentText());
    const QImage image = profile ? FormatUtils::profileImage(*profile) : QImage();
    if (image.isNull()) {
        profileImgView->clear();
        return;
    }
    const qreal dpr = profileImgView->devicePixelRatioF();
    QPixmap pixmap
        = QPixmap::fromImage(image.scaled(profileImgView->size() * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(dpr);
    profileImgView->setPixmap(pixmap);
}

void FormatSettingWndCtl::showProfileBox(bool show)
{
    settingsView->boxVideo->setVisible(!show);
    settingsView->boxAudio->setVisible(!show);
    boxProfile->setVisible(show);
}

bool FormatSettingWndCtl::pickFormat(const QString& title)
{
    if (title != iBooksAuthorTitle()) {
        showProfileBox(false);
        return false;
    }
    showProfileBox(true);
    pBtnProfile->clear();
    // The devices whose settings a book's video can take.
    for (const QVariant& value : FormatUtils::sharedInstance().aryDevices())
        pBtnProfile->addItem(value.toMap().value(QString::fromLatin1(FmtTitleKey)).toString());
    const auto media = mediaSyc();
    if (media && !media->strProfileName.isEmpty()) {
        const int index = pBtnProfile->findText(media->strProfileName, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            pBtnProfile->setCurrentIndex(index);
    }
    profilePBtnDown();
    // The panel still loads the profile into the hidden lists, so that a
    // commit writes the book profile's own extension, codecs and rates
    // rather than those of the profile shown before.
    return false;
}
