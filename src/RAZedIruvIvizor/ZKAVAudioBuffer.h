#pragma once

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// Decoded, resampled sound waiting for the audio device, and the record of
// which media time each byte handed to the device carries. The decoding
// thread pushes blocks; the audio device (on the player's thread) reads
// bytes; the player asks which media time the device has played up to.
// Every member is guarded by m_mutex.
class ZKAVAudioBuffer
{
public:
    // bytesPerSecond and frameBytes describe the device format.
    ZKAVAudioBuffer(int64_t bytesPerSecond, int frameBytes);

    void setRoomCallback(std::function<void()> callback);

    // Empties the buffer and the time record (the device starts over at
    // offset 0) and accepts only blocks of serial from now on.
    void reset(int serial);
    // A buffer that does not accept drops every push (no device plays it).
    void setAccepting(bool accepting);
    bool isAccepting() const;

    void push(int serial, double pts, QByteArray data);
    // Hands up to maxBytes (whole sample frames) to the device. With nothing
    // buffered it hands out a short stretch of silence instead, so the
    // device keeps running while the decoder catches up.
    int64_t read(char* data, int64_t maxBytes);

    // The media time of the byte at the device offset (bytes handed out
    // since the last reset), or nothing when that byte was silence or the
    // record does not reach it.
    std::optional<double> ptsAtDeviceOffset(int64_t offset) const;
    double bufferedSeconds() const;
    bool isEmpty() const;

    int64_t bytesPerSecond() const { return m_bytesPerSecond; }

private:
    struct Block
    {
        double pts;
        QByteArray data;
        int64_t used;  // bytes already handed out
    };
    struct Segment
    {
        int64_t offset;  // device offset of the first byte
        int64_t length;
        double pts;      // media time of the first byte; NaN for silence
    };

    void record(int64_t length, double pts);

    const int64_t m_bytesPerSecond;
    const int m_frameBytes;
    mutable std::mutex m_mutex;
    std::deque<Block> m_blocks;
    int64_t m_bufferedBytes = 0;
    std::deque<Segment> m_segments;
    int64_t m_deviceOffset = 0;
    int m_serial = 0;
    bool m_accepting = true;
    std::function<void()> m_onRoom;
};
