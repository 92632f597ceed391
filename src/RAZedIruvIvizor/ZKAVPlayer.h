#pragma once

#include "RAZedIruvIvizor/ZKAVClock.h"
#include "RAZedIruvIvizor/ZKAVPlayerItem.h"

#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QTimer>

#include <cstdint>
#include <memory>

class ZKAVAudioBuffer;
class ZKAVAudioOutput;
class ZKAVDecoder;
class ZKAVFrameQueue;
struct ZKAVVideoFrame;

// Plays one item at a time. Decoding runs on a thread of its own
// (ZKAVDecoder); this object, its clock, its refresh timer and the audio
// output live on the thread that created it (the interface thread), and
// every member function is called there.
//
// Time is in seconds from the media's first time stamp, for seekto as for
// currentPlaybackTime. The sound played is the master clock; without an
// audio device the wall clock runs the pictures alone.
//
// A player starts playing as soon as it gets an item. It tells its view of
// each new picture with frameChanged(); the view reads curDisplayingImage().
class ZKAVPlayer : public QObject
{
    Q_OBJECT

public:
    enum State : int32_t {
        StateNone = 0,      // nothing loaded (or the file could not be opened)
        StatePlaying = 1,
        StatePaused = 2,
        StateStopped = 3,   // stopped, or played to the end (isPlayFinished)
    };

    static std::unique_ptr<ZKAVPlayer> playerWithPlayerItem(const ZKAVPlayerItemPtr& item);

    explicit ZKAVPlayer(QObject* parent = nullptr);
    ~ZKAVPlayer() override;

    // Swaps the item (none unloads) and starts playing the new one from its
    // beginning.
    void replaceCurrentItemWithPlayerItem(const ZKAVPlayerItemPtr& item);
    const ZKAVPlayerItemPtr& currentItem() const { return m_item; }

    void play();
    void pause();
    void togglePlayPause();
    // Ends playback and lets the file go; play() starts the item again from
    // its beginning.
    void stop();
    // No more pictures or sound from here on; called before the player is
    // dropped. play() or seekto() start it again.
    void stopRefreshTimer();
    // Shows the picture on screen at t, exactly (decoded forward from the key
    // frame before t). Playing or paused stays so; after the end the player
    // waits paused at t.
    void seekto(double seconds);
    // Playback stops as finished when it reaches this time (seconds; a
    // negative value plays to the end of the media). A new item starts
    // without one.
    void setPlaybackEndTime(double seconds);
    double playbackEndTime() const { return m_endTime; }

    // 0 (silent) to 128 (full).
    void setVolume(double volume);
    double volume() const { return m_volume; }

    int32_t playbackState() const { return m_state; }
    double currentPlaybackTime() const;
    bool isPlayFinished() const { return m_finished; }
    // The picture on screen: a video frame, the cover of a sound file, or a
    // null image (nothing shown yet, or sound without a picture).
    QImage curDisplayingImage() const { return m_image; }
    // Media time of the video frame on screen.
    double displayedFrameTime() const { return m_imageTime; }
    // A seek (or the start) whose picture is not on screen yet.
    bool isSeeking() const { return m_awaitingPicture; }

    // What the view needs to lay the picture out.
    bool hasVideo() const;
    // The picture's size on screen: its height, and the width the display
    // aspect ratio gives it. Empty while nothing is known.
    QSizeF presentationSize() const;
    // True while the sound device drives the clock.
    bool usesAudioClock() const;

    // Sound off for every player of the process (tests, machines without a
    // device); TRELVIO_PLAYER_NO_AUDIO=1 in the environment does the same.
    static void setAudioOutputEnabled(bool enabled);

signals:
    // A new picture is on screen (emitted on the player's thread).
    void frameChanged();
    void playbackStateChanged(int32_t state);

private:
    void openItem(double startAt, bool playing);
    void closeItem();
    void setState(int32_t state);
    void refresh();
    void advance();
    void scheduleRefresh(int ms);
    void learnStreams();
    void showFrame(ZKAVVideoFrame&& frame);
    void startClockAndSound();
    void stopClockAndSound();
    void syncClockToSound();
    void finishAt(double t);
    bool playedToEnd() const;
    void dropAudioOutput();

    // All fields belong to the player's thread.
    ZKAVPlayerItemPtr m_item;
    std::unique_ptr<ZKAVFrameQueue> m_frames;
    std::unique_ptr<ZKAVAudioBuffer> m_audioBuffer;
    std::unique_ptr<ZKAVAudioOutput> m_audioOutput;  // none: wall clock
    std::unique_ptr<ZKAVDecoder> m_decoder;          // none: stopped or nothing loaded
    ZKAVClock m_clock;
    QTimer m_refreshTimer;
    int32_t m_state = StateNone;
    bool m_finished = false;
    bool m_streamsKnown = false;
    bool m_hasVideo = false;
    QSizeF m_presentationSize;
    int m_serial = 0;
    bool m_awaitingPicture = false;  // the first picture after a seek is not shown yet
    QImage m_image;
    bool m_pictureChanged = false;  // told to listeners at the end of a refresh
    double m_imageTime = 0;
    QImage m_cover;
    double m_volume = 128.0;
    double m_endTime = -1;
};
