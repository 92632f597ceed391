#include "Platform/UserNotificationCenter.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// Notification servers answer at once; this only bounds a server that hangs.
constexpr int kCallTimeoutMs = 5000;

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

UserNotificationCenter::UserNotificationCenter(const QDBusConnection& bus)
    : m_bus(bus)
{
}

bool UserNotificationCenter::serverReadsMarkup()
{
    if (!m_serverReadsMarkup) {
        const QDBusMessage reply = m_bus.call(call(QStringLiteral("GetCapabilities")), QDBus::Block, kCallTimeoutMs);
        m_serverReadsMarkup = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                              && reply.arguments().constFirst().toStringList().contains(QStringLiteral("body-markup"));
    }
    return *m_serverReadsMarkup;
}

quint32 UserNotificationCenter::post(const QString& title, const QString& body)
{
    if (!m_bus.isConnected())
        return 0;
    // A server that reads markup in the body would take "<" or "&" of a file
    // name for a tag; escaped, the text shows as given.
    const QString shownBody = serverReadsMarkup() ? body.toHtmlEscaped() : body;
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("io.trelvio.Trelvio3")},
        {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))},
    };
    QDBusMessage notify = call(QStringLiteral("Notify"));
    notify << QStringLiteral("Trelvio 3")       // app_name
           << quint32(0)                        // replaces_id
           << QStringLiteral("trelvio")         // app_icon
           << title << shownBody
           << QStringList()                     // actions
           << hints
           << qint32(-1);                       // expire_timeout: the server's default
    const QDBusMessage reply = m_bus.call(notify, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return 0;
    return reply.arguments().constFirst().toUInt();
}

bool UserNotificationCenter::close(quint32 id)
{
    if (id == 0 || !m_bus.isConnected())
        return false;
    QDBusMessage closeCall = call(QStringLiteral("CloseNotification"));
    closeCall << id;
    const QDBusMessage reply = m_bus.call(closeCall, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}
