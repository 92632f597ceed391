// The local report service: events as JSON lines, crash reports with a backtrace.
#include "App/ZKReportCtlMgr.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {
const char* kCrashChildDirVar = "TRELVIO_CRASH_CHILD_DIR";

// A real fault, not one the undefined-behaviour checker would stop first.
__attribute__((no_sanitize("undefined"))) void crashNow()
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}
} // namespace

// Runs only inside the child process started by CrashLeavesAReport.
TEST(ReportServiceCrashChild, Crashes)
{
    const QString folder = qEnvironmentVariable(kCrashChildDirVar);
    if (folder.isEmpty())
        GTEST_SKIP() << "runs as the crashing child of ReportService.CrashLeavesAReport";
    ASSERT_TRUE(ZKReportCtlMgr::installCrashHandler(folder));
    crashNow();
}

TEST(ReportService, CrashLeavesAReportWithABacktrace)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("crashes"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kCrashChildDirVar), folder);
    // The sanitizers would report the fault themselves before our handler.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("handle_segv=0:allow_user_segv_handler=1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--gtest_filter=ReportServiceCrashChild.Crashes") });
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAll().toStdString();

    const QStringList reports = QDir(folder).entryList({ QStringLiteral("crash-*-*.txt") }, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    QFile report(QDir(folder).filePath(reports.first()));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.startsWith(GlobalFun::getProductName())) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("signal: 11 (SIGSEGV)"))) << text.toStdString();
    const QString backtrace = text.section(QStringLiteral("backtrace:\n"), 1);
    // Several frames, each naming the binary it belongs to.
    EXPECT_GE(backtrace.count(QLatin1Char('\n')), 3) << text.toStdString();
    EXPECT_TRUE(backtrace.contains(QStringLiteral("core_tests"))) << text.toStdString();
}

TEST(ReportService, EventsAreJsonLinesKeptLocally)
{
    ZKReportCtlMgr& mgr = ZKReportCtlMgr::sharedMgr();
    EXPECT_EQ(&mgr, &ZKReportCtlMgr::sharedMgr());
    mgr.registWithAppIdentitifier(ZKReportAppSecret);
    EXPECT_TRUE(ZKReportCtlMgr::eventsFilePath().startsWith(qEnvironmentVariable("XDG_STATE_HOME") + "/trelvio/"));
    QFile::remove(ZKReportCtlMgr::eventsFilePath());

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&mgr, t] {
            for (int i = 0; i < 25; ++i)
                mgr.reportEventID(QStringLiteral("convert"), { { "thread", t }, { "format", "mp4" } });
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(mgr.reportEventID(QString()));

    QFile events(ZKReportCtlMgr::eventsFilePath());
    ASSERT_TRUE(events.open(QIODevice::ReadOnly));
    int lines = 0;
    while (!events.atEnd()) {
        const QJsonDocument line = QJsonDocument::fromJson(events.readLine());
        ASSERT_TRUE(line.isObject());
        EXPECT_EQ(line.object().value("event").toString(), QStringLiteral("convert"));
        EXPECT_EQ(line.object().value("params").toObject().value("format").toString(), QStringLiteral("mp4"));
        ++lines;
    }
    EXPECT_EQ(lines, 100);
    EXPECT_FALSE(ZKReportCtlMgr::sendingAllowed());
}

TEST(ReportService, FeedbackOpensTheContactPage)
{
    QList<QUrl> opened;
    Workspace::setOpenUrlFunction([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    ZKReportCtlMgr::sharedMgr().showFeedBackWindow();
    Workspace::setOpenUrlFunction({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl(ZKContactPageURL));
}
