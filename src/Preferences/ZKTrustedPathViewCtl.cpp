#include "Preferences/ZKTrustedPathViewCtl.h"

#include "Platform/Bookmarks.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QAbstractListModel>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

ZKTrustedPathViewCtl* g_sharedTrustedPathViewCtl = nullptr;

QString cleanLocalPath(const QUrl& url)
{
    if (!url.isValid() || !url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(QDir(path).absolutePath());
}

// The stored array when "BookmarksKey" holds one; anything else counts as none.
QVariantList storedArray(const UserDefaults& defaults)
{
    const QVariant value = defaults.objectForKey(BookmarksKey);
    if (value.typeId() == QMetaType::QVariantList)
        return value.toList();
    return {};
}

// A list that draws a hint while it has no rows.
class TrustedListView : public QListView {
public:
    using QListView::QListView;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QListView::paintEvent(event);
        if (model() && model()->rowCount() > 0)
            return;
        QPainter painter(viewport());
        QColor text = palette().color(QPalette::PlaceholderText);
        painter.setPen(text);
        painter.drawText(viewport()->rect().adjusted(24, 0, -24, 0), Qt::AlignCenter | Qt::TextWordWrap,
            ZKTrustedPathViewCtl::tr("No trusted folders yet"));
    }
};

} // namespace

// The list view's model; the controller answers for it.
class ZKTrustedPathViewCtl::ListModel : public QAbstractListModel {
public:
    explicit ListModel(ZKTrustedPathViewCtl* owner)
        : QAbstractListModel(owner)
        , m_owner(owner)
        , m_folderIcon(QStringLiteral(":/images/prefs/prefs_folder.svg"))
    {
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_owner->numberOfRowsInTableView();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return m_owner->tableViewObjectValueForRow(index.row());
        case Qt::DecorationRole:
            return m_folderIcon;
        default:
            return {};
        }
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    ZKTrustedPathViewCtl* m_owner;
    QIcon m_folderIcon;
};

ZKTrustedPathViewCtl::ZKTrustedPathViewCtl(UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults ? *defaults : UserDefaults::standardUserDefaults())
    , m_chooser(ZKSheetFolderChooser())
{
    g_sharedTrustedPathViewCtl = this;
}

ZKTrustedPathViewCtl::~ZKTrustedPathViewCtl()
{
    if (g_sharedTrustedPathViewCtl == this)
        g_sharedTrustedPathViewCtl = nullptr;
    delete m_view;
}

ZKTrustedPathViewCtl* ZKTrustedPathViewCtl::sharedInstance()
{
    return g_sharedTrustedPathViewCtl;
}

QList<QUrl> ZKTrustedPathViewCtl::restoreDefaultsBookmarks(UserDefaults& defaults)
{
    QList<QUrl> result;
    QStringList paths;
    for (const QVariant& element : storedArray(defaults)) {
        if (element.typeId() != QMetaType::QByteArray)
            continue;
        const std::optional<Bookmarks::Resolved> resolved = Bookmarks::resolve(element.toByteArray());
        // A folder that is gone, or another folder under the trusted name,
        // is not trusted any more.
        if (!resolved || resolved->stale)
            continue;
        if (paths.contains(resolved->path))
            continue;
        paths.append(resolved->path);
        // Nothing needs opening for the rest of the run: a resolved folder is
        // usable as it stands.
        result.append(QUrl::fromLocalFile(resolved->path));
    }
    return result;
}

QList<QUrl> ZKTrustedPathViewCtl::restoreDefaultsBookmarks()
{
    return restoreDefaultsBookmarks(UserDefaults::standardUserDefaults());
}

void ZKTrustedPathViewCtl::restoreIfNeeded()
{
    if (m_bRestored)
        return;
    m_bRestored = true;
    _aryItems = restoreDefaultsBookmarks(m_defaults);
}

bool ZKTrustedPathViewCtl::containsPath(const QString& path) const
{
    return std::any_of(
        _aryItems.cbegin(), _aryItems.cend(), [&path](const QUrl& url) { return cleanLocalPath(url) == path; });
}

void ZKTrustedPathViewCtl::addToBookmarkWithURL(const QUrl& url)
{
    const QString path = cleanLocalPath(url);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    // An addition before the pane was ever shown is checked against the
    // stored list, so it cannot be stored twice.
    restoreIfNeeded();
    if (containsPath(path))
        return;
    const QUrl folder = QUrl::fromLocalFile(path);
    _aryItems.append(folder);

    QVariantList stored = storedArray(m_defaults);
    const QByteArray data = GlobalFun::BookmarkDataForURL(folder);
    if (!data.isEmpty())
        stored.append(data);
    m_defaults.setObject(stored, BookmarksKey);
    m_defaults.synchronize();
    scheduleReload();
}

QList<QUrl> ZKTrustedPathViewCtl::trustedURLs() const
{
    return _aryItems;
}

void ZKTrustedPathViewCtl::setFolderChooser(ZKFolderChooser chooser)
{
    m_chooser = std::move(chooser);
}

