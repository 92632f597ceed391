#pragma once

#include "RAZedIruvIvizor/ZKAVURLAsset.h"

#include <QImage>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct AVFrame;
struct AVPacket;
class ZKAVAudioBuffer;
class ZKAVFrameQueue;

// The sound format the decoder resamples to (what the device plays):
// interleaved 16-bit integer or 32-bit float samples.
struct ZKAVAudioOutputFormat
{
    int sampleRate = 0;
    int channels = 0;
    bool isFloat = false;
    bool isValid() const { return sampleRate > 0 && channels > 0; }
    int frameBytes() const { return channels * (isFloat ? 4 : 2); }
};

// What the decoder learnt when it opened the file.
struct ZKAVStreamInfo
{
    bool hasVideo = false;
    bool hasAudio = false;
    int width = 0;   // upright picture size
    int height = 0;
    ZKAVRational displayAspectRatio;  // upright
    int rotation = 0;                 // clockwise degrees
    double duration = 0;
    QImage cover;  // the attached picture of a sound file, if any
};

// Demuxing and decoding on a thread of its own. The thread opens the file,
// reads packets, decodes them, converts pictures to QImage (RGB32, or
// ARGB32 when the source has alpha) turned upright, resamples sound to the
// device format, and fills the frame queue and the audio buffer. It waits
// while both hold enough. A seek goes to the key frame before the target
// and decodes forward, dropping (unconverted) every picture that ends
// before it and the sound before it, so the first picture delivered is the
// one on screen at the target.
//
// The FFmpeg contexts belong to the decoding thread alone. The control
// fields (seek request, stop, what the thread has reached) are guarded by
// m_mutex; the queues guard themselves.
class ZKAVDecoder
{
public:
    // frames and audio must outlive the decoder; audio may be null, and an
    // invalid audioFormat means the sound is not decoded at all (no device).
    ZKAVDecoder(const QString& path, const ZKAVAudioOutputFormat& audioFormat, ZKAVFrameQueue* frames,
                ZKAVAudioBuffer* audio);
    ~ZKAVDecoder();  // stops and joins the thread

    ZKAVDecoder(const ZKAVDecoder&) = delete;
    ZKAVDecoder& operator=(const ZKAVDecoder&) = delete;

    // Starts the thread; it delivers from startAt on under serial.
    void start(double startAt, int serial);
    // Replaces any seek not yet begun; a seek in progress is abandoned.
    void seek(double t, int serial);
    // Wakes the thread to look at the queues again (called when they make room).
    void wake();

    // Thread-safe reads.
    bool isOpened() const;
    bool hasFailed() const;
    ZKAVStreamInfo info() const;  // meaningful once opened
    // Everything of serial has been decoded and handed to the queues.
    bool reachedEnd(int serial) const;
    // Where the media delivered for the current serial ends (seconds).
    double mediaEnd() const;

private:
    struct Contexts;

    void run(double startAt, int serial);
    bool open();
    bool shouldWait() const;  // with m_mutex held
    void performSeek(double t, int serial);
    void readOnePacket();
    void decodeVideo(const AVPacket* pkt);
    void decodeAudio(const AVPacket* pkt);
    void deliverVideo(AVFrame* frame, double pts, double duration);
    void deliverAudio(AVFrame* frame, double pts);
    void noteAudioPacket(const AVPacket* pkt);
    void finishAfterEof();
    void raiseMediaEnd(double end);
    QImage convert(AVFrame* frame);

    const QString m_path;
    const ZKAVAudioOutputFormat m_audioFormat;
    ZKAVFrameQueue* const m_frames;
    ZKAVAudioBuffer* const m_audio;

    // Decoding thread only.
    std::unique_ptr<Contexts> m_ctx;
    int m_serial = 0;
    double m_skipBefore = 0;         // drop what ends before this time
    bool m_deliveredSinceSeek = false;
    bool m_eof = false;

    // Guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_seekPending = false;
    double m_seekTarget = 0;
    int m_seekSerial = 0;
    bool m_opened = false;
    bool m_failed = false;
    ZKAVStreamInfo m_info;
    int m_endSerial = -1;  // serial whose media has all been delivered
    double m_mediaEnd = 0;
    int m_mediaEndSerial = 0;

    std::thread m_thread;
};
