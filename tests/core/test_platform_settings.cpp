#include "Platform/NotificationCenter.h"
#include "Platform/UserDefaults.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

TEST(UserDefaults, RegisteredValuesAnswerUntilStoredAndAreNeverWritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    {
        UserDefaults d(file);
        d.registerDefaults({{"AppMaxConvertNumKey", 2}, {"Name", "factory"}});
        EXPECT_EQ(d.integerForKey("AppMaxConvertNumKey"), 2);
        EXPECT_FALSE(d.hasStoredValue("AppMaxConvertNumKey"));
        d.setInteger(4, "AppMaxConvertNumKey");
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults again(file);
    again.registerDefaults({{"AppMaxConvertNumKey", 2}, {"Name", "factory"}});
    EXPECT_EQ(again.integerForKey("AppMaxConvertNumKey"), 4) << "a restart keeps the stored value";
    EXPECT_EQ(again.stringForKey("Name"), "factory");
    EXPECT_FALSE(again.hasStoredValue("Name")) << "factory values stay in memory";
}

TEST(UserDefaults, ColoursRoundTripAsArchives)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("store.conf");
    const QColor colour = QColor::fromRgbF(0.25f, 0.5f, 0.75f, 0.5f);
    {
        UserDefaults d(file);
        d.setColor(colour, "WaterMarkTextColorKey");
        d.synchronize();
    }
    UserDefaults again(file);
    const auto read = again.colorForKey("WaterMarkTextColorKey");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->rgba64(), colour.rgba64());
    EXPECT_FALSE(again.colorForKey("Missing").has_value());
    EXPECT_FALSE(UserDefaults::unarchivedColor("garbage").has_value());
}

TEST(NotificationCenter, DeliversByExactNameOnTheObserversThread)
{
    NotificationCenter center;
    QObject sameThread;
    int hits = 0;
    center.addObserver("LSConvertDidClickCancelNotification", &sameThread,
                       [&](const Notification& n) { ++hits; EXPECT_EQ(n.userInfo.value("row").toInt(), 3); });
    center.postNotification("LSConvertDidClickCancelNotification", nullptr, {{"row", 3}});
    center.postNotification("LSConvertDidClickCancel", nullptr, {{"row", 3}});
    EXPECT_EQ(hits, 1) << "synchronous on the posting thread, exact names only";

    // An observer whose context lives on the main thread gets a post from a
    // worker thread on the main thread, once the main loop runs.
    std::atomic<bool> onMain{false};
    QObject mainContext;
    center.addObserver("X", &mainContext, [&](const Notification&) {
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    QThread* worker = QThread::create([&] { center.postNotification("X"); });
    worker->start();
    worker->wait();
    delete worker;
    QCoreApplication::processEvents();
    EXPECT_TRUE(onMain.load());
}

TEST(NotificationCenter, ObserverGoneMeansNoDelivery)
{
    NotificationCenter center;
    int hits = 0;
    {
        QObject context;
        center.addObserver("N", &context, [&](const Notification&) { ++hits; });
    }
    center.postNotification("N");
    QObject other;
    const auto token = center.addObserver("N", &other, [&](const Notification&) { ++hits; });
    center.removeObserver(token);
    center.postNotification("N");
    EXPECT_EQ(hits, 0);
}
