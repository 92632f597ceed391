#include "Views/ZKAVPlayerView.h"

#include "RAZedIruvIvizor/ZKAVPlayer.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

QRectF fitted(QSizeF size, const QRectF& area)
{
    if (size.width() <= 0 || size.height() <= 0 || area.width() <= 0 || area.height() <= 0)
        return {};
    size.scale(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                  size.width(), size.height());
}

}  // namespace

ZKAVPlayerView::ZKAVPlayerView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

ZKAVPlayerView::ZKAVPlayerView(const QRect& frame, QWidget* parent)
    : ZKAVPlayerView(parent)
{
    setGeometry(frame);
}

ZKAVPlayerView::~ZKAVPlayerView()
{
    disconnect(m_frameConnection);
}

void ZKAVPlayerView::setZkPlayer(ZKAVPlayer* player)
{
    if (m_player == player)
        return;
    disconnect(m_frameConnection);
    m_player = player;
    if (player)
        m_frameConnection = connect(player, &ZKAVPlayer::frameChanged, this, qOverload<>(&QWidget::update));
    update();
}

void ZKAVPlayerView::setCropRect(const QRectF& rect)
{
    m_cropRect = rect;
    update();
}

void ZKAVPlayerView::setXyPadding(double x, double y)
{
    m_padding = QSizeF(std::max(0.0, x), std::max(0.0, y));
    update();
}

void ZKAVPlayerView::setWaterMarkImage(const QImage& image)
{
    m_waterMark = image;
    update();
}

ZKAVPlayerView::Layout ZKAVPlayerView::layout(const QImage& picture) const
{
    if (picture.isNull())
        return {};
    const QRectF area = QRectF(rect()).adjusted(m_padding.width(), m_padding.height(), -m_padding.width(),
                                                -m_padding.height());
    const QRectF whole(QPointF(0, 0), QSizeF(picture.size()));
    if (!m_player || !m_player->hasVideo())
        return Layout{whole, fitted(whole.size(), area)};  // a cover, at its own shape

    QRectF source = whole;
    if (m_cropRect.width() > 0 && m_cropRect.height() > 0) {
        // Bottom-left origin to the image's top-left origin.
        const QRectF flipped(m_cropRect.x(), picture.height() - m_cropRect.y() - m_cropRect.height(),
                             m_cropRect.width(), m_cropRect.height());
        const QRectF cut = flipped.intersected(whole);
        if (!cut.isEmpty())
            source = cut;
    }
    // Pixels are as wide as the display aspect ratio makes them.
    double pixelWidth = 1.0;
    const QSizeF shown = m_player->presentationSize();
    if (shown.width() > 0 && shown.height() > 0)
        pixelWidth = (shown.width() / shown.height()) * picture.height() / picture.width();
    return Layout{source, fitted(QSizeF(source.width() * pixelWidth, source.height()), area)};
}

QRectF ZKAVPlayerView::pictureRect() const
{
    return m_player ? layout(m_player->curDisplayingImage()).target : QRectF();
}

QRectF ZKAVPlayerView::sourceRect() const
{
    return m_player ? layout(m_player->curDisplayingImage()).source : QRectF();
}

void ZKAVPlayerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_player || m_player->currentItem() == nullptr)
        return;
    const QImage picture = m_player->curDisplayingImage();
    if (picture.isNull()) {
        if (!m_player->hasVideo() && m_player->playbackState() != 0)
            drawMusicPicture(painter, QRectF(rect()).adjusted(m_padding.width(), m_padding.height(),
                                                             -m_padding.width(), -m_padding.height()));
        return;
    }
    const Layout l = layout(picture);
    if (l.target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(l.target, picture, l.source);
    if (!m_waterMark.isNull() && m_player->hasVideo()) {
        const double sx = double(m_waterMark.width()) / picture.width();
        const double sy = double(m_waterMark.height()) / picture.height();
        const QRectF wmSource(l.source.x() * sx, l.source.y() * sy, l.source.width() * sx, l.source.height() * sy);
        painter.drawImage(l.target, m_waterMark, wmSource);
    }
}

void ZKAVPlayerView::drawMusicPicture(QPainter& painter, const QRectF& area) const
{
    // Two beamed eighth notes in a quiet grey.
    const double s = std::min(area.width(), area.height()) * 0.35;
    if (s <= 4)
        return;
    const QPointF c = area.center();
    const double head = s * 0.16;
    const QPointF left(c.x() - s * 0.3, c.y() + s * 0.32);
    const QPointF right(c.x() + s * 0.3, c.y() + s * 0.22);
    const double stem = s * 0.06;
    QPainterPath path;
    path.addEllipse(left, head * 1.25, head);
    path.addEllipse(right, head * 1.25, head);
    path.addRect(QRectF(left.x() + head * 1.25 - stem, c.y() - s * 0.45, stem, left.y() - (c.y() - s * 0.45)));
    path.addRect(QRectF(right.x() + head * 1.25 - stem, c.y() - s * 0.55, stem, right.y() - (c.y() - s * 0.55)));
    QPolygonF beam;
    beam << QPointF(left.x() + head * 1.25 - stem, c.y() - s * 0.45)
         << QPointF(right.x() + head * 1.25, c.y() - s * 0.55)
         << QPointF(right.x() + head * 1.25, c.y() - s * 0.55 + s * 0.14)
         << QPointF(left.x() + head * 1.25 - stem, c.y() - s * 0.45 + s * 0.14);
    path.addPolygon(beam);
    path.setFillRule(Qt::WindingFill);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, QColor(0x8a, 0x8a, 0x8a));
}
