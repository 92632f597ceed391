#pragma once

#include <QImage>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// One converted picture with its place on the media's time line (seconds
// from the file's first time stamp) and the seek generation it belongs to.
struct ZKAVVideoFrame
{
    QImage image;
    double pts = 0;
    double duration = 0;
    int serial = 0;
};

// The pictures the decoding thread has converted and the player has not
// shown yet. The decoding thread pushes, the player's thread pops; every
// member is guarded by m_mutex. A push of another serial than the current
// one (a picture decoded before a seek) is dropped.
class ZKAVFrameQueue
{
public:
    explicit ZKAVFrameQueue(size_t capacity);

    // Called (on the popping thread) whenever a pop makes room, so that a
    // producer waiting for room wakes up.
    void setRoomCallback(std::function<void()> callback);

    // Empties the queue and accepts only frames of serial from now on.
    void reset(int serial);
    int serial() const;

    void push(ZKAVVideoFrame frame);
    std::optional<ZKAVVideoFrame> pop();
    // The time stamp of the frame at the front, if any.
    std::optional<double> frontPts() const;
    // Waits up to timeoutMs for a frame; true when one is there.
    bool waitForFrame(int timeoutMs) const;

    // Picture memory goes round instead of being allocated for each frame
    // (fresh pages of a 1080p picture cost as much as converting it). The
    // consumer gives back a picture nobody else holds; the producer takes
    // one of the size and format it needs, or a new one.
    void recycle(QImage image);
    QImage takeImage(int width, int height, QImage::Format format);

    size_t size() const;
    size_t capacity() const { return m_capacity; }
    bool isFull() const { return size() >= m_capacity; }

private:
    const size_t m_capacity;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_pushed;
    std::deque<ZKAVVideoFrame> m_frames;
    std::deque<QImage> m_spare;
    int m_serial = 0;
    std::function<void()> m_onRoom;  // set before the producer starts
};
