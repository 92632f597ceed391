#pragma once

#include <chrono>

// The player's presentation clock: media seconds that advance with the wall
// clock while running and stand still otherwise. When the player has an
// audio device it nudges this clock to the position of the sound actually
// played, so audio is the master and the wall clock only fills the gaps
// between the device's reports. Owned and used by the player's thread only.
class ZKAVClock
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    double now() const { return now(std::chrono::steady_clock::now()); }
    double now(TimePoint at) const;
    bool isRunning() const { return m_running; }

    // Places the clock at t; a running clock keeps running from there.
    void set(double t) { set(t, std::chrono::steady_clock::now()); }
    void set(double t, TimePoint at);
    void start();
    void stop();

private:
    double m_base = 0;  // media time at m_since
    TimePoint m_since{};
    bool m_running = false;
};
