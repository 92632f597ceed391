#include "Views/LSMediaPlayer.h"

#include "RAZedIruvIvizor/ZKAVPlayer.h"
#include "RAZedIruvIvizor/ZKAVPlayerItem.h"
#include "Views/LSAVPlayerActionView.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QWidget>

namespace {

constexpr double kCropModePadding = 7.0;

ZKCropVideoViewFactory& cropViewFactory()
{
    static ZKCropVideoViewFactory factory;
    return factory;
}

}  // namespace

void LSMediaPlayer::setCropViewFactory(ZKCropVideoViewFactory factory)
{
    cropViewFactory() = std::move(factory);
}

LSMediaPlayer::LSMediaPlayer() = default;

LSMediaPlayer::~LSMediaPlayer()
{
    mediaItem.reset();
    if (m_player)
        m_player->stopRefreshTimer();
    if (m_playerView) {
        // The host may still hold the view in a layout or be inside one of
        // its events: detach it now, delete it once the event is over.
        m_playerView->setActionDelegate(nullptr);
        m_playerView->setZkPlayer(nullptr);
        m_playerView->hide();
        m_playerView->setParent(nullptr);
        m_playerView->deleteLater();
    }
    m_player.reset();
}

LSAVPlayerActionView* LSMediaPlayer::playerView()
{
    if (!m_playerView)
        m_playerView = new LSAVPlayerActionView(QRect(0, 0, 640, 480));
    return m_playerView;
}

P_ZKCropVideoView* LSMediaPlayer::cropView() const
{
    return m_cropWidget ? m_cropView : nullptr;
}

void LSMediaPlayer::flushPlayerWithMedia(const LSMediaPtr& media)
{
    mediaItem = media;
    const ZKAVPlayerItemPtr item = ZKAVPlayerItem::playerItemWithAsset(media);
    if (m_player) {
        m_player->replaceCurrentItemWithPlayerItem(item);
    } else {
        m_player = ZKAVPlayer::playerWithPlayerItem(item);
        m_player->setVolume(128.0);
    }
    LSAVPlayerActionView* view = playerView();
    view->setZkPlayer(m_player.get());

    if (!media || media->mediaType != 0) {
        // Sound only: no crop, no overlay, nothing left over from the
        // previous item.
        dropCropView();
        view->setCropRect(QRectF());
        view->setWaterMarkImage(QImage());
        updateWithPlayerModeChange();
        return;
    }

    if (eumPlayMode != 0) {
        if (!cropView() && cropViewFactory()) {
            const ZKAVTrack* track = media->videoTrack();
            const QSizeF videoSize = track ? QSizeF(track->pixWidth, track->pixHeight)
                                           : QSizeF(media->pixWidth, media->pixHeight);
            const ZKAVRational ratio = track ? track->display_aspect_ratio : media->display_aspect_ratio;
            m_cropView = cropViewFactory()(view, view->rect(), videoSize, ratio);
            m_cropWidget = m_cropView ? m_cropView->cropWidget() : nullptr;
        }
        if (m_cropWidget)
            view->addResizingSubview(m_cropWidget);
    } else {
        dropCropView();
    }
    setPlayerMode(eumPlayMode);
    if (media->rcCroped.size().isEmpty()) {
        setCropRect(QRectF());
        setCropMode(CropTypeNone);
        view->setCropRect(QRectF());
    } else {
        setCropRect(bottomLeftCrop());
        setCropModeNoFit(media->eumCropType);
    }
    updateWithPlayerModeChange();
    setWaterMarkImage(media->resultWaterMarkImg);
}

void LSMediaPlayer::dropCropView()
{
    if (m_cropWidget) {
        m_cropWidget->hide();
        m_cropWidget->setParent(nullptr);
        m_cropWidget->deleteLater();
    }
    m_cropWidget = nullptr;
    m_cropView = nullptr;
}

QRectF LSMediaPlayer::bottomLeftCrop() const
{
    if (!mediaItem || mediaItem->rcCroped.size().isEmpty())
        return {};
    const QRectF& r = mediaItem->rcCroped;
    return QRectF(r.x(), mediaItem->pixHeight - r.y() - r.height(), r.width(), r.height());
}

void LSMediaPlayer::setPlayerMode(int32_t mode)
{
    eumPlayMode = mode;
    if (P_ZKCropVideoView* crop = cropView())
        crop->setPlayerMode(mode);
    updateWithPlayerModeChange();
}

void LSMediaPlayer::updateWithPlayerModeChange()
{
    if (!m_playerView)
        return;
    if (eumPlayMode != 0) {
        // The overlay draws the crop over the whole frame.
        m_playerView->setCropRect(QRectF());
        m_playerView->setXyPadding(kCropModePadding, kCropModePadding);
    } else {
        m_playerView->setCropRect(bottomLeftCrop());
        m_playerView->setXyPadding(0, 0);
    }
}

void LSMediaPlayer::setCropMode(int32_t type)
{
    if (mediaItem)
        mediaItem->eumCropType = static_cast<::eumCropType>(type);
    if (P_ZKCropVideoView* crop = cropView())
        crop->setCropMode(type);
}

void LSMediaPlayer::setCropModeNoFit(int32_t type)
{
    if (mediaItem)
        mediaItem->eumCropType = static_cast<::eumCropType>(type);
    if (P_ZKCropVideoView* crop = cropView())
        crop->setCropModeNoFit(type);
}

void LSMediaPlayer::setCropRect(const QRectF& rect)
{
    if (P_ZKCropVideoView* crop = cropView())
        crop->setCropRect(rect);
}

void LSMediaPlayer::setCropDelegate(PlayerViewCropDelegate* delegate)
{
    if (P_ZKCropVideoView* crop = cropView())
        crop->setCropDelegate(delegate);
}

void LSMediaPlayer::setActionDelegate(P_ZKPlayerViewAction* delegate)
{
    playerView()->setActionDelegate(delegate);
}

void LSMediaPlayer::setWaterMarkImage(const QImage& image)
{
    playerView()->setWaterMarkImage(image);
}

void LSMediaPlayer::play()
{
    if (m_player)
        m_player->play();
}

void LSMediaPlayer::pause()
{
    if (m_player)
        m_player->pause();
}

void LSMediaPlayer::togglePlayPause()
{
    if (m_player)
        m_player->togglePlayPause();
}

void LSMediaPlayer::seekto(double seconds)
{
    if (m_player)
        m_player->seekto(seconds);
}

void LSMediaPlayer::setVolume(double volume)
{
    if (m_player)
        m_player->setVolume(volume);
}

void LSMediaPlayer::setPlaybackEndTime(double seconds)
{
    if (m_player)
        m_player->setPlaybackEndTime(seconds);
}

void LSMediaPlayer::stopPlayer()
{
    if (m_player)
        m_player->stop();
}

int32_t LSMediaPlayer::playbackState() const
{
    return m_player ? m_player->playbackState() : 0;
}

double LSMediaPlayer::currentPlaybackTime() const
{
    return m_player ? m_player->currentPlaybackTime() : 0.0;
}

bool LSMediaPlayer::playbackFinished() const
{
    return m_player && m_player->isPlayFinished();
}

QImage LSMediaPlayer::curDisplayingImage() const
{
    return m_player ? m_player->curDisplayingImage() : QImage();
}

QByteArray LSMediaPlayer::curDisplayingImageData() const
{
    const QImage image = curDisplayingImage();
    return image.isNull() ? QByteArray() : GlobalFun::image(image, QStringLiteral("jpg"));
}
