#pragma once

#include <QMap>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// A ratio of two signed 32-bit integers; num 0 means no ratio is known.
struct ZKAVRational
{
    int32_t num = 0;
    int32_t den = 0;
    bool operator==(const ZKAVRational&) const = default;
};

// The video track of an asset, as far as callers need it.
struct ZKAVTrack
{
    int32_t pixWidth = 0;
    int32_t pixHeight = 0;
    ZKAVRational display_aspect_ratio;
};

// One media file, opened and probed with libavformat. A picture attached to
// an audio file (cover art) is not a video stream; a rotated video reports
// its upright size. Probing happens on the calling thread; the object is a
// plain record afterwards and may be read from any thread.
class ZKAVURLAsset
{
public:
    ZKAVURLAsset() = default;
    virtual ~ZKAVURLAsset() = default;

    // A new, not yet opened item of the asked class for the file at path.
    template <typename T = ZKAVURLAsset>
    static std::shared_ptr<T> assetWithUrl(const QString& path)
    {
        auto asset = std::make_shared<T>();
        asset->filePath = path;
        return asset;
    }

    // Opens and probes the file, blocking; calls back once with nothing or a
    // readable error. Returns whether the file opened.
    bool loadValuesSynchronously(const std::function<void(const std::optional<QString>& error)>& callback = {});

    // The video track, or nothing for an audio-only file.
    const ZKAVTrack* videoTrack() const { return m_hasVideoTrack ? &m_videoTrack : nullptr; }

    // Probed properties (meaningful after a successful load).
    QString filePath;
    int mediaType = 0;            // 0 has video, 1 audio only
    double duration = 0;          // seconds
    double startTime = 0;         // first time stamp, seconds
    double videoDuration = 0;
    double audioDuration = 0;
    int32_t pixWidth = 0;         // upright coded frame size
    int32_t pixHeight = 0;
    ZKAVRational display_aspect_ratio;
    ZKAVRational sample_aspect_ratio;
    int64_t videoBitrate = 0;     // bits per second
    int64_t audioBitrate = 0;
    int64_t bitrate = 0;
    double videoFps = 0;
    int audioSamplerate = 0;      // Hz
    int audioChannels = 0;
    QString videoCodecName;
    QString audioCodecName;
    QString formatName;
    QString pixfmtName;
    QString audioSampleFmt;
    int streamCount = 0;
    QMap<QString, QString> metaData;
    int rotation = 0;             // display rotation in degrees (0, 90, 180, 270)
    bool isLoaded = false;

protected:
    // Copies the probed state (the copy rule of subclasses builds on this).
    ZKAVURLAsset(const ZKAVURLAsset&) = default;
    ZKAVURLAsset& operator=(const ZKAVURLAsset&) = default;

    ZKAVTrack m_videoTrack;
    bool m_hasVideoTrack = false;
};
