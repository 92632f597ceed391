#pragma once

#include "Media/LSMedia.h"
#include "Views/P_ZKCropVideoView.h"

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QRectF>

#include <cstdint>
#include <memory>

class LSAVPlayerActionView;
class P_ZKPlayerViewAction;
class PlayerViewCropDelegate;
class QWidget;
class ZKAVPlayer;

// One object that the main window's preview and the edit window drive: it
// loads an LSMedia item into the framework's player and shows it as the
// conversion will make it (cropped, with the watermark over it).
//
// Preview mode (0, the main window) shows only the cropped part. Crop mode
// (any other value, the edit window) shows the whole frame inset by 7
// points, with the crop overlay lying over it.
//
// The player and the view are made by the first load and kept for the
// wrapper's life; the wrapper owns both. The host puts playerView() where it
// wants it; the wrapper takes it back when it dies. Interface thread only.
class LSMediaPlayer
{
public:
    LSMediaPlayer();
    ~LSMediaPlayer();

    LSMediaPlayer(const LSMediaPlayer&) = delete;
    LSMediaPlayer& operator=(const LSMediaPlayer&) = delete;

    // Loads the item and starts playing it.
    void flushPlayerWithMedia(const LSMediaPtr& media);

    void setPlayerMode(int32_t mode);
    int32_t playerMode() const { return eumPlayMode; }
    void updateWithPlayerModeChange();

    // Crop overlay (crop mode only; without an overlay these only set the
    // item's crop type).
    void setCropMode(int32_t type);
    void setCropModeNoFit(int32_t type);
    void setCropRect(const QRectF& rect);
    void setCropDelegate(PlayerViewCropDelegate* delegate);
    P_ZKCropVideoView* cropView() const;
    // How crop overlays are made; none leaves crop mode without an overlay.
    static void setCropViewFactory(ZKCropVideoViewFactory factory);

    void setActionDelegate(P_ZKPlayerViewAction* delegate);
    void setWaterMarkImage(const QImage& image);

    // Passed to the player.
    void play();
    void pause();
    void togglePlayPause();
    void seekto(double seconds);
    void setVolume(double volume);  // 0 to 128
    // Playback finishes by itself at this time (seconds; negative: the end
    // of the media), so a host can play just a trimmed range.
    void setPlaybackEndTime(double seconds);
    void stopPlayer();

    int32_t playbackState() const;      // 1 playing, 2 paused, 0 and 3 none active
    double currentPlaybackTime() const;  // seconds from the media's first time stamp
    bool playbackFinished() const;
    // The picture on screen; null while there is no player.
    QImage curDisplayingImage() const;
    // That picture as JPEG; empty while there is none.
    QByteArray curDisplayingImageData() const;

    LSMediaPtr curMedia() const { return mediaItem; }
    // Made on first use with the frame 0, 0, 640, 480.
    LSAVPlayerActionView* playerView();
    ZKAVPlayer* player() const { return m_player.get(); }

private:
    QRectF bottomLeftCrop() const;
    void dropCropView();

    int32_t eumPlayMode = 0;
    LSMediaPtr mediaItem;
    QPointer<LSAVPlayerActionView> m_playerView;
    std::unique_ptr<ZKAVPlayer> m_player;
    P_ZKCropVideoView* m_cropView = nullptr;  // lives as m_cropWidget, a child of the view
    QPointer<QWidget> m_cropWidget;
};
