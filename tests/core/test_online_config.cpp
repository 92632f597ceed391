// The online configuration against a real HTTP server on loopback.
#include "Online/ZKConfigManager.h"
#include "Platform/NotificationCenter.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QEventLoop>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Answers every GET with one fixed body and remembers the request targets.
class TinyHttpServer : public QObject {
public:
    QByteArray body;
    QByteArray contentType = "application/json";
    QStringList targets;

    bool start()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    if (!buffer->contains("\r\n\r\n"))
                        return;
                    const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
                    targets << (requestLine.size() > 1 ? QString::fromLatin1(requestLine[1]) : QString());
                    QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
                    socket->write(answer);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

class OnlineConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("settings.conf")));
        manager = std::make_unique<ZKConfigManager>(defaults.get());
        manager->setClock([this] { return clock; });
        NotificationCenter::defaultCenter().addObserver(
            ZKExperimentalConfigDidChangeNotificatin, &context, [this](const Notification&) { ++announcements; });
    }

    // Runs one getOnlineConfig and waits for its request to end.
    bool fetch()
    {
        QEventLoop loop;
        QObject::connect(manager.get(), &ZKConfigManager::requestFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit); // a hung request fails the test, not the run
        if (!manager->getOnlineConfig())
            return false;
        loop.exec();
        return true;
    }

    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ZKConfigManager> manager;
    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
    QObject context;
    int announcements = 0;
};

} // namespace

TEST_F(OnlineConfigTest, RequestCarriesPathAndQuery)
{
    TinyHttpServer server;
    ASSERT_TRUE(server.start());
    server.body = "{}";
    defaults->setString(server.base() + "/", ZKConfigServerURLKey);
    ASSERT_TRUE(fetch());
    ASSERT_EQ(server.targets.size(), 1);
    const QUrl target(server.targets.first());
    EXPECT_EQ(target.path(), QStringLiteral("/common_task/getconfig.php"));
    const QUrlQuery query(target);
    EXPECT_EQ(query.queryItemValue("appver"), GlobalFun::getAppVersion());
    EXPECT_EQ(query.queryItemValue("appid"), GlobalFun::bundleID());
    EXPECT_EQ(query.queryItemValue("sysver"), GlobalFun::getSystemVersionString());
    EXPECT_EQ(query.queryItemValue("appstore"), QStringLiteral("0"));
}

TEST_F(OnlineConfigTest, DefaultServerWhenNoneIsSet)
{
    EXPECT_EQ(manager->configURL().toString(QUrl::RemoveQuery),
        QString::fromLatin1(kDefaultConfigServerURL) + "/common_task/getconfig.php");
}

TEST_F(OnlineConfigTest, AnswersStoreTheSwitch)
{
    struct Case {
        const char* body;
        const char* contentType;
        bool stored;
        int announced;
    };
    const Case cases[] = {
        { R"({"ExperimentalKey": false})", "application/json", false, 1 },
        { R"({"ExperimentalKey": true})", "application/json", true, 0 },
        { R"({})", "application/json", true, 0 },
        { R"({"ExperimentalKey": 0})", "application/json", false, 1 },
        { "not json at all", "text/plain", true, 0 },
        { R"(<html><head><title>cfg</title></head><body><p>{"ExperimentalKey":false}</p></body></html>)", "text/html",
            false, 1 },
        { R"(<html><body><h1>Config</h1><p>{&quot;ExperimentalKey&quot;: false}</p></body></html>)", "text/html", false,
            1 },
        { R"(<p>{"ExperimentalKey": true}</p>)", "text/html", true, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        TinyHttpServer server;
        ASSERT_TRUE(server.start());
        server.body = c.body;
        server.contentType = c.contentType;
        defaults->setString(server.base(), ZKConfigServerURLKey);
        defaults->removeObjectForKey(ExperimentalKey);
        announcements = 0;
        clock = clock.addSecs(61);
        ASSERT_TRUE(fetch());
        ASSERT_TRUE(defaults->hasStoredValue(ExperimentalKey));
        EXPECT_EQ(defaults->boolForKey(ExperimentalKey), c.stored);
        // The stored value is kept on disk, not only in memory.
        UserDefaults reread(defaults->filePath());
        EXPECT_EQ(reread.boolForKey(ExperimentalKey), c.stored);
        EXPECT_EQ(announcements, c.announced);
        EXPECT_TRUE(manager->experimental());
    }
}

TEST_F(OnlineConfigTest, SecondRequestWithinAMinuteIsNotSent)
{
    TinyHttpServer server;
    ASSERT_TRUE(server.start());
    server.body = R"({"ExperimentalKey": true})";
    defaults->setString(server.base(), ZKConfigServerURLKey);
    ASSERT_TRUE(fetch());
    clock = clock.addMSecs(59999);
    EXPECT_FALSE(manager->getOnlineConfig());
    clock = clock.addMSecs(1);
    ASSERT_TRUE(fetch());
    // Two requests reached the server: the one refused in between was never sent.
    EXPECT_EQ(server.targets.size(), 2);
}

TEST_F(OnlineConfigTest, UnreachableServerLeavesTheValueAlone)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    defaults->setString(QStringLiteral("http://127.0.0.1:%1").arg(closedPort), ZKConfigServerURLKey);
    defaults->setBool(false, ExperimentalKey);
    ASSERT_TRUE(fetch());
    EXPECT_FALSE(defaults->boolForKey(ExperimentalKey));
    EXPECT_EQ(announcements, 0);

    // With nothing stored before, nothing is stored after.
    defaults->removeObjectForKey(ExperimentalKey);
    clock = clock.addSecs(60);
    ASSERT_TRUE(fetch());
    EXPECT_FALSE(defaults->hasStoredValue(ExperimentalKey));
}

TEST_F(OnlineConfigTest, EmptyBodyChangesNothing)
{
    defaults->setBool(false, ExperimentalKey);
    manager->parseResponseData(QByteArray());
    EXPECT_FALSE(defaults->boolForKey(ExperimentalKey));
    EXPECT_EQ(announcements, 0);
}

TEST(OnlineConfigMarkup, StripperKeepsTheJsonText)
{
    EXPECT_EQ(ZKConfigManager::strippedOfMarkup(
                  "<!-- x --><html><style>p{}</style><p>{&quot;a&quot;:&#49;, &#x22;b&#x22;:&lt;&amp;&gt;}</p></html>"),
        QStringLiteral("{\"a\":1, \"b\":<&>}"));
}
