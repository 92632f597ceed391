#include "RAZedIruvIvizor/ZKAVClock.h"

double ZKAVClock::now(TimePoint at) const
{
    if (!m_running)
        return m_base;
    return m_base + std::chrono::duration<double>(at - m_since).count();
}

void ZKAVClock::set(double t, TimePoint at)
{
    m_base = t;
    m_since = at;
}

void ZKAVClock::start()
{
    if (m_running)
        return;
    m_since = std::chrono::steady_clock::now();
    m_running = true;
}

void ZKAVClock::stop()
{
    if (!m_running)
        return;
    const TimePoint at = std::chrono::steady_clock::now();
    m_base = now(at);
    m_since = at;
    m_running = false;
}
