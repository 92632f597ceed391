#include "Views/VQMediaInfoViewCtl.h"

#include "Media/LSMedia.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const char* const kGroupNames[] = {
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Summary"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Video Stream"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Audio Stream"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Meta Data"),
};

const char* const kSummaryRows[] = {
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "File"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Format"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Stream count"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Size"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Duration"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Bit rate"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Date Created"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Data Modified"),
};

const char* const kVideoRows[] = {
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Codec"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Pixel format"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Duration"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Width"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Height"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "SAR"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "DAR"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Frame rate"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Bit rate"),
};

const char* const kAudioRows[] = {
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Codec"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Sample format"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Duration"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Bit rate"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Sample rate"),
    QT_TRANSLATE_NOOP("VQMediaInfoViewCtl", "Channel"),
};

template <size_t N> QList<VQMediaSubInfoItemPtr> makeGroup(const char* const (&labels)[N], int32_t type)
{
    QList<VQMediaSubInfoItemPtr> group;
    for (const char* label : labels)
        group.append(VQMediaSubInfoItem::itemWithKey(QString::fromLatin1(label), type));
    return group;
}

// Attribute dates print in local time; an unknown date prints nothing.
QString dateText(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString ratioText(const ZKAVRational& r)
{
    return QString::asprintf("%d:%d", r.num, r.den);
}

constexpr quintptr kGroupId = 0; // internal id of a group row; rows carry group + 1

} // namespace

// The outline's data source: groups are the lists of the controller's data
// source, rows their items. Texts come from the controller when asked.
class VQMediaInfoModel : public QAbstractItemModel {
public:
    explicit VQMediaInfoModel(VQMediaInfoViewCtl* ctl)
        : QAbstractItemModel(ctl)
        , m_ctl(ctl)
    {
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override
    {
        if (row < 0 || column < 0 || column >= 2)
            return {};
        const auto& groups = m_ctl->dataSource();
        if (!parent.isValid())
            return row < groups.size() ? createIndex(row, column, kGroupId) : QModelIndex();
        if (parent.internalId() != kGroupId || parent.row() >= groups.size())
            return {};
        if (row >= groups.at(parent.row()).size())
            return {};
        return createIndex(row, column, quintptr(parent.row() + 1));
    }

    QModelIndex parent(const QModelIndex& child) const override
    {
        if (!child.isValid() || child.internalId() == kGroupId)
            return {};
        return createIndex(int(child.internalId() - 1), 0, kGroupId);
    }

    int rowCount(const QModelIndex& parent) const override
    {
        const auto& groups = m_ctl->dataSource();
        if (!parent.isValid())
            return int(groups.size());
        // Only the lists are expandable.
        if (parent.internalId() != kGroupId || parent.column() != 0 || parent.row() >= groups.size())
            return 0;
        return int(groups.at(parent.row()).size());
    }

    int columnCount(const QModelIndex&) const override { return 2; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        const bool isGroup = index.internalId() == kGroupId;
        const int group = isGroup ? index.row() : int(index.internalId() - 1);
        const int row = isGroup ? -1 : index.row();
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole: {
            const QString text
                = m_ctl->objectValueForTableColumn(VQMediaInfoViewCtl::columnIdentifier(index.column()), group, row);
            if (role == Qt::ToolTipRole && (isGroup || index.column() == 0 || text.isEmpty()))
                return {};
            return text;
        }
        case Qt::ForegroundRole:
            // Labels in a softer tone than the values they name.
            if (!isGroup && index.column() == 0) {
                const QPalette& pal = m_ctl->palette();
                QColor text = pal.color(QPalette::Text);
                const QColor base = pal.color(QPalette::Base);
                return QColor::fromRgbF(text.redF() * 0.65 + base.redF() * 0.35,
                    text.greenF() * 0.65 + base.greenF() * 0.35, text.blueF() * 0.65 + base.blueF() * 0.35);
            }
            return {};
        case Qt::FontRole:
            if (isGroup) {
                QFont font = m_ctl->font();
                font.setBold(true);
                return font;
            }
            return {};
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

private:
    VQMediaInfoViewCtl* m_ctl;
};

namespace {

// Rows with a little air around the text.
class VQMediaInfoRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(size.height() + 6);
        return size;
    }
};

} // namespace

VQMediaInfoViewCtl::VQMediaInfoViewCtl(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("VQMediaInfoViewCtl"));
    _staticDataSource = { makeGroup(kSummaryRows, 0), makeGroup(kVideoRows, 1), makeGroup(kAudioRows, 2) };
    _dataSource = _staticDataSource;

    _outlineView = new QTreeView(this);
    _outlineView->setObjectName(QStringLiteral("_outlineView"));
    _model = new VQMediaInfoModel(this);
    _outlineView->setModel(_model);
    _outlineView->setItemDelegate(new VQMediaInfoRowDelegate(_outlineView));
    _outlineView->setHeaderHidden(true);
    _outlineView->setAlternatingRowColors(true);
    _outlineView->setUniformRowHeights(true);
    _outlineView->setSelectionMode(QAbstractItemView::SingleSelection);
    _outlineView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    _outlineView->setTextElideMode(Qt::ElideMiddle);
    _outlineView->setIndentation(14);
    _outlineView->header()->setStretchLastSection(true);
    _outlineView->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    _outlineView->setColumnWidth(0, 140);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_outlineView);

    flushWithItem(nullptr);
}

