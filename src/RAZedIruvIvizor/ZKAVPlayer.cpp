#include "RAZedIruvIvizor/ZKAVPlayer.h"

#include "RAZedIruvIvizor/ZKAVAudioBuffer.h"
#include "RAZedIruvIvizor/ZKAVAudioOutput.h"
#include "RAZedIruvIvizor/ZKAVDecoder.h"
#include "RAZedIruvIvizor/ZKAVFrameQueue.h"

#include <QAudio>

#include <algorithm>
#include <cmath>

namespace {

// Pictures waiting to be shown take at most about this much memory (and
// twice as much while the sound of a badly interleaved file lags behind).
constexpr double kQueueBytes = 48.0 * 1024 * 1024;
// The clock follows the sound once they differ by more than this.
constexpr double kSoundSyncSlack = 0.04;
// A picture is due this early, so a refresh that fires a little late or
// early does not skip it.
constexpr double kDueSlack = 0.002;

size_t queueCapacity(const ZKAVPlayerItem& item)
{
    if (!item.isProbed() || item.pixWidth() <= 0 || item.pixHeight() <= 0)
        return 8;
    const double frameBytes = 4.0 * item.pixWidth() * item.pixHeight();
    return static_cast<size_t>(std::clamp(kQueueBytes / frameBytes, 3.0, 16.0));
}

QSizeF displaySize(int width, int height, ZKAVRational dar)
{
    if (width <= 0 || height <= 0)
        return {};
    if (dar.num > 0 && dar.den > 0)
        return QSizeF(double(height) * dar.num / dar.den, height);
    return QSizeF(width, height);
}

}  // namespace

std::unique_ptr<ZKAVPlayer> ZKAVPlayer::playerWithPlayerItem(const ZKAVPlayerItemPtr& item)
{
    auto player = std::make_unique<ZKAVPlayer>();
    player->replaceCurrentItemWithPlayerItem(item);
    return player;
}

void ZKAVPlayer::setAudioOutputEnabled(bool enabled)
{
    ZKAVAudioOutput::setAudioOutputEnabled(enabled);
}

ZKAVPlayer::ZKAVPlayer(QObject* parent)
    : QObject(parent)
{
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ZKAVPlayer::refresh);
}

ZKAVPlayer::~ZKAVPlayer()
{
    closeItem();
}

void ZKAVPlayer::replaceCurrentItemWithPlayerItem(const ZKAVPlayerItemPtr& item)
{
    closeItem();
    m_item = item;
    m_endTime = -1;  // an end time belongs to the item it was set for
    m_finished = false;
    m_image = QImage();
    m_imageTime = 0;
    m_cover = QImage();
    m_streamsKnown = false;
    m_hasVideo = item && item->isProbed() && item->hasVideo();
    m_presentationSize = item && item->isProbed()
        ? displaySize(item->pixWidth(), item->pixHeight(), item->displayAspectRatio())
        : QSizeF();
    m_clock.set(0);
    if (!item) {
        setState(StateNone);
        emit frameChanged();
        return;
    }
    openItem(0, true);
    emit frameChanged();
}

void ZKAVPlayer::openItem(double startAt, bool playing)
{
    ++m_serial;
    m_frames = std::make_unique<ZKAVFrameQueue>(queueCapacity(*m_item));
    m_frames->reset(m_serial);

    ZKAVAudioOutputFormat decodeFormat;
    if (const std::optional<QAudioFormat> format = ZKAVAudioOutput::preferredFormat()) {
        decodeFormat.sampleRate = format->sampleRate();
        decodeFormat.channels = format->channelCount();
        decodeFormat.isFloat = format->sampleFormat() == QAudioFormat::Float;
        m_audioBuffer = std::make_unique<ZKAVAudioBuffer>(int64_t(decodeFormat.sampleRate) * decodeFormat.frameBytes(),
                                                          decodeFormat.frameBytes());
        m_audioBuffer->reset(m_serial);
        m_audioOutput = std::make_unique<ZKAVAudioOutput>(*format, m_audioBuffer.get());
        m_audioOutput->setVolume(QAudio::convertVolume(m_volume / 128.0, QAudio::LogarithmicVolumeScale,
                                                       QAudio::LinearVolumeScale));
    }

    m_decoder = std::make_unique<ZKAVDecoder>(m_item->filePath(), decodeFormat, m_frames.get(), m_audioBuffer.get());
    ZKAVDecoder* decoder = m_decoder.get();
    m_frames->setRoomCallback([decoder] { decoder->wake(); });
    if (m_audioBuffer)
        m_audioBuffer->setRoomCallback([decoder] { decoder->wake(); });
    m_decoder->start(startAt, m_serial);

    m_clock.stop();
    m_clock.set(startAt);
    m_awaitingPicture = true;
    setState(playing ? StatePlaying : StatePaused);
    scheduleRefresh(0);
}

