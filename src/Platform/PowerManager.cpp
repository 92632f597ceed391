#include "Platform/PowerManager.h"

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kWho = QStringLiteral("Trelvio 3");
// logind answers Inhibit at once; this only bounds a bus that hangs.
constexpr int kInhibitTimeoutMs = 5000;

}  // namespace

PowerManager::SleepInhibitor::SleepInhibitor(SleepInhibitor&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

PowerManager::SleepInhibitor& PowerManager::SleepInhibitor::operator=(SleepInhibitor&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void PowerManager::SleepInhibitor::release()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

PowerManager::PowerManager(const QDBusConnection& bus)
    : m_bus(bus)
{
}

bool PowerManager::sendManagerCall(const QString& method)
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    // interactive: let polkit ask the user when the session may not do it alone.
    call << true;
    // The answer is of no use: nothing is examined after the request.
    return m_bus.send(call);
}

bool PowerManager::suspend()
{
    return sendManagerCall(QStringLiteral("Suspend"));
}

bool PowerManager::powerOff()
{
    return sendManagerCall(QStringLiteral("PowerOff"));
}

PowerManager::SleepInhibitor PowerManager::inhibitIdleSleep(const QString& why)
{
    if (!m_bus.isConnected() || !(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Inhibit"));
    call << QStringLiteral("idle:sleep") << kWho << why << QStringLiteral("block");
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kInhibitTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return {};
    const auto descriptor = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (!descriptor.isValid())
        return {};
    // The reply owns its descriptor and closes it with the message; keep our own.
    const int fd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? SleepInhibitor(fd) : SleepInhibitor();
}