VQMediaInfoViewCtl::~VQMediaInfoViewCtl() = default;

QString VQMediaInfoViewCtl::columnIdentifier(int column)
{
    return column == 0 ? QStringLiteral("key") : QStringLiteral("value");
}

QString VQMediaInfoViewCtl::getItemTypeName(int position)
{
    if (position < 0 || position >= int(std::size(kGroupNames)))
        return {};
    return tr(kGroupNames[position]);
}

void VQMediaInfoViewCtl::flushWithItem(const std::shared_ptr<LSMedia>& media)
{
    _media = media;
    auto groups = _staticDataSource;
    if (media && !media->metaData.isEmpty()) {
        // The tags come as a sorted map, which gives a stable row order.
        QList<VQMediaSubInfoItemPtr> meta;
        for (auto it = media->metaData.cbegin(); it != media->metaData.cend(); ++it)
            meta.append(VQMediaSubInfoItem::itemWithKey(it.key(), 3));
        groups.append(meta);
    }
    _dataSource = groups;
    _model->reload();
    for (int g = 0; g < _dataSource.size(); ++g)
        _outlineView->setFirstColumnSpanned(g, QModelIndex(), true);
    _outlineView->expandAll();
    _outlineView->selectionModel()->clear();
}

QString VQMediaInfoViewCtl::objectValueForTableColumn(const QString& columnId, int group, int row) const
{
    const bool keyColumn = columnId == QLatin1String("key");
    if (group < 0 || group >= _dataSource.size())
        return {};
    if (row < 0)
        return keyColumn ? getItemTypeName(group) : QString();
    const auto& items = _dataSource.at(group);
    if (row >= items.size())
        return {};
    const VQMediaSubInfoItemPtr& item = items.at(row);
    if (keyColumn)
        return item->itemType == 3 ? item->itemKey : tr(item->itemKey.toLatin1().constData());
    return getItemValueWithInfoItem(item);
}

QString VQMediaInfoViewCtl::getItemValueWithInfoItem(const VQMediaSubInfoItemPtr& item) const
{
    if (!item || !_media)
        return {};
    if (item->itemType == 3)
        return _media->metaData.value(item->itemKey);
    if (item->itemType < 0 || item->itemType >= _dataSource.size())
        return {};
    const int position = int(_dataSource.at(item->itemType).indexOf(item));
    return position < 0 ? QString() : getValueWithIndex(position, item->itemType);
}

QString VQMediaInfoViewCtl::getValueWithIndex(int index, int type) const
{
    const LSMedia* m = _media.get();
    if (!m)
        return {};
    switch (type) {
    case 0:
        switch (index) {
        case 0:
            return m->filePath;
        case 1:
            return m->formatName;
        case 2:
            return QString::asprintf("%d", m->streamCount);
        case 3: {
            // A file that cannot be examined (moved away) counts as empty.
            const QFileInfo info(m->filePath);
            const qint64 bytes = info.exists() ? info.size() : 0;
            return QString::asprintf("%.1f MB", double(bytes) / 1000.0 / 1000.0);
        }
        case 4:
            return GlobalFun::getTimeStringBySecond(m->duration);
        case 5:
            return QString::asprintf("%.0f Kbps", double(m->bitrate) / 1000.0);
        case 6: {
            const QFileInfo info(m->filePath);
            return info.exists() ? dateText(info.birthTime()) : QString();
        }
        case 7: {
            const QFileInfo info(m->filePath);
            return info.exists() ? dateText(info.lastModified()) : QString();
        }
        default:
            return {};
        }
    case 1:
        switch (index) {
        case 0:
            return m->videoCodecName;
        case 1:
            return m->pixfmtName;
        case 2:
            return GlobalFun::getTimeStringBySecond(m->videoDuration);
        case 3:
            return QString::asprintf("%d", m->pixWidth);
        case 4:
            return QString::asprintf("%d", m->pixHeight);
        case 5:
            return ratioText(m->sample_aspect_ratio);
        case 6:
            return ratioText(m->display_aspect_ratio);
        case 7:
            return QString::asprintf("%.2f fps", m->videoFps);
        case 8:
            return QString::asprintf("%.2f Kbps", double(m->videoBitrate) / 1000.0);
        default:
            return {};
        }
    case 2:
        switch (index) {
        case 0:
            return m->audioCodecName;
        case 1:
            return m->audioSampleFmt;
        case 2:
            return GlobalFun::getTimeStringBySecond(m->audioDuration);
        case 3:
            return QString::asprintf("%.2f Kbps", double(m->audioBitrate) / 1000.0);
        case 4:
            return QString::asprintf("%.0f Hz", double(m->audioSamplerate));
        case 5:
            return QString::asprintf("%d", m->audioChannels);
        default:
            return {};
        }
    default:
        return {};
    }
}
