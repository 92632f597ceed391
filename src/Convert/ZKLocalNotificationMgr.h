#pragma once

#include <QDBusConnection>
#include <QMutex>
#include <QString>

#include <optional>

// The end-of-run notification. One process-wide instance; only the newest
// notification it posted stays on screen.
class ZKLocalNotificationMgr
{
public:
    // Created once, even when first asked for from two threads at once.
    static ZKLocalNotificationMgr& sharedMgr();

    // Posts a notification whose text is the title (none: an empty text)
    // under the application's name, with the default sound, after
    // withdrawing the one posted before. The subtitle is not shown.
    void postWithTitle(const QString& title, const QString& subTitle);

    // Tests only: post on this bus instead of the session bus (nothing: the
    // session bus again); forgets the notification posted before.
    static void setSessionBusForTesting(const std::optional<QDBusConnection>& bus);

private:
    ZKLocalNotificationMgr() = default;
    ZKLocalNotificationMgr(const ZKLocalNotificationMgr&) = delete;
    ZKLocalNotificationMgr& operator=(const ZKLocalNotificationMgr&) = delete;

    QMutex m_mutex;
    std::optional<QDBusConnection> m_testBus;
    quint32 m_lastId = 0;   // the notification on screen, 0 for none
};
