#include "Preferences/ZKPreferGeneralViewCtl.h"

#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "Preferences/ZKTrustedPathViewCtl.h"
#include "Settings/GlobalResources.h"
#include "Settings/SettingsKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

QLabel* sectionTitle(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* folderField(const QString& name, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    // The folders change only through the chooser, so a typing slip can
    // never become an output folder.
    field->setReadOnly(true);
    field->setMinimumWidth(300);
    return field;
}

QPushButton* button(const QString& name, const QString& text, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

// The stored folder when it names something that exists, else the default.
QString shownFolder(const UserDefaults& defaults, const QString& key, const QString& fallback)
{
    const QString stored = defaults.stringForKey(key);
    if (stored.isEmpty() || !QFileInfo::exists(stored))
        return fallback;
    return stored;
}

void setFieldPath(QLineEdit* field, const QString& path)
{
    field->setText(path);
    field->setToolTip(path);
    field->setCursorPosition(0);
}

} // namespace

ZKPreferGeneralViewCtl::ZKPreferGeneralViewCtl(UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults ? *defaults : UserDefaults::standardUserDefaults())
    , m_chooser(ZKSheetFolderChooser())
{
}

ZKPreferGeneralViewCtl::~ZKPreferGeneralViewCtl()
{
    delete m_view;
}

void ZKPreferGeneralViewCtl::setFolderChooser(ZKFolderChooser chooser)
{
    m_chooser = std::move(chooser);
}

QString ZKPreferGeneralViewCtl::defaultVideoPath()
{
    return GlobalResources::defaultVideoPath();
}

QString ZKPreferGeneralViewCtl::defaultAudioPath()
{
    return GlobalResources::defaultAudioPath();
}

QString ZKPreferGeneralViewCtl::defaultSnapshotPath()
{
    return GlobalResources::defaultSnapshotPath();
}

QString ZKPreferGeneralViewCtl::identifier() const
{
    return QStringLiteral("General");
}

QIcon ZKPreferGeneralViewCtl::toolbarItemImage() const
{
    return QIcon(QStringLiteral(":/images/prefs/Run-64.svg"));
}

QString ZKPreferGeneralViewCtl::toolbarItemLabel() const
{
    return tr("General");
}

bool ZKPreferGeneralViewCtl::isViewLoaded() const
{
    return !m_view.isNull();
}

QWidget* ZKPreferGeneralViewCtl::view()
{
    if (m_view)
        return m_view;

    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("ZKPreferGeneralViewCtl"));
    auto* outer = new QVBoxLayout(view);
    outer->setContentsMargins(24, 18, 24, 20);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);
    outer->addStretch(1);

    int row = 0;
    grid->addWidget(sectionTitle(tr("Conversion"), view), row++, 0, 1, 4);

    pBtnNumConvert = new QComboBox(view);
    pBtnNumConvert->setObjectName(QStringLiteral("pBtnNumConvert"));
    pBtnNumConvert->setToolTip(tr("How many files are converted at the same time"));
    for (int count = 1; count <= kMaxConvertChoices; ++count)
        pBtnNumConvert->addItem(QString::number(count), count);
    pBtnNumConvert->setCurrentIndex(pBtnNumConvert->findData(2));
    grid->addWidget(rowLabel(tr("Simultaneous conversions:"), view), row, 0);
    grid->addWidget(pBtnNumConvert, row++, 1, Qt::AlignLeft);

    chkSynciTunes = new QCheckBox(tr("Add converted files to the music library playlist"), view);
    chkSynciTunes->setObjectName(QStringLiteral("chkSynciTunes"));
    grid->addWidget(chkSynciTunes, row++, 1, 1, 3);
    auto* hint
        = new QLabel(tr("Finished music and video files are listed in the playlist of your Music folder."), view);
    hint->setWordWrap(true);
    QPalette hintPalette = hint->palette();
    hintPalette.setColor(QPalette::WindowText, hintPalette.color(QPalette::PlaceholderText));
    hint->setPalette(hintPalette);
    hint->setContentsMargins(24, 0, 0, 0);
    grid->addWidget(hint, row++, 1, 1, 3);

    grid->setRowMinimumHeight(row++, 12);
    grid->addWidget(sectionTitle(tr("Folders"), view), row++, 0, 1, 4);

    _lblVideoPath = folderField(QStringLiteral("_lblVideoPath"), view);
    auto* videoBrowse
        = button(QStringLiteral("btnVideoBrowse"), tr("Choose…"), tr("Choose the folder for converted video"), view);
    auto* videoOpen = button(QStringLiteral("btnVideoOpen"), tr("Show"), tr("Open the folder"), view);
    grid->addWidget(rowLabel(tr("Video output:"), view), row, 0);
    grid->addWidget(_lblVideoPath, row, 1);
    grid->addWidget(videoBrowse, row, 2);
    grid->addWidget(videoOpen, row++, 3);

    _lblAudioPath = folderField(QStringLiteral("_lblAudioPath"), view);
    auto* audioBrowse
        = button(QStringLiteral("btnAudioBrowse"), tr("Choose…"), tr("Choose the folder for converted audio"), view);
    auto* audioOpen = button(QStringLiteral("btnAudioOpen"), tr("Show"), tr("Open the folder"), view);
    grid->addWidget(rowLabel(tr("Audio output:"), view), row, 0);
    grid->addWidget(_lblAudioPath, row, 1);
    grid->addWidget(audioBrowse, row, 2);
    grid->addWidget(audioOpen, row++, 3);

    _lblSnapshotPath = folderField(QStringLiteral("_lblSnapshotPath"), view);
    auto* snapshotOpen = button(QStringLiteral("btnSnapshotOpen"), tr("Show"), tr("Open the folder"), view);
    grid->addWidget(rowLabel(tr("Snapshots:"), view), row, 0);
    grid->addWidget(_lblSnapshotPath, row, 1);
    grid->addWidget(snapshotOpen, row++, 3);

    connect(videoBrowse, &QPushButton::clicked, this, &ZKPreferGeneralViewCtl::videoBrowseDown);
    connect(audioBrowse, &QPushButton::clicked, this, &ZKPreferGeneralViewCtl::audioBrowseDown);
    connect(videoOpen, &QPushButton::clicked, this, &ZKPreferGeneralViewCtl::videoOpenDown);
    connect(audioOpen, &QPushButton::clicked, this, &ZKPreferGeneralViewCtl::audioOpenDown);
    connect(snapshotOpen, &QPushButton::clicked, this, &ZKPreferGeneralViewCtl::snapshotOpenDown);

    m_view = view;
    awakeFromNib();
    return m_view;
}

