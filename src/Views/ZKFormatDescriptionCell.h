#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// Draws one profile as an icon, a bold title and two description lines
// (video and audio). The icon is the cell's only trackable area: a left
// press and release inside it posts "LSFormatIconDidClickedNotification".
// The model gives the title (DisplayRole), the image (DecorationRole: an
// image, pixmap or icon) and the two lines in a map under DicFormatRole,
// keys "VideoDescription" and "AudioDescription".
class FormatDescriptionCell : public QStyledItemDelegate {
public:
    enum Role { DicFormatRole = Qt::UserRole + 40 };

    using QStyledItemDelegate::QStyledItemDelegate;

    // The parts of the cell's interior frame.
    static QRect iconRect(const QRect& frame);
    static QRect titleRect(const QRect& frame);
    static QRect videoLineRect(const QRect& frame);
    static QRect audioLineRect(const QRect& frame);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    QPersistentModelIndex m_pressedIndex;
};
