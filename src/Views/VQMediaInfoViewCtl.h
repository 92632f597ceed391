#pragma once

#include "Views/VQMediaSubInfoItem.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <memory>

class LSMedia;
class QTreeView;
class VQMediaInfoModel;

// A two-column outline of what is known about one media item: the file
// summary, the video stream, the audio stream and, when the file carries
// tags, its metadata. Values are read from the item whenever the outline
// asks for them; the view does not watch the item.
class VQMediaInfoViewCtl : public QWidget {
    Q_OBJECT

public:
    explicit VQMediaInfoViewCtl(QWidget* parent = nullptr);
    ~VQMediaInfoViewCtl() override;

    // Shows the item (or nothing: the three fixed groups with empty values).
    void flushWithItem(const std::shared_ptr<LSMedia>& media);
    std::shared_ptr<LSMedia> media() const { return _media; }

    // "Summary", "Video Stream", "Audio Stream", "Meta Data"; empty otherwise.
    static QString getItemTypeName(int position);
    // The value text of a row shown now; metadata rows give the tag's value.
    QString getItemValueWithInfoItem(const VQMediaSubInfoItemPtr& item) const;
    // The value of the fixed row at `index` in group `type`; empty when
    // there is no item or the position is not a known row.
    QString getValueWithIndex(int index, int type) const;

    // Identifier of an outline column: "key" (labels) or "value".
    static QString columnIdentifier(int column);
    // The text of a cell: a group row when row < 0, else a row of that group.
    QString objectValueForTableColumn(const QString& columnId, int group, int row) const;

    QTreeView* outlineView() const { return _outlineView; }
    const QList<QList<VQMediaSubInfoItemPtr>>& dataSource() const { return _dataSource; }

private:
    QTreeView* _outlineView = nullptr;
    VQMediaInfoModel* _model = nullptr;
    std::shared_ptr<LSMedia> _media;
    QList<QList<VQMediaSubInfoItemPtr>> _staticDataSource;
    QList<QList<VQMediaSubInfoItemPtr>> _dataSource;
};