void ZKAVPlayer::closeItem()
{
    m_refreshTimer.stop();
    // The sound device reads the buffer and the decoder fills both queues:
    // the readers go first, then the writer, then what they shared.
    m_audioOutput.reset();
    m_decoder.reset();
    m_frames.reset();
    m_audioBuffer.reset();
    m_awaitingPicture = false;
    m_clock.stop();
}

void ZKAVPlayer::play()
{
    if (!m_item)
        return;
    if (!m_decoder) {
        // Stopped: the item starts over.
        m_finished = false;
        openItem(0, true);
        return;
    }
    if (m_state == StatePlaying)
        return;
    if (m_finished || playedToEnd()) {
        // Played to the end: start over from the beginning.
        m_finished = false;
        seekto(0);
    }
    setState(StatePlaying);
    if (!m_awaitingPicture)
        startClockAndSound();
    scheduleRefresh(0);
}

void ZKAVPlayer::pause()
{
    if (m_state == StatePlaying) {
        stopClockAndSound();
        setState(StatePaused);
    } else if (m_state == StateStopped && m_finished && m_decoder) {
        // At the end the item stays loaded: pausing there waits at the end,
        // so a later seek and play go on from where the host wants.
        m_finished = false;
        setState(StatePaused);
    }
    if (!m_awaitingPicture)
        m_refreshTimer.stop();
}

void ZKAVPlayer::togglePlayPause()
{
    if (m_state == StatePlaying)
        pause();
    else
        play();
}

void ZKAVPlayer::stop()
{
    if (!m_item)
        return;
    closeItem();
    m_finished = false;
    m_image = QImage();
    m_imageTime = 0;
    m_clock.set(0);
    setState(StateStopped);
    emit frameChanged();
}

void ZKAVPlayer::stopRefreshTimer()
{
    m_refreshTimer.stop();
    m_awaitingPicture = false;
    stopClockAndSound();
    if (m_state == StatePlaying)
        setState(StatePaused);
}

void ZKAVPlayer::seekto(double seconds)
{
    if (!m_item)
        return;
    const double t = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    if (!m_decoder) {
        // Stopped: open again, waiting paused at t.
        m_finished = false;
        openItem(t, false);
        return;
    }
    ++m_serial;
    if (m_audioOutput)
        m_audioOutput->stop();
    m_frames->reset(m_serial);
    if (m_audioBuffer)
        m_audioBuffer->reset(m_serial);
    m_decoder->seek(t, m_serial);
    m_awaitingPicture = m_hasVideo || !m_streamsKnown;
    m_clock.stop();
    m_clock.set(t);
    if (m_finished || m_state == StateStopped) {
        m_finished = false;
        setState(StatePaused);
    }
    if (m_state == StatePlaying && !m_awaitingPicture)
        startClockAndSound();
    scheduleRefresh(0);
}

void ZKAVPlayer::setPlaybackEndTime(double seconds)
{
    m_endTime = std::isfinite(seconds) && seconds >= 0 ? seconds : -1;
}

void ZKAVPlayer::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    m_volume = std::clamp(volume, 0.0, 128.0);
    if (m_audioOutput)
        m_audioOutput->setVolume(
            QAudio::convertVolume(m_volume / 128.0, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale));
}

double ZKAVPlayer::currentPlaybackTime() const
{
    if (!m_item)
        return 0;
    return std::max(0.0, m_clock.now());
}

bool ZKAVPlayer::hasVideo() const
{
    return m_hasVideo;
}

QSizeF ZKAVPlayer::presentationSize() const
{
    return m_presentationSize;
}

bool ZKAVPlayer::usesAudioClock() const
{
    return m_audioOutput && m_audioOutput->isStarted();
}

void ZKAVPlayer::setState(int32_t state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit playbackStateChanged(state);
}

void ZKAVPlayer::scheduleRefresh(int ms)
{
    m_refreshTimer.start(std::max(0, ms));
}

