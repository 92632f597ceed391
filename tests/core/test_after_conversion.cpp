#include "Convert/ScriptBridgeHelper.h"
#include "Convert/ZKLocalNotificationMgr.h"
#include "Platform/MusicLibrary.h"
#include "Platform/PowerManager.h"
#include "Platform/UserNotificationCenter.h"
#include "Platform/Workspace.h"

#include "support/DBusTestBus.h"

#include <QDBusArgument>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable failure messages for texts (found by argument lookup).
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

#include <map>

using DBusTest::Call;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString makeFile(const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
    return path;
}

// ---------------------------------------------------------------------------
// The music-library hand-over.

struct SyncCase
{
    const char* what;
    QStringList before;        // user playlists, in order
    QString playlistName;
    QStringList after;         // user playlists afterwards
    int receiver;              // index (in `after`) of the playlist that gets the file; -1 none
};

class SyncItunesLibrary : public ::testing::TestWithParam<SyncCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.filePath("Music");
        ScriptBridgeHelper::setMusicLibraryRootForTesting(root);
    }
    void TearDown() override { ScriptBridgeHelper::setMusicLibraryRootForTesting(QString()); }

    QTemporaryDir dir;
    QString root;
};

TEST_P(SyncItunesLibrary, FollowsThePlaylistRules)
{
    const SyncCase& c = GetParam();
    MusicLibrary library(root);
    for (const QString& name : c.before)
        ASSERT_TRUE(library.insertPlaylist(name, 99));
    std::map<QString, QByteArray> untouched;
    for (const QString& file : library.playlistFiles())
        untouched[file] = readAll(file);

    const QString song = makeFile(dir.path(), "Song of mine.m4a");
    EXPECT_TRUE(ScriptBridgeHelper::syncItunesLibrary(c.playlistName, song));

    EXPECT_EQ(library.playlistNames(), c.after);
    EXPECT_EQ(library.libraryEntries(), QStringList{song}) << "the library always receives the file";
    for (int i = 0; i < int(c.after.size()); ++i) {
        const QString file = library.playlistFiles().at(i);
        if (i == c.receiver) {
            EXPECT_EQ(library.playlistEntries(i), QStringList{song}) << "playlist " << i;
        } else if (untouched.count(file)) {
            EXPECT_EQ(readAll(file), untouched[file]) << "playlist " << i << " is not touched";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncItunesLibrary,
    ::testing::Values(
        SyncCase{"no name", {"Trelvio 3", "Other"}, QString(), {"Trelvio 3", "Other"}, -1},
        SyncCase{"empty name", {"Trelvio 3"}, QString(""), {"Trelvio 3"}, -1},
        SyncCase{"no name, no playlists", {}, QString(), {}, -1},
        SyncCase{"exact match", {"Other", "Trelvio 3"}, "Trelvio 3", {"Other", "Trelvio 3"}, 1},
        SyncCase{"case differs", {"Other", "trelvio 3"}, "Trelvio 3", {"Trelvio 3", "Other", "trelvio 3"}, 0},
        SyncCase{"duplicates", {"A", "Mix", "B", "Mix"}, "Mix", {"A", "Mix", "B", "Mix"}, 1},
        SyncCase{"new name goes first", {"A", "B"}, "Road", {"Road", "A", "B"}, 0},
        SyncCase{"first playlist ever", {}, "Trelvio 3", {"Trelvio 3"}, 0}),
    [](const ::testing::TestParamInfo<SyncCase>& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST_F(SyncItunesLibrary, ACreatedPlaylistIsFoundNextTime)
{
    const QString a = makeFile(dir.path(), "a.mp3");
    const QString b = makeFile(dir.path(), "b.mp3");
    ASSERT_TRUE(ScriptBridgeHelper::syncItunesLibrary("Trelvio 3", a));
    ASSERT_TRUE(ScriptBridgeHelper::syncItunesLibrary("Trelvio 3", b));
    MusicLibrary library(root);
    EXPECT_EQ(library.playlistNames(), QStringList{"Trelvio 3"});
    EXPECT_EQ(library.playlistEntries(0), QStringList({a, b}));
}

TEST_F(SyncItunesLibrary, AFileNoPlaylistCanHoldChangesNothing)
{
    const QString odd = makeFile(dir.path(), "two\nlines.mp3");
    EXPECT_FALSE(ScriptBridgeHelper::syncItunesLibrary("Fresh", odd));
    EXPECT_FALSE(ScriptBridgeHelper::syncItunesLibrary("Fresh", dir.filePath("missing.mp3")));
    MusicLibrary library(root);
    EXPECT_TRUE(library.playlistNames().isEmpty()) << "no playlist is made for a file that cannot go in";
    EXPECT_TRUE(library.libraryEntries().isEmpty());
}

TEST_F(SyncItunesLibrary, APlaylistNameThatCannotBeWrittenLeavesTheFileInTheLibrary)
{
    const QString song = makeFile(dir.path(), "song.mp3");
    EXPECT_FALSE(ScriptBridgeHelper::syncItunesLibrary("two\nlines", song));
    MusicLibrary library(root);
    EXPECT_TRUE(library.playlistNames().isEmpty());
    EXPECT_EQ(library.libraryEntries(), QStringList{song});
}

// ---------------------------------------------------------------------------
// Services on the bus. Every test here talks to a private dbus-daemon.

class OnPrivateBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        bus = std::make_unique<DBusTest::PrivateBus>();
        ASSERT_TRUE(bus->isValid()) << bus->error().toStdString();
        client = bus->connect("client");
        ASSERT_TRUE(client.isConnected());
        Workspace::setOpenUrlFunction([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }

    void TearDown() override
    {
        Workspace::setOpenUrlFunction({});
        ScriptBridgeHelper::setSystemBusForTesting(std::nullopt);
        ZKLocalNotificationMgr::setSessionBusForTesting(std::nullopt);
        notifications.reset();
        login1.reset();
        fileManager.reset();
        bus.reset();
    }

    // Waits until every answer sent to the client so far has been handed to
    // this thread: a blocking call to the same peer returns after them.
    void settle(const QString& service, const QString& path)
    {
        client.call(QDBusMessage::createMethodCall(service, path, "org.trelvio.Test", "Settle"));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<DBusTest::PrivateBus> bus;
    QDBusConnection client{QString()};
    std::unique_ptr<DBusTest::FakeNotifications> notifications;
    std::unique_ptr<DBusTest::FakeLogin1> login1;
    std::unique_ptr<DBusTest::FakeFileManager> fileManager;
    QList<QUrl> opened;
};

// --- notifications

TEST_F(OnPrivateBus, TheNotificationShowsTheTitleAsItsText)
{
    notifications = std::make_unique<DBusTest::FakeNotifications>(*bus);
    ASSERT_TRUE(notifications->isValid());
    ZKLocalNotificationMgr::setSessionBusForTesting(client);

    ZKLocalNotificationMgr::sharedMgr().postWithTitle("All tasks finished", "");

    const auto notify = notifications->calls("Notify");
    ASSERT_EQ(notify.size(), 1u);
    const QVariantList& a = notify.front().arguments;
    ASSERT_EQ(a.size(), 8);
    EXPECT_EQ(a.at(0).toString(), "Trelvio 3") << "app_name";
    EXPECT_EQ(a.at(1).toUInt(), 0u) << "replaces nothing";
    EXPECT_EQ(a.at(2).toString(), "trelvio") << "desktop icon name";
    EXPECT_EQ(a.at(3).toString(), "Trelvio 3") << "the application's name heads it";
    EXPECT_EQ(a.at(4).toString(), "All tasks finished");
    const QVariantMap hints = qdbus_cast<QVariantMap>(a.at(6));
    EXPECT_EQ(hints.value("desktop-entry").toString(), "io.trelvio.Trelvio3");
    EXPECT_EQ(hints.value("sound-name").toString(), "message-new-instant");
    EXPECT_EQ(notifications->onScreen(), QList<quint32>{1});
}

TEST_F(OnPrivateBus, ASecondNotificationWithdrawsTheFirst)
{
    notifications = std::make_unique<DBusTest::FakeNotifications>(*bus);
    ASSERT_TRUE(notifications->isValid());
    ZKLocalNotificationMgr::setSessionBusForTesting(client);
    ZKLocalNotificationMgr& mgr = ZKLocalNotificationMgr::sharedMgr();

    mgr.postWithTitle("All tasks finished", "");
    mgr.postWithTitle(QString(), "not shown");

    const auto calls = notifications->calls();
    std::vector<QString> members;
    for (const Call& call : calls)
        if (call.member != "GetCapabilities")
            members.push_back(call.member);
    EXPECT_EQ(members, (std::vector<QString>{"Notify", "CloseNotification", "Notify"}));
    const auto close = notifications->calls("CloseNotification");
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(close.front().arguments.at(0).toUInt(), 1u) << "the first one, by its id";
    EXPECT_EQ(notifications->onScreen(), QList<quint32>{2}) << "only the newest remains";
    const auto notify = notifications->calls("Notify");
    EXPECT_EQ(notify.back().arguments.at(4).toString(), "") << "an absent title posts an empty text";
    EXPECT_EQ(&ZKLocalNotificationMgr::sharedMgr(), &mgr);
}

TEST_F(OnPrivateBus, MarkupCharactersShowAsTyped)
{
    const struct
    {
        QStringList capabilities;
        QString sent;
    } cases[] = {
        {{"body"}, "<b>&done</b>"},
        {{"body", "body-markup"}, "&lt;b&gt;&amp;done&lt;/b&gt;"},
    };
    for (const auto& c : cases) {
        notifications = std::make_unique<DBusTest::FakeNotifications>(*bus, c.capabilities);
        ASSERT_TRUE(notifications->isValid());
        UserNotificationCenter center(client);
        EXPECT_EQ(center.post("Trelvio 3", "<b>&done</b>"), 1u);
        const auto notify = notifications->calls("Notify");
        ASSERT_EQ(notify.size(), 1u);
        EXPECT_EQ(notify.front().arguments.at(4).toString(), c.sent) << c.capabilities.join(',').toStdString();
        notifications.reset();
    }
}

TEST_F(OnPrivateBus, WithoutANotificationServiceNothingIsPosted)
{
    UserNotificationCenter onPrivateBus(client);
    EXPECT_EQ(onPrivateBus.post("Trelvio 3", "text"), 0u);
    EXPECT_FALSE(onPrivateBus.close(7));
    UserNotificationCenter onNoBus{QDBusConnection(QString())};
    EXPECT_EQ(onNoBus.post("Trelvio 3", "text"), 0u);
}

// --- sleep, power-off and the sleep inhibitor

TEST_F(OnPrivateBus, SleepAndShutDownGoToTheLoginManager)
{
    login1 = std::make_unique<DBusTest::FakeLogin1>(*bus);
    notifications = std::make_unique<DBusTest::FakeNotifications>(*bus);
    ASSERT_TRUE(login1->isValid());
    ScriptBridgeHelper::setSystemBusForTesting(client);

    EXPECT_TRUE(ScriptBridgeHelper::tellFinderToSleep());
    ASSERT_TRUE(login1->waitForCalls("Suspend"));
    auto calls = login1->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.front().interface, "org.freedesktop.login1.Manager");
    EXPECT_EQ(calls.front().arguments, QVariantList{true}) << "interactive: the user may be asked";

    EXPECT_TRUE(ScriptBridgeHelper::tellFinderToShutup());
    ASSERT_TRUE(login1->waitForCalls("PowerOff"));
    calls = login1->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.back().member, "PowerOff");
    EXPECT_EQ(calls.back().arguments, QVariantList{true});
    EXPECT_TRUE(notifications->calls().empty()) << "nothing else on the bus is asked";
}

TEST_F(OnPrivateBus, WithoutALoginManagerNothingHappens)
{
    // The test process's system bus points nowhere.
    EXPECT_FALSE(ScriptBridgeHelper::tellFinderToSleep());
    EXPECT_FALSE(ScriptBridgeHelper::tellFinderToShutup());
    PowerManager onNoBus;
    EXPECT_FALSE(onNoBus.inhibitIdleSleep("converting").isValid());
    PowerManager onPrivateBus(client);
    EXPECT_FALSE(onPrivateBus.inhibitIdleSleep("converting").isValid()) << "no login1 on this bus";
}

TEST_F(OnPrivateBus, TheSleepInhibitorHoldsUntilReleased)
{
    login1 = std::make_unique<DBusTest::FakeLogin1>(*bus);
    ASSERT_TRUE(login1->isValid());
    PowerManager power(client);

    PowerManager::SleepInhibitor held = power.inhibitIdleSleep("Converting 3 files");
    ASSERT_TRUE(held.isValid());
    const auto inhibit = login1->calls("Inhibit");
    ASSERT_EQ(inhibit.size(), 1u);
    EXPECT_EQ(inhibit.front().arguments,
              (QVariantList{"idle:sleep", "Trelvio 3", "Converting 3 files", "block"}));
    ASSERT_EQ(login1->inhibitorCount(), 1);
    EXPECT_FALSE(login1->inhibitorReleased(0, 0)) << "held while the handle lives";

    PowerManager::SleepInhibitor moved = std::move(held);
    EXPECT_FALSE(held.isValid());
    EXPECT_TRUE(moved.isValid());
    EXPECT_FALSE(login1->inhibitorReleased(0, 0)) << "a move keeps it";

    moved.release();
    EXPECT_FALSE(moved.isValid());
    EXPECT_TRUE(login1->inhibitorReleased(0, 10000));

    {
        PowerManager::SleepInhibitor scoped = power.inhibitIdleSleep("again");
        ASSERT_TRUE(scoped.isValid());
    }
    ASSERT_EQ(login1->inhibitorCount(), 2);
    EXPECT_TRUE(login1->inhibitorReleased(1, 10000)) << "released when the handle goes";
}

// --- the file manager

TEST_F(OnPrivateBus, ShowItemsAsksTheFileManagerWithFileUris)
{
    fileManager = std::make_unique<DBusTest::FakeFileManager>(*bus);
    ASSERT_TRUE(fileManager->isValid());
    QTemporaryDir dir;
    const QStringList names{"clip one.jpg", "it's \"quoted\".jpg", "Grüße 日本.jpg", "two\nlines.jpg", "100%.jpg"};
    QStringList paths;
    for (const QString& name : names)
        paths << makeFile(dir.path(), name);

    Workspace workspace(client);
    ASSERT_TRUE(workspace.showItems(paths));
    ASSERT_TRUE(workspace.selectFile(paths.at(2)));
    ASSERT_TRUE(fileManager->waitForCalls("ShowItems", 2));
    settle("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1");

    const auto calls = fileManager->calls("ShowItems");
    ASSERT_EQ(calls.size(), 2u);
    const QStringList uris = calls.front().arguments.at(0).toStringList();
    ASSERT_EQ(uris.size(), paths.size());
    for (int i = 0; i < int(paths.size()); ++i) {
        EXPECT_TRUE(uris.at(i).startsWith("file:///")) << uris.at(i).toStdString();
        EXPECT_FALSE(uris.at(i).contains('\n'));
        EXPECT_EQ(QUrl(uris.at(i)).toLocalFile(), paths.at(i)) << names.at(i).toStdString();
    }
    EXPECT_EQ(calls.front().arguments.at(1).toString(), "");
    EXPECT_EQ(calls.back().arguments.at(0).toStringList(),
              QStringList{QUrl::fromLocalFile(paths.at(2)).toString(QUrl::FullyEncoded)});
    EXPECT_TRUE(opened.isEmpty()) << "no folder is opened when the file manager answers";
}

TEST_F(OnPrivateBus, WithoutAFileManagerTheFoldersAreOpened)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("sub folder");
    const QString a = makeFile(dir.path(), "a.jpg");
    const QString b = makeFile(dir.path(), "b.jpg");
    const QString c = makeFile(dir.filePath("sub folder"), "c.jpg");

    Workspace workspace(client);
    ASSERT_TRUE(workspace.showItems({a, b, c, dir.filePath("missing.jpg")}));
    ASSERT_TRUE(DBusTest::waitUntil([&] { return opened.size() >= 2; }));
    EXPECT_EQ(opened, (QList<QUrl>{QUrl::fromLocalFile(dir.path()), QUrl::fromLocalFile(dir.filePath("sub folder"))}));

    opened.clear();
    Workspace offline{QDBusConnection(QString())};
    ASSERT_TRUE(offline.selectFile(c));
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("sub folder"))}) << "at once without a bus";

    opened.clear();
    EXPECT_FALSE(workspace.showItems({dir.filePath("missing.jpg"), QString()}));
    EXPECT_FALSE(workspace.selectFile(QString()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(OnPrivateBus, FoldersAndPagesOpenThroughTheDesktop)
{
    QTemporaryDir dir;
    Workspace workspace(client);
    EXPECT_TRUE(workspace.openFolder(dir.path()));
    EXPECT_FALSE(workspace.openFolder(dir.filePath("missing")));
    EXPECT_FALSE(workspace.openFolder(makeFile(dir.path(), "a file")));
    EXPECT_FALSE(workspace.openFolder(QString()));
    EXPECT_TRUE(workspace.openURL(QUrl("https://www.example.com/help?x=1")));
    EXPECT_FALSE(workspace.openURL(QUrl()));
    EXPECT_EQ(opened, (QList<QUrl>{QUrl::fromLocalFile(dir.path()), QUrl("https://www.example.com/help?x=1")}));
}

}  // namespace
