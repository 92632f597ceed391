#include "Views/ZKConvertItemCell.h"

#include "Media/LSMedia.h"
#include "Platform/NotificationCenter.h"
#include "Settings/GlobalResources.h"
#include "Views/ConvertPrgCell.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>

namespace {

QToolButton* makeButton(QWidget* parent, const char* image, const char* downImage)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFixedSize(25, 26);
    button->setIconSize(QSize(22, 22));
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(GlobalResources::imageNamed(QString::fromLatin1(image))), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(GlobalResources::imageNamed(QString::fromLatin1(downImage))), QIcon::Active);
    button->setIcon(icon);
    return button;
}

} // namespace

ZKConvertItemCell::ZKConvertItemCell(QWidget* parent)
    : QWidget(parent)
{
    m_image = new QLabel(this);
    m_image->setFixedSize(72, 54);
    m_image->setAlignment(Qt::AlignCenter);
    m_title = new QLabel(this);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    _indicator = new ConvertPrgIndicator(this);
    _lblSubTitle = new QLabel(this);
    _lblProgress = new QLabel(this);
    _lblProgress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    _btnPlayPause = makeButton(this, "PrgPause", "PrgPauseDown");
    _btnCancel = makeButton(this, "PrgCanceled", "PrgCanceledDown");
    m_playPauseImage = QStringLiteral("PrgPause");

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    grid->addWidget(m_image, 0, 0, 3, 1);
    grid->addWidget(m_title, 0, 1, 1, 2);
    grid->addWidget(_indicator, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(_btnPlayPause);
    buttons->addWidget(_btnCancel);
    grid->addLayout(buttons, 1, 2);
    auto* texts = new QHBoxLayout;
    texts->addWidget(_lblSubTitle, 1);
    texts->addWidget(_lblProgress);
    grid->addLayout(texts, 2, 1);
    grid->setColumnStretch(1, 1);

    connect(_btnPlayPause, &QToolButton::clicked, this, [this] { togglePlayPauseDown(); });
    connect(_btnCancel, &QToolButton::clicked, this, [this] { cancelConvertDown(); });
}

void ZKConvertItemCell::setPlayPauseImage(const QString& name)
{
    if (m_playPauseImage == name)
        return;
    m_playPauseImage = name;
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(GlobalResources::imageNamed(name)), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(GlobalResources::imageNamed(name + QStringLiteral("Down"))), QIcon::Active);
    _btnPlayPause->setIcon(icon);
}

void ZKConvertItemCell::setControlsVisible(bool visible)
{
    _indicator->setVisible(visible);
    _btnPlayPause->setVisible(visible);
    _btnCancel->setVisible(visible);
    _lblProgress->setVisible(visible);
}

void ZKConvertItemCell::setObjectValue(const std::shared_ptr<LSMedia>& media)
{
    m_media = media;
    setControlsVisible(true);
    setPlayPauseImage(QStringLiteral("PrgPause"));
    refreshDisplay();
}

void ZKConvertItemCell::refreshDisplay()
{
    if (!m_media)
        return;
    const LSMedia& m = *m_media;
    QString name = m.strOutFileName;
    if (!m.strOutFileExt.isEmpty())
        name += QLatin1Char('.') + m.strOutFileExt;
    if (!name.isEmpty() && m_title->text() != name)
        m_title->setText(name);
    if (m_image->pixmap().isNull() && !m.imgThumbnail.isNull())
        m_image->setPixmap(
            QPixmap::fromImage(m.imgThumbnail.scaled(m_image->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));

    const int32_t state = m.eumCvtState.load();
    _lblSubTitle->setText(ConvertPrgCell::stateText(state, GlobalFun::getEstimateStrBySecond(m.dLeftTime.load())));
    if (state == CvtStateFinished)
        setControlsVisible(false);
    else if (state == CvtStatePaused)
        setPlayPauseImage(QStringLiteral("PrgContinue"));
    else if (state == CvtStateConverting)
        setPlayPauseImage(QStringLiteral("PrgPause"));
    const double progress = m.dProgress.load();
    _lblProgress->setText(ConvertPrgCell::percentText(progress));
    _indicator->setValue(progress);
}

void ZKConvertItemCell::togglePlayPauseDown()
{
    const bool converting = m_media && m_media->cvtState() == CvtStateConverting;
    setPlayPauseImage(converting ? QStringLiteral("PrgContinue") : QStringLiteral("PrgPause"));
    NotificationCenter::defaultCenter().postNotification(LSConvertDidTogglePausePlayNotification, this);
}

void ZKConvertItemCell::cancelConvertDown()
{
    setControlsVisible(false);
    NotificationCenter::defaultCenter().postNotification(LSConvertDidClickCancelNotification, this);
}
