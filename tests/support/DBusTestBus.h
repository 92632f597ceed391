#pragma once
// A private D-Bus for tests, and small fake desktop services on it.
//
// PrivateBus starts its own dbus-daemon on a socket in a temporary folder,
// with a configuration that names no service folders, so nothing on it can
// start a real program; the daemon ends with the PrivateBus (and with the
// test process, should that die first). Tests hand connections to this bus
// to the code under test in place of the session or system bus.
//
// Each fake registers on a connection of its own, served by a thread of its
// own, so the code under test may make blocking calls from the test's thread
// and every call really crosses the bus. A fake records each call it gets.
//
//   DBusTest::PrivateBus bus;                       ASSERT_TRUE(bus.isValid());
//   DBusTest::FakeNotifications notifications(bus); ASSERT_TRUE(notifications.isValid());
//   UserNotificationCenter center(bus.connect("client"));
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace DBusTest {

// Runs the test thread's events until the condition holds; false when it
// still does not after timeoutMs (a guard against hanging, not a measure).
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

inline QString uniqueConnectionName(const QString& label)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("trelvio-test-%1-%2").arg(++counter).arg(label);
}

class PrivateBus
{
public:
    PrivateBus()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty()) {
            m_error = QStringLiteral("dbus-daemon is not installed");
            return;
        }
        // A unix socket path must stay below 108 bytes.
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/bus-XXXXXX"));
        if (!m_dir->isValid() || m_dir->filePath(QStringLiteral("socket")).toUtf8().size() > 100)
            m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/trelvio-bus-XXXXXX"));
        if (!m_dir->isValid()) {
            m_error = QStringLiteral("no temporary folder for the bus");
            return;
        }
        const QString socket = m_dir->filePath(QStringLiteral("socket"));
        const QString configPath = m_dir->filePath(QStringLiteral("bus.conf"));
        QFile config(configPath);
        if (!config.open(QIODevice::WriteOnly)) {
            m_error = QStringLiteral("cannot write the bus configuration");
            return;
        }
        config.write(QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n"
            "  <type>session</type>\n"
            "  <listen>unix:path=%1</listen>\n"
            "  <auth>EXTERNAL</auth>\n"
            "  <policy context=\"default\">\n"
            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
            "    <allow eavesdrop=\"true\"/>\n"
            "    <allow own=\"*\"/>\n"
            "  </policy>\n"
            "</busconfig>\n").arg(socket.toHtmlEscaped()).toUtf8());
        config.close();

        m_daemon.setProgram(program);
        m_daemon.setArguments({QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                               QStringLiteral("--nopidfile"), QStringLiteral("--nosyslog"),
                               QStringLiteral("--print-address")});
        m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        // The daemon goes when the test process goes, even by a crash.
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_daemon.start();
        if (!m_daemon.waitForStarted(10000)) {
            m_error = QStringLiteral("dbus-daemon did not start");
            return;
        }
        while (!m_daemon.canReadLine()) {
            if (!m_daemon.waitForReadyRead(10000)) {
                m_error = QStringLiteral("dbus-daemon printed no address");
                stopDaemon();
                return;
            }
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    ~PrivateBus()
    {
        for (const QString& name : m_connectionNames)
            QDBusConnection::disconnectFromBus(name);
        stopDaemon();
    }

    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isValid() const { return !m_address.isEmpty(); }
    QString error() const { return m_error; }
    QString address() const { return m_address; }

    // A new connection of the test thread to this bus, closed with the bus.
    QDBusConnection connect(const QString& label)
    {
        const QString name = uniqueConnectionName(label);
        m_connectionNames << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    void stopDaemon()
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QStringList m_connectionNames;
};

struct Call
{
    QString interface;
    QString member;
    QVariantList arguments;
};

// One object of a fake service on a connection and thread of its own. The
// handler turns a method call into its reply (or error); it runs on the
// fake's thread. Every call but the bus's own introspection is recorded.
class FakeService
{
public:
    using Handler = std::function<QDBusMessage(const QDBusMessage& call)>;

    FakeService(const PrivateBus& bus, const QString& serviceName, const QString& path, Handler handler)
        : m_handler(std::move(handler)), m_connectionName(uniqueConnectionName(QStringLiteral("fake")))
    {
        m_object = new Object(this);
        m_object->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_object, &QObject::deleteLater);
        m_thread.start();
        const QString address = bus.address();
        QMetaObject::invokeMethod(
            m_object,
            [&] {
                QDBusConnection connection = QDBusConnection::connectToBus(address, m_connectionName);
                m_valid = connection.isConnected()
                          && connection.registerVirtualObject(path, m_object, QDBusConnection::SingleNode)
                          && connection.registerService(serviceName);
            },
            Qt::BlockingQueuedConnection);
    }

    ~FakeService()
    {
        QMetaObject::invokeMethod(
            m_object, [&] { QDBusConnection::disconnectFromBus(m_connectionName); },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();   // the object is deleted on its thread as that ends
    }

    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    bool isValid() const { return m_valid; }

    std::vector<Call> calls(const QString& member = QString()) const
    {
        QMutexLocker lock(&m_mutex);
        std::vector<Call> result;
        for (const Call& call : m_calls) {
            if (member.isEmpty() || call.member == member)
                result.push_back(call);
        }
        return result;
    }

    // Waits until at least `count` calls of the member have arrived.
    bool waitForCalls(const QString& member, size_t count = 1, int timeoutMs = 10000) const
    {
        return waitUntil([&] { return calls(member).size() >= count; }, timeoutMs);
    }

private:
    class Object : public QDBusVirtualObject
    {
    public:
        explicit Object(FakeService* owner) : m_owner(owner) {}
        QString introspect(const QString&) const override { return QString(); }
        bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
        {
            if (message.type() != QDBusMessage::MethodCallMessage)
                return false;
            if (!message.interface().startsWith(QLatin1String("org.freedesktop.DBus"))) {
                QMutexLocker lock(&m_owner->m_mutex);
                m_owner->m_calls.push_back({message.interface(), message.member(), message.arguments()});
            }
            connection.send(m_owner->m_handler(message));
            return true;
        }

    private:
        FakeService* m_owner;
    };

    Handler m_handler;
    QString m_connectionName;
    QThread m_thread;
    Object* m_object = nullptr;
    bool m_valid = false;
    mutable QMutex m_mutex;
    std::vector<Call> m_calls;
};

inline QDBusMessage unknownMethod(const QDBusMessage& call)
{
    return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                 QStringLiteral("the fake does not know ") + call.member());
}

