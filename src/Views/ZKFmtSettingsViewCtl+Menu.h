#pragma once

#include <QImage>
#include <QStyledItemDelegate>

class QStandardItem;
class QStandardItemModel;

// The entries of the settings panel's format menu and how its pop-up draws
// them: grey group headers, separators, and indented profiles with icons.
namespace FmtMenu {

enum Role {
    IndentRole = Qt::UserRole + 1, // 0 for group headers, 1 for profiles
    MenuImageRole, // the profile image scaled to the menu height
};

inline constexpr int kMenuImageHeight = 36;

QStandardItem* headerItem(const QString& title);
QStandardItem* profileItem(const QString& title);
QStandardItem* separatorItem();
bool isSeparator(const QModelIndex& index);

// The image redrawn 36 high, its width the source width divided by
// (source height / 36), truncated; null for a null image.
QImage menuImage(const QImage& image);

// Row of the profile entry with exactly this title, or -1.
int indexOfTitle(const QStandardItemModel* model, const QString& title);

class Delegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace FmtMenu