int ZKTrustedPathViewCtl::numberOfRowsInTableView() const
{
    return static_cast<int>(_aryItems.size());
}

QString ZKTrustedPathViewCtl::tableViewObjectValueForRow(int row) const
{
    if (row < 0 || row >= _aryItems.size())
        return {};
    return _aryItems.at(row).toLocalFile();
}

QString ZKTrustedPathViewCtl::identifier() const
{
    return QStringLiteral("TrustedViewController");
}

QIcon ZKTrustedPathViewCtl::toolbarItemImage() const
{
    return QIcon(QStringLiteral(":/images/prefs/prefs_paths.svg"));
}

QString ZKTrustedPathViewCtl::toolbarItemLabel() const
{
    return tr("Trusted Paths");
}

bool ZKTrustedPathViewCtl::commitEditing()
{
    // Committing a list that was never restored would wipe the stored one.
    restoreIfNeeded();
    QVariantList stored;
    for (const QUrl& url : std::as_const(_aryItems)) {
        if (!QFileInfo::exists(url.toLocalFile()))
            continue;
        const QByteArray data = GlobalFun::BookmarkDataForURL(url);
        if (!data.isEmpty())
            stored.append(data);
    }
    m_defaults.setObject(stored, BookmarksKey);
    m_defaults.synchronize();
    return true;
}

bool ZKTrustedPathViewCtl::isViewLoaded() const
{
    return !m_view.isNull();
}

QWidget* ZKTrustedPathViewCtl::view()
{
    if (m_view)
        return m_view;

    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("ZKTrustedPathViewCtl"));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 16, 20, 18);
    layout->setSpacing(10);

    auto* intro = new QLabel(tr("%1 may read and write in these folders in every run without asking again. "
                                "Output folders you choose and folders you add to the list are kept here.")
                                 .arg(GlobalFun::getProductName()),
        view);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    _tableView = new TrustedListView(view);
    _tableView->setObjectName(QStringLiteral("_tableView"));
    _tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    _tableView->setUniformItemSizes(true);
    _tableView->setAlternatingRowColors(true);
    _tableView->setIconSize(QSize(20, 20));
    _tableView->setTextElideMode(Qt::ElideMiddle);
    _tableView->setSpacing(1);
    _tableView->setMinimumSize(360, 240);
    m_model = new ListModel(this);
    _tableView->setModel(m_model);
    layout->addWidget(_tableView, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    auto* add = new QToolButton(view);
    add->setObjectName(QStringLiteral("btnAddFolder"));
    add->setText(QStringLiteral("+"));
    add->setToolTip(tr("Add Folders…"));
    auto* remove = new QToolButton(view);
    remove->setObjectName(QStringLiteral("btnRemoveFolder"));
    remove->setText(QStringLiteral("\u2212"));
    remove->setToolTip(tr("Remove the Selected Folders"));
    for (QToolButton* button : { add, remove }) {
        button->setAutoRaise(false);
        button->setFixedSize(30, 26);
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 1.3);
        font.setBold(true);
        button->setFont(font);
    }
    m_btnRemove = remove;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(add, &QToolButton::clicked, this, &ZKTrustedPathViewCtl::addFolderDown);
    connect(remove, &QToolButton::clicked, this, &ZKTrustedPathViewCtl::removeFolderDown);
    connect(_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &ZKTrustedPathViewCtl::updateButtons);

    m_view = view;
    awakeFromNib();
    return m_view;
}

void ZKTrustedPathViewCtl::awakeFromNib()
{
    restoreIfNeeded();
    reloadData();
}

void ZKTrustedPathViewCtl::reloadData()
{
    m_bReloadQueued = false;
    if (m_model)
        m_model->reset();
    updateButtons();
}

void ZKTrustedPathViewCtl::scheduleReload()
{
    // Reloading waits until the current action is over.
    if (m_bReloadQueued)
        return;
    m_bReloadQueued = true;
    QTimer::singleShot(0, this, &ZKTrustedPathViewCtl::reloadData);
}

void ZKTrustedPathViewCtl::updateButtons()
{
    if (m_btnRemove && _tableView)
        m_btnRemove->setEnabled(_tableView->selectionModel()->hasSelection());
}

void ZKTrustedPathViewCtl::addFolderDown()
{
    if (!m_chooser)
        return;
    ZKFolderRequest request;
    request.window = m_view ? m_view->window() : nullptr;
    request.title = tr("Add Trusted Folders");
    request.allowsMultiple = true;
    QPointer<ZKTrustedPathViewCtl> self(this);
    m_chooser(request, [self](const QStringList& folders) {
        if (!self || folders.isEmpty())
            return;
        for (const QString& folder : folders)
            self->addToBookmarkWithURL(QUrl::fromLocalFile(folder));
        self->reloadData();
    });
}

void ZKTrustedPathViewCtl::removeFolderDown()
{
    if (!_tableView)
        return;
    QList<int> rows;
    for (const QModelIndex& index : _tableView->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        if (row >= 0 && row < _aryItems.size())
            _aryItems.removeAt(row);
    }
    reloadData();
}
