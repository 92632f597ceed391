#include "RAZedIruvIvizor/ZKAVAudioBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// How much of the time record is kept: the device reports a position a
// little behind what it has been handed, never seconds behind.
constexpr size_t kMaxSegments = 512;

}  // namespace

ZKAVAudioBuffer::ZKAVAudioBuffer(int64_t bytesPerSecond, int frameBytes)
    : m_bytesPerSecond(std::max<int64_t>(1, bytesPerSecond))
    , m_frameBytes(std::max(1, frameBytes))
{
}

void ZKAVAudioBuffer::setRoomCallback(std::function<void()> callback)
{
    std::lock_guard lock(m_mutex);
    m_onRoom = std::move(callback);
}

void ZKAVAudioBuffer::reset(int serial)
{
    std::function<void()> onRoom;
    {
        std::lock_guard lock(m_mutex);
        m_blocks.clear();
        m_bufferedBytes = 0;
        m_segments.clear();
        m_deviceOffset = 0;
        m_serial = serial;
        onRoom = m_onRoom;
    }
    if (onRoom)
        onRoom();
}

void ZKAVAudioBuffer::setAccepting(bool accepting)
{
    std::function<void()> onRoom;
    {
        std::lock_guard lock(m_mutex);
        m_accepting = accepting;
        if (!accepting) {
            m_blocks.clear();
            m_bufferedBytes = 0;
        }
        onRoom = m_onRoom;
    }
    if (onRoom)
        onRoom();
}

bool ZKAVAudioBuffer::isAccepting() const
{
    std::lock_guard lock(m_mutex);
    return m_accepting;
}

void ZKAVAudioBuffer::push(int serial, double pts, QByteArray data)
{
    if (data.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    if (serial != m_serial || !m_accepting)
        return;
    m_bufferedBytes += data.size();
    m_blocks.push_back(Block{pts, std::move(data), 0});
}

void ZKAVAudioBuffer::record(int64_t length, double pts)
{
    // Extend the last segment when this stretch continues it seamlessly.
    if (!m_segments.empty()) {
        Segment& last = m_segments.back();
        const bool bothSilent = std::isnan(last.pts) && std::isnan(pts);
        const bool contiguous = !std::isnan(last.pts) && !std::isnan(pts)
            && std::abs(last.pts + double(last.length) / m_bytesPerSecond - pts) < 1e-4;
        if (bothSilent || contiguous) {
            last.length += length;
            m_deviceOffset += length;
            return;
        }
    }
    m_segments.push_back(Segment{m_deviceOffset, length, pts});
    m_deviceOffset += length;
    while (m_segments.size() > kMaxSegments)
        m_segments.pop_front();
}

int64_t ZKAVAudioBuffer::read(char* data, int64_t maxBytes)
{
    maxBytes -= maxBytes % m_frameBytes;
    if (maxBytes <= 0)
        return 0;
    int64_t done = 0;
    std::function<void()> onRoom;
    {
        std::lock_guard lock(m_mutex);
        while (done < maxBytes && !m_blocks.empty()) {
            Block& b = m_blocks.front();
            const int64_t left = b.data.size() - b.used;
            const int64_t n = std::min(left, maxBytes - done);
            std::memcpy(data + done, b.data.constData() + b.used, static_cast<size_t>(n));
            record(n, b.pts + double(b.used) / m_bytesPerSecond);
            b.used += n;
            done += n;
            m_bufferedBytes -= n;
            if (b.used >= b.data.size())
                m_blocks.pop_front();
        }
        if (done == 0) {
            // About 10 ms of silence (zero bytes are silence in every
            // integer and float format the device is given).
            int64_t n = std::min(maxBytes, m_bytesPerSecond / 100);
            n -= n % m_frameBytes;
            if (n <= 0)
                n = m_frameBytes;
            std::memset(data, 0, static_cast<size_t>(n));
            record(n, std::numeric_limits<double>::quiet_NaN());
            done = n;
        }
        onRoom = m_onRoom;
    }
    if (onRoom)
        onRoom();
    return done;
}

std::optional<double> ZKAVAudioBuffer::ptsAtDeviceOffset(int64_t offset) const
{
    std::lock_guard lock(m_mutex);
    if (m_segments.empty() || offset < m_segments.front().offset)
        return std::nullopt;
    // Segments are few and ordered; search from the newest end.
    for (auto it = m_segments.rbegin(); it != m_segments.rend(); ++it) {
        if (offset >= it->offset) {
            if (std::isnan(it->pts))
                return std::nullopt;
            const int64_t within = std::min(offset - it->offset, it->length);
            return it->pts + double(within) / m_bytesPerSecond;
        }
    }
    return std::nullopt;
}

double ZKAVAudioBuffer::bufferedSeconds() const
{
    std::lock_guard lock(m_mutex);
    return double(m_bufferedBytes) / m_bytesPerSecond;
}

bool ZKAVAudioBuffer::isEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_blocks.empty();
}
