#pragma once

#include "RAZedIruvIvizor/ZKAVPlayer.h"

#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

// Shows a player's picture: the frame on screen, cut to the crop rectangle,
// inside the padding, at its display aspect ratio, with the watermark
// overlay drawn over it. A sound-only item shows its cover, or a music
// picture when it has none. The view reads the player's picture whenever
// the player says a new one is on screen. Interface thread only.
class ZKAVPlayerView : public QWidget
{
    Q_OBJECT

public:
    explicit ZKAVPlayerView(QWidget* parent = nullptr);
    // A view with the given frame (position and size in its parent).
    explicit ZKAVPlayerView(const QRect& frame, QWidget* parent = nullptr);
    ~ZKAVPlayerView() override;

    // The player whose picture is shown (not owned; none shows black).
    void setZkPlayer(ZKAVPlayer* player);
    ZKAVPlayer* zkPlayer() const { return m_player; }

    // Only this rectangle of the frame is shown: stored-frame pixels, origin
    // at the bottom-left. A rectangle of zero size shows the whole frame.
    void setCropRect(const QRectF& rect);
    QRectF cropRect() const { return m_cropRect; }

    // Inner margin on the left and right (x) and the top and bottom (y).
    void setXyPadding(double x, double y);
    QSizeF xyPadding() const { return m_padding; }

    // Drawn over the picture; it covers the whole frame (any size is
    // stretched to the frame), so the crop cuts it like the picture.
    void setWaterMarkImage(const QImage& image);
    QImage waterMarkImage() const { return m_waterMark; }

    // Where the picture lies in the view now, and which part of the frame
    // (pixels, origin at the top-left) it shows. Empty while there is none.
    QRectF pictureRect() const;
    QRectF sourceRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout
    {
        QRectF source;  // frame pixels, top-left origin
        QRectF target;  // view coordinates
    };
    Layout layout(const QImage& picture) const;
    void drawMusicPicture(class QPainter& painter, const QRectF& area) const;

    QPointer<ZKAVPlayer> m_player;
    QMetaObject::Connection m_frameConnection;
    QRectF m_cropRect;
    QSizeF m_padding{0, 0};
    QImage m_waterMark;
};
