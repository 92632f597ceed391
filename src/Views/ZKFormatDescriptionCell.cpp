#include "Views/ZKFormatDescriptionCell.h"

#include "Platform/NotificationCenter.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

namespace {

QImage cellImage(const QVariant& value)
{
    if (value.typeId() == QMetaType::QImage)
        return value.value<QImage>();
    if (value.typeId() == QMetaType::QPixmap)
        return value.value<QPixmap>().toImage();
    if (value.typeId() == QMetaType::QIcon)
        return value.value<QIcon>().pixmap(QSize(80, 80)).toImage();
    return {};
}

} // namespace

QRect FormatDescriptionCell::iconRect(const QRect& f)
{
    return { f.x() + 4, f.y() + 2, 40, f.height() - 4 };
}

QRect FormatDescriptionCell::titleRect(const QRect& f)
{
    return { f.x() + 48, f.y() + 2, 200, 15 };
}

QRect FormatDescriptionCell::videoLineRect(const QRect& f)
{
    return { f.x() + 50, f.y() + 24, 200, 15 };
}

QRect FormatDescriptionCell::audioLineRect(const QRect& f)
{
    return { f.x() + 50, f.y() + 39, 200, 15 };
}

void FormatDescriptionCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row background and selection as the style draws them, without text or icon.
    opt.text.clear();
    opt.icon = QIcon();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const QRect frame = option.rect;
    const bool highlighted = option.state & QStyle::State_Selected;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);

    const QImage image = cellImage(index.data(Qt::DecorationRole));
    if (!image.isNull()) {
        const QRect box = iconRect(frame);
        QSize size = image.size();
        size.scale(box.size(), Qt::KeepAspectRatio);
        const QRect target(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
            size.width(), size.height());
        painter->drawImage(target, image);
    }

    QFont titleFont = option.font;
    titleFont.setBold(true);
    titleFont.setPixelSize(13);
    painter->setFont(titleFont);
    painter->setPen(option.palette.color(highlighted ? QPalette::HighlightedText : QPalette::Text));
    const QRect title = titleRect(frame);
    painter->drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetrics(titleFont).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, title.width()));

    const QVariantMap dicFormat = index.data(DicFormatRole).toMap();
    QFont lineFont = option.font;
    lineFont.setPixelSize(11);
    painter->setFont(lineFont);
    // Dark grey lines, yellow while highlighted; a dark palette gets a light grey.
    const QColor lineColor = highlighted              ? QColor(Qt::yellow)
        : (widget && GlobalFun::isInDarkMode(widget)) ? QColor(170, 170, 170)
                                                      : QColor(85, 85, 85);
    painter->setPen(lineColor);
    const QFontMetrics lineMetrics(lineFont);
    const QString video = dicFormat.value(QStringLiteral("VideoDescription")).toString();
    const QString audio = dicFormat.value(QStringLiteral("AudioDescription")).toString();
    if (!video.isEmpty())
        painter->drawText(videoLineRect(frame), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            lineMetrics.elidedText(video, Qt::ElideRight, 200));
    painter->drawText(audioLineRect(frame), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        lineMetrics.elidedText(audio, Qt::ElideRight, 200));
    painter->restore();
}

QSize FormatDescriptionCell::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return { 260, 58 };
}

bool FormatDescriptionCell::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && iconRect(option.rect).contains(mouse->position().toPoint())) {
            m_pressedIndex = index;
            return true;
        }
        m_pressedIndex = QPersistentModelIndex();
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool wasPressed = m_pressedIndex.isValid() && m_pressedIndex == index;
        m_pressedIndex = QPersistentModelIndex();
        if (wasPressed && mouse->button() == Qt::LeftButton
            && iconRect(option.rect).contains(mouse->position().toPoint())) {
            NotificationCenter::defaultCenter().postNotification(QStringLiteral("LSFormatIconDidClickedNotification"));
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
