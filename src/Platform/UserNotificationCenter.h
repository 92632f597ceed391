#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

// Desktop notifications through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus). The bus is a parameter
// so that tests talk to a private bus with a fake service instead.
class UserNotificationCenter
{
public:
    explicit UserNotificationCenter(const QDBusConnection& bus = QDBusConnection::sessionBus());

    // Shows a notification with the default sound; returns the server's id,
    // 0 when no notification service answered. The body is plain text.
    quint32 post(const QString& title, const QString& body);

    // Withdraws a notification posted earlier (id 0 is ignored).
    bool close(quint32 id);

private:
    bool serverReadsMarkup();

    QDBusConnection m_bus;
    std::optional<bool> m_serverReadsMarkup;
};
