#pragma once

#include <QAudioFormat>

#include <memory>
#include <optional>

class QAudioSink;
class QIODevice;
class ZKAVAudioBuffer;

// The sound device of one player: Qt Multimedia's audio sink pulling from a
// ZKAVAudioBuffer. Everything here runs on the player's thread. A machine
// without an audio device (or a process that turned sound off) gets no
// output, and the player runs on its wall clock.
class ZKAVAudioOutput
{
public:
    // The format the default device takes (interleaved 16-bit or float
    // samples), or nothing when there is no device or sound is turned off.
    static std::optional<QAudioFormat> preferredFormat();
    // Sound off for the whole process (tests, machines without a device).
    // The environment variable TRELVIO_PLAYER_NO_AUDIO=1 does the same.
    static void setAudioOutputEnabled(bool enabled);
    static bool isAudioOutputEnabled();

    ZKAVAudioOutput(const QAudioFormat& format, ZKAVAudioBuffer* buffer);
    ~ZKAVAudioOutput();

    // Starts pulling from the buffer's offset 0; false when the device
    // refuses (the caller then drops this output).
    bool start();
    void suspend();
    void resume();
    void stop();
    bool isStarted() const { return m_started; }
    // The device stopped with an error after starting (unplugged, server gone).
    bool hasFailed() const;

    void setVolume(double linear);
    // The media time of the sound the device has played, when it is sound
    // of the media (not silence between blocks) and the device reports it.
    std::optional<double> playedPts() const;

private:
    QAudioFormat m_format;
    ZKAVAudioBuffer* m_buffer;  // not owned; outlives this output
    std::unique_ptr<QIODevice> m_pull;
    std::unique_ptr<QAudioSink> m_sink;
    double m_volume = 1.0;
    bool m_started = false;
};
