#include "Views/ZKFmtSettingsViewCtl+Menu.h"

#include <QApplication>
#include <QPainter>
#include <QStandardItem>
#include <QStandardItemModel>

namespace FmtMenu {

namespace {
constexpr int kIndentStep = 16;
constexpr int kLeftMargin = 8;
} // namespace

QStandardItem* headerItem(const QString& title)
{
    auto* item = new QStandardItem(title);
    item->setData(0, IndentRole);
    // Headers can be neither chosen nor reached with the keys.
    item->setFlags(Qt::NoItemFlags);
    return item;
}

QStandardItem* profileItem(const QString& title)
{
    auto* item = new QStandardItem(title);
    item->setData(1, IndentRole);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QStandardItem* separatorItem()
{
    auto* item = new QStandardItem;
    // The marker QComboBox itself uses for separators.
    item->setData(QStringLiteral("separator"), Qt::AccessibleDescriptionRole);
    item->setFlags(Qt::NoItemFlags);
    return item;
}

bool isSeparator(const QModelIndex& index)
{
    return index.data(Qt::AccessibleDescriptionRole).toString() == QLatin1String("separator");
}

QImage menuImage(const QImage& image)
{
    if (image.isNull() || image.height() <= 0)
        return {};
    const double factor = double(image.height()) / kMenuImageHeight;
    const int width = int(double(image.width()) / factor);
    if (width <= 0)
        return {};
    return image.scaled(width, kMenuImageHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

int indexOfTitle(const QStandardItemModel* model, const QString& title)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem* item = model->item(row);
        if (item && item->data(IndentRole).toInt() == 1 && item->text() == title)
            return row;
    }
    return -1;
}

void Delegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPalette& pal = option.palette;
    const QRect r = option.rect;
    painter->save();
    if (isSeparator(index)) {
        QColor line = pal.color(QPalette::Text);
        line.setAlphaF(0.18);
        painter->setPen(line);
        const int y = r.center().y();
        painter->drawLine(r.left() + kLeftMargin, y, r.right() - kLeftMargin, y);
        painter->restore();
        return;
    }
    const int indent = index.data(IndentRole).toInt();
    const QString title = index.data(Qt::DisplayRole).toString();
    if (indent == 0) {
        QFont font = option.font;
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 0.9);
        painter->setFont(font);
        painter->setPen(pal.color(QPalette::Disabled, QPalette::Text));
        painter->drawText(r.adjusted(kLeftMargin, 0, -kLeftMargin, 0), Qt::AlignVCenter | Qt::AlignLeft, title);
        painter->restore();
        return;
    }
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(r, pal.color(QPalette::Highlight));
    int x = r.left() + kLeftMargin + indent * kIndentStep;
    const QImage image = index.data(MenuImageRole).value<QImage>();
    if (!image.isNull()) {
        const QRect target(x, r.top() + (r.height() - image.height()) / 2, image.width(), image.height());
        painter->drawImage(target, image);
        x += image.width() + 8;
    } else {
        x += kMenuImageHeight + 8;
    }
    painter->setFont(option.font);
    painter->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect textRect(x, r.top(), r.right() - x - kLeftMargin, r.height());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
        option.fontMetrics.elidedText(title, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize Delegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (isSeparator(index))
        return { 1, 9 };
    const int indent = index.data(IndentRole).toInt();
    const int textWidth = option.fontMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
    if (indent == 0)
        return { kLeftMargin * 2 + textWidth, option.fontMetrics.height() + 10 };
    const QImage image = index.data(MenuImageRole).value<QImage>();
    const int imageWidth = image.isNull() ? kMenuImageHeight : image.width();
    return { kLeftMargin * 2 + indent * kIndentStep + imageWidth + 8 + textWidth,
        std::max(kMenuImageHeight + 4, option.fontMetrics.height() + 6) };
}

} // namespace FmtMenu