// org.freedesktop.Notifications: Notify answers ids 1, 2, 3, ...; the fake
// keeps which notifications are on screen (posted and not closed).
class FakeNotifications
{
public:
    explicit FakeNotifications(const PrivateBus& bus,
                               const QStringList& capabilities = {QStringLiteral("body"), QStringLiteral("sound")})
        : m_capabilities(capabilities),
          m_service(bus, QStringLiteral("org.freedesktop.Notifications"),
                    QStringLiteral("/org/freedesktop/Notifications"),
                    [this](const QDBusMessage& call) { return answer(call); })
    {
    }

    bool isValid() const { return m_service.isValid(); }
    std::vector<Call> calls(const QString& member = QString()) const { return m_service.calls(member); }
    bool waitForCalls(const QString& member, size_t count = 1) const { return m_service.waitForCalls(member, count); }

    QList<quint32> onScreen() const
    {
        QMutexLocker lock(&m_mutex);
        return m_onScreen;
    }

private:
    QDBusMessage answer(const QDBusMessage& call)
    {
        const QVariantList args = call.arguments();
        QMutexLocker lock(&m_mutex);
        if (call.member() == QLatin1String("Notify") && args.size() == 8) {
            quint32 id = args.at(1).toUInt();
            if (id == 0 || !m_onScreen.contains(id))
                id = m_nextId++;
            if (!m_onScreen.contains(id))
                m_onScreen << id;
            return call.createReply(QVariant::fromValue(id));
        }
        if (call.member() == QLatin1String("CloseNotification") && args.size() == 1) {
            m_onScreen.removeAll(args.at(0).toUInt());
            return call.createReply();
        }
        if (call.member() == QLatin1String("GetCapabilities"))
            return call.createReply(m_capabilities);
        if (call.member() == QLatin1String("GetServerInformation"))
            return call.createReply(QVariantList{QStringLiteral("fake"), QStringLiteral("trelvio-tests"),
                                                 QStringLiteral("1"), QStringLiteral("1.2")});
        return unknownMethod(call);
    }