void ZKAVPlayer::learnStreams()
{
    const ZKAVStreamInfo info = m_decoder->info();
    m_streamsKnown = true;
    m_hasVideo = info.hasVideo;
    m_presentationSize = displaySize(info.width, info.height, info.displayAspectRatio);
    m_cover = info.cover;
    if (!info.hasAudio)
        dropAudioOutput();
    if (!m_hasVideo) {
        // Sound only: the still picture is the cover (or nothing, and the
        // view draws its own), and no picture is awaited.
        m_image = m_cover;
        m_awaitingPicture = false;
        if (m_state == StatePlaying)
            startClockAndSound();
        m_pictureChanged = true;
    }
}

void ZKAVPlayer::refresh()
{
    // Listeners hear of a new picture once this refresh has settled the
    // state, so whatever they call sees (and may change) a consistent player.
    m_pictureChanged = false;
    advance();
    if (m_pictureChanged) {
        m_pictureChanged = false;
        emit frameChanged();
    }
}

void ZKAVPlayer::advance()
{
    if (!m_decoder)
        return;
    if (m_decoder->hasFailed()) {
        closeItem();
        m_image = QImage();
        m_pictureChanged = true;
        setState(StateNone);
        return;
    }
    if (!m_streamsKnown) {
        if (!m_decoder->isOpened()) {
            scheduleRefresh(5);
            return;
        }
        learnStreams();
    }
    if (m_audioOutput && m_audioOutput->hasFailed())
        dropAudioOutput();

    if (m_awaitingPicture) {
        if (std::optional<ZKAVVideoFrame> frame = m_frames->pop()) {
            showFrame(std::move(*frame));
        } else if (!m_decoder->reachedEnd(m_serial)) {
            scheduleRefresh(m_frames->waitForFrame(0) ? 0 : 3);
            return;
        }
        m_awaitingPicture = false;
        if (m_state == StatePlaying)
            startClockAndSound();
    }
    if (m_state != StatePlaying)
        return;

    syncClockToSound();
    const double now = m_clock.now();
    // The latest picture that is due; earlier ones are late and skipped.
    std::optional<ZKAVVideoFrame> due;
    while (const std::optional<double> pts = m_frames->frontPts()) {
        if (*pts > now + kDueSlack || (m_endTime >= 0 && *pts >= m_endTime))
            break;
        due = m_frames->pop();
    }
    if (due)
        showFrame(std::move(*due));

    if (m_endTime >= 0 && now >= m_endTime) {
        finishAt(m_endTime);
        return;
    }
    if (playedToEnd()) {
        finishAt(std::max(now, m_decoder->mediaEnd()));
        return;
    }

    int wait = 20;
    if (const std::optional<double> pts = m_frames->frontPts())
        wait = std::clamp(static_cast<int>(std::floor((*pts - now) * 1000.0)), 1, 20);
    else if (m_hasVideo && !m_decoder->reachedEnd(m_serial))
        wait = 5;
    scheduleRefresh(wait);
}

bool ZKAVPlayer::playedToEnd() const
{
    return m_decoder && !m_awaitingPicture && m_decoder->reachedEnd(m_serial) && m_frames->size() == 0
        && m_clock.now() >= m_decoder->mediaEnd() - 1e-6;
}

void ZKAVPlayer::showFrame(ZKAVVideoFrame&& frame)
{
    if (m_frames)
        m_frames->recycle(std::move(m_image));
    m_image = std::move(frame.image);
    m_imageTime = frame.pts;
    m_pictureChanged = true;
}

void ZKAVPlayer::startClockAndSound()
{
    m_clock.start();
    if (!m_audioOutput)
        return;
    if (m_audioOutput->isStarted())
        m_audioOutput->resume();
    else if (!m_audioOutput->start())
        dropAudioOutput();
}

void ZKAVPlayer::stopClockAndSound()
{
    m_clock.stop();
    if (m_audioOutput)
        m_audioOutput->suspend();
}

void ZKAVPlayer::syncClockToSound()
{
    if (!m_audioOutput || !m_audioOutput->isStarted())
        return;
    const std::optional<double> played = m_audioOutput->playedPts();
    if (played && std::abs(*played - m_clock.now()) > kSoundSyncSlack)
        m_clock.set(*played);
}

void ZKAVPlayer::finishAt(double t)
{
    stopClockAndSound();
    if (m_audioOutput)
        m_audioOutput->stop();
    m_clock.set(t);
    m_refreshTimer.stop();
    m_finished = true;
    setState(StateStopped);
}

void ZKAVPlayer::dropAudioOutput()
{
    // The pictures go on by the wall clock.
    m_audioOutput.reset();
    if (m_audioBuffer)
        m_audioBuffer->setAccepting(false);
}
