#include "RAZedIruvIvizor/ZKAVAudioOutput.h"

#include "RAZedIruvIvizor/ZKAVAudioBuffer.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<int> g_enabled{-1};  // -1: not decided yet (read the environment)

// What the sink reads: the buffer's bytes, silence when it runs dry.
class PullDevice : public QIODevice
{
public:
    explicit PullDevice(ZKAVAudioBuffer* buffer)
        : m_buffer(buffer)
    {
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_buffer->bytesPerSecond() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxlen) override { return m_buffer->read(data, maxlen); }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    ZKAVAudioBuffer* m_buffer;
};

}  // namespace

void ZKAVAudioOutput::setAudioOutputEnabled(bool enabled)
{
    g_enabled.store(enabled ? 1 : 0);
}

bool ZKAVAudioOutput::isAudioOutputEnabled()
{
    int v = g_enabled.load();
    if (v < 0) {
        const char* env = std::getenv("TRELVIO_PLAYER_NO_AUDIO");
        v = (env && std::strcmp(env, "1") == 0) ? 0 : 1;
        int expected = -1;
        g_enabled.compare_exchange_strong(expected, v);
        v = g_enabled.load();
    }
    return v == 1;
}

std::optional<QAudioFormat> ZKAVAudioOutput::preferredFormat()
{
    if (!isAudioOutputEnabled())
        return std::nullopt;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return std::nullopt;
    QAudioFormat format = device.preferredFormat();
    if (format.sampleRate() <= 0 || format.channelCount() <= 0) {
        format.setSampleRate(48000);
        format.setChannelCount(2);
    }
    if (format.channelCount() > 2)
        format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        format.setSampleFormat(QAudioFormat::Float);
        if (!device.isFormatSupported(format))
            return std::nullopt;
    }
    return format;
}

ZKAVAudioOutput::ZKAVAudioOutput(const QAudioFormat& format, ZKAVAudioBuffer* buffer)
    : m_format(format)
    , m_buffer(buffer)
{
}

ZKAVAudioOutput::~ZKAVAudioOutput()
{
    stop();
}

bool ZKAVAudioOutput::start()
{
    stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    m_pull = std::make_unique<PullDevice>(m_buffer);
    m_pull->open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(device, m_format);
    // About a fifth of a second in the device: short enough that pausing
    // and seeking feel immediate.
    m_sink->setBufferSize(static_cast<qsizetype>(m_format.bytesForDuration(200000)));
    m_sink->setVolume(m_volume);
    m_sink->start(m_pull.get());
    if (m_sink->error() != QAudio::NoError || m_sink->state() == QAudio::StoppedState) {
        m_sink.reset();
        m_pull.reset();
        return false;
    }
    m_started = true;
    return true;
}

void ZKAVAudioOutput::suspend()
{
    if (m_sink && m_started)
        m_sink->suspend();
}

void ZKAVAudioOutput::resume()
{
    if (m_sink && m_started)
        m_sink->resume();
}

void ZKAVAudioOutput::stop()
{
    if (m_sink)
        m_sink->stop();
    m_sink.reset();
    m_pull.reset();
    m_started = false;
}

bool ZKAVAudioOutput::hasFailed() const
{
    return m_started && m_sink && m_sink->state() == QAudio::StoppedState && m_sink->error() != QAudio::NoError;
}

void ZKAVAudioOutput::setVolume(double linear)
{
    m_volume = linear;
    if (m_sink)
        m_sink->setVolume(linear);
}

std::optional<double> ZKAVAudioOutput::playedPts() const
{
    if (!m_sink || !m_started)
        return std::nullopt;
    const qint64 usecs = m_sink->processedUSecs();
    if (usecs <= 0)
        return std::nullopt;
    // 64-bit arithmetic: the format's own helper is 32-bit and overflows
    // after a few hours of sound.
    const int64_t frames = usecs * int64_t(m_format.sampleRate()) / 1000000;
    return m_buffer->ptsAtDeviceOffset(frames * m_format.bytesPerFrame());
}