    const QStringList m_capabilities;
    mutable QMutex m_mutex;
    quint32 m_nextId = 1;
    QList<quint32> m_onScreen;
    FakeService m_service;   // last: it calls into the members above
};

// org.freedesktop.login1 Manager: Suspend and PowerOff only answer; Inhibit
// answers the write end of a fresh pipe and keeps the read end, which sees
// the end of the file once every copy the client holds is closed.
class FakeLogin1
{
public:
    explicit FakeLogin1(const PrivateBus& bus)
        : m_service(bus, QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    [this](const QDBusMessage& call) { return answer(call); })
    {
    }

    ~FakeLogin1()
    {
        for (int fd : m_readEnds)
            ::close(fd);
    }

    bool isValid() const { return m_service.isValid(); }
    std::vector<Call> calls(const QString& member = QString()) const { return m_service.calls(member); }
    bool waitForCalls(const QString& member, size_t count = 1) const { return m_service.waitForCalls(member, count); }

    int inhibitorCount() const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_readEnds.size());
    }

    // True when the client has closed inhibitor i, waiting up to timeoutMs.
    bool inhibitorReleased(int i, int timeoutMs) const
    {
        int fd = -1;
        {
            QMutexLocker lock(&m_mutex);
            if (i < 0 || i >= int(m_readEnds.size()))
                return false;
            fd = m_readEnds.at(i);
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        char byte;
        return (p.revents & POLLHUP) || ::read(fd, &byte, 1) == 0;
    }

private:
    QDBusMessage answer(const QDBusMessage& call)
    {
        if (call.member() == QLatin1String("Suspend") || call.member() == QLatin1String("PowerOff"))
            return call.createReply();
        if (call.member() == QLatin1String("Inhibit")) {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0)
                return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                             QStringLiteral("no pipe"));
            QDBusMessage reply = call.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1])));
            ::close(ends[1]);   // the reply holds its own copy
            QMutexLocker lock(&m_mutex);
            m_readEnds.push_back(ends[0]);
            return reply;
        }
        return unknownMethod(call);
    }

    mutable QMutex m_mutex;
    std::vector<int> m_readEnds;
    FakeService m_service;   // last: it calls into the members above
};

// org.freedesktop.FileManager1: records ShowItems, ShowFolders and
// ShowItemProperties and answers them.
class FakeFileManager
{
public:
    explicit FakeFileManager(const PrivateBus& bus)
        : m_service(bus, QStringLiteral("org.freedesktop.FileManager1"),
                    QStringLiteral("/org/freedesktop/FileManager1"),
                    [](const QDBusMessage& call) {
                        if (call.member().startsWith(QLatin1String("Show")))
                            return call.createReply();
                        return unknownMethod(call);
                    })
    {
    }

    bool isValid() const { return m_service.isValid(); }
    std::vector<Call> calls(const QString& member = QString()) const { return m_service.calls(member); }
    bool waitForCalls(const QString& member, size_t count = 1) const { return m_service.waitForCalls(member, count); }

private:
    FakeService m_service;
};

}  // namespace DBusTest
