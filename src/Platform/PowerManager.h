#pragma once

#include <QDBusConnection>
#include <QString>

// Sleep, power-off and sleep inhibition through systemd-logind
// (org.freedesktop.login1 on the system bus). The bus is a parameter so that
// tests talk to a private bus with a fake manager instead.
class PowerManager
{
public:
    // Keeps the machine from falling asleep by itself while it is held:
    // the login1 inhibitor descriptor, closed on release() or destruction.
    class SleepInhibitor
    {
    public:
        SleepInhibitor() = default;
        explicit SleepInhibitor(int fd) : m_fd(fd) {}
        ~SleepInhibitor() { release(); }
        SleepInhibitor(SleepInhibitor&& other) noexcept;
        SleepInhibitor& operator=(SleepInhibitor&& other) noexcept;
        SleepInhibitor(const SleepInhibitor&) = delete;
        SleepInhibitor& operator=(const SleepInhibitor&) = delete;

        bool isValid() const { return m_fd >= 0; }
        int fileDescriptor() const { return m_fd; }
        void release();

    private:
        int m_fd = -1;
    };

    explicit PowerManager(const QDBusConnection& bus = QDBusConnection::systemBus());

    // Ask logind to suspend or to power off. The request is sent without
    // waiting for the answer (logind may ask the user to authenticate first),
    // so true means only that it went out on a connected bus.
    bool suspend();
    bool powerOff();

    // Takes an "idle:sleep" block inhibitor named after the application with
    // the given reason. An invalid handle when logind refused or is absent.
    SleepInhibitor inhibitIdleSleep(const QString& why);

private:
    bool sendManagerCall(const QString& method);

    QDBusConnection m_bus;
};
