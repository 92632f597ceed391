#include "RAZedIruvIvizor/ZKAVFrameQueue.h"

#include <chrono>

ZKAVFrameQueue::ZKAVFrameQueue(size_t capacity)
    : m_capacity(capacity < 1 ? 1 : capacity)
{
}

void ZKAVFrameQueue::setRoomCallback(std::function<void()> callback)
{
    std::lock_guard lock(m_mutex);
    m_onRoom = std::move(callback);
}

void ZKAVFrameQueue::reset(int serial)
{
    std::function<void()> onRoom;
    {
        std::lock_guard lock(m_mutex);
        m_frames.clear();
        m_serial = serial;
        onRoom = m_onRoom;
    }
    if (onRoom)
        onRoom();
}

int ZKAVFrameQueue::serial() const
{
    std::lock_guard lock(m_mutex);
    return m_serial;
}

void ZKAVFrameQueue::push(ZKAVVideoFrame frame)
{
    {
        std::lock_guard lock(m_mutex);
        if (frame.serial != m_serial)
            return;
        m_frames.push_back(std::move(frame));
    }
    m_pushed.notify_all();
}

std::optional<ZKAVVideoFrame> ZKAVFrameQueue::pop()
{
    std::optional<ZKAVVideoFrame> out;
    std::function<void()> onRoom;
    {
        std::lock_guard lock(m_mutex);
        if (m_frames.empty())
            return std::nullopt;
        out = std::move(m_frames.front());
        m_frames.pop_front();
        onRoom = m_onRoom;
    }
    // Outside the lock: the callback takes the producer's own lock.
    if (onRoom)
        onRoom();
    return out;
}

std::optional<double> ZKAVFrameQueue::frontPts() const
{
    std::lock_guard lock(m_mutex);
    if (m_frames.empty())
        return std::nullopt;
    return m_frames.front().pts;
}

bool ZKAVFrameQueue::waitForFrame(int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_pushed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_frames.empty(); });
}

void ZKAVFrameQueue::recycle(QImage image)
{
    // Only a picture this thread holds alone may be written by another one.
    if (image.isNull() || !image.isDetached())
        return;
    std::lock_guard lock(m_mutex);
    if (m_spare.size() < 4)
        m_spare.push_back(std::move(image));
}

QImage ZKAVFrameQueue::takeImage(int width, int height, QImage::Format format)
{
    {
        std::lock_guard lock(m_mutex);
        while (!m_spare.empty()) {
            QImage image = std::move(m_spare.front());
            m_spare.pop_front();
            if (image.width() == width && image.height() == height && image.format() == format)
                return image;
        }
    }
    return QImage(width, height, format);
}

size_t ZKAVFrameQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_frames.size();
}