void ZKPreferGeneralViewCtl::selectConvertCount(qint64 count)
{
    // A count below one cannot run anything; the queue runs such a value one
    // at a time, and so the pane shows and stores it.
    if (count < 1)
        count = 1;
    int index = pBtnNumConvert->findData(static_cast<int>(std::min<qint64>(count, INT_MAX)));
    if (index < 0) {
        // A larger count stored by hand keeps its own item, so that closing
        // the window does not quietly replace it.
        pBtnNumConvert->addItem(QString::number(count), static_cast<int>(std::min<qint64>(count, INT_MAX)));
        index = pBtnNumConvert->count() - 1;
    }
    pBtnNumConvert->setCurrentIndex(index);
}

void ZKPreferGeneralViewCtl::awakeFromNib()
{
    selectConvertCount(m_defaults.integerForKey(AppMaxConvertNumKey));
    chkSynciTunes->setChecked(m_defaults.boolForKey(AppBSyncToiTunesKey));
    setFieldPath(_lblVideoPath, shownFolder(m_defaults, AppVideoOutputFolderKey, defaultVideoPath()));
    setFieldPath(_lblAudioPath, shownFolder(m_defaults, AppAudioOutputFolderKey, defaultAudioPath()));
    setFieldPath(_lblSnapshotPath, shownFolder(m_defaults, AppSnapShotFolderKey, defaultSnapshotPath()));
}

void ZKPreferGeneralViewCtl::viewWillAppear()
{
    if (m_view)
        awakeFromNib();
}

bool ZKPreferGeneralViewCtl::commitEditing()
{
    if (!m_view)
        return true;
    m_defaults.setInteger(pBtnNumConvert->currentData().toInt(), AppMaxConvertNumKey);
    m_defaults.setBool(chkSynciTunes->isChecked(), AppBSyncToiTunesKey);
    if (!_lblVideoPath->text().isEmpty())
        m_defaults.setString(_lblVideoPath->text(), AppVideoOutputFolderKey);
    if (!_lblAudioPath->text().isEmpty())
        m_defaults.setString(_lblAudioPath->text(), AppAudioOutputFolderKey);
    m_defaults.synchronize();
    return true;
}

void ZKPreferGeneralViewCtl::videoBrowseDown()
{
    browseFolderWithIsVideo(true);
}

void ZKPreferGeneralViewCtl::audioBrowseDown()
{
    browseFolderWithIsVideo(false);
}

void ZKPreferGeneralViewCtl::browseFolderWithIsVideo(bool isVideo)
{
    if (!m_chooser)
        return;
    view();
    ZKFolderRequest request;
    request.window = m_view->window();
    request.title = isVideo ? tr("Choose the Video Output Folder") : tr("Choose the Audio Output Folder");
    request.startFolder = (isVideo ? _lblVideoPath : _lblAudioPath)->text();
    request.allowsMultiple = false;
    QPointer<ZKPreferGeneralViewCtl> self(this);
    m_chooser(request, [self, isVideo](const QStringList& folders) {
        if (!self || !self->m_view || folders.isEmpty() || folders.first().isEmpty())
            return;
        const QString folder = QDir::cleanPath(QDir(folders.first()).absolutePath());
        if (ZKTrustedPathViewCtl* trusted = ZKTrustedPathViewCtl::sharedInstance())
            trusted->addToBookmarkWithURL(QUrl::fromLocalFile(folder));
        setFieldPath(isVideo ? self->_lblVideoPath : self->_lblAudioPath, folder);
        self->m_defaults.setString(folder, isVideo ? AppVideoOutputFolderKey : AppAudioOutputFolderKey);
        self->m_defaults.synchronize();
    });
}

void ZKPreferGeneralViewCtl::showFolder(const QLineEdit* field)
{
    if (!field || field->text().isEmpty())
        return;
    Workspace::sharedWorkspace().openFolder(field->text());
}

void ZKPreferGeneralViewCtl::videoOpenDown()
{
    showFolder(_lblVideoPath);
}

void ZKPreferGeneralViewCtl::audioOpenDown()
{
    showFolder(_lblAudioPath);
}

void ZKPreferGeneralViewCtl::snapshotOpenDown()
{
    showFolder(_lblSnapshotPath);
}
