// The conversion queue window driving real runs of short generated clips,
// with the end-of-run services on a private bus with fakes.
#include "Common/WindowController/ConvertWndCtl.h"
#include "Convert/ConvertOperation.h"
#include "Media/LSMedia.h"
#include "Platform/UserDefaults.h"
#include "RAZedIruvIvizor/ZKUtils.h"
#include "Settings/GlobalResources.h"
#include "Settings/SettingsKeys.h"
#include "Views/ConvertPrgCell.h"
#include "Views/ZKConvertItemCell.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"
#include "support/DBusTestBus.h"
#include "support/TestMedia.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using DBusTest::waitUntil;

char processState(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray stat = f.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat.at(close + 2) : '?';
}

std::shared_ptr<LSMedia> videoItem(const QString& path, double length, const QString& name)
{
    auto m = std::make_shared<LSMedia>();
    m->filePath = path;
    m->mediaType = 0;
    m->duration = length;
    m->pixWidth = 320;
    m->pixHeight = 240;
    m->display_aspect_ratio = { 4, 3 };
    m->strOutFileName = name;
    m->strOutFileExt = QStringLiteral("mp4");
    m->vOVCodecName = QStringLiteral("libx264");
    m->dVOBitrate = 200;
    m->iOWidth = 160;
    m->iOHeight = 120;
    m->strOResolution = QStringLiteral("160*120");
    m->vOFps = 25;
    m->vOACodecName = QStringLiteral("aac");
    m->dAOBitrate = 64;
    m->dAOSamplerate = 44100;
    m->dTrimLength = length;
    return m;
}

std::shared_ptr<LSMedia> audioItem(const QString& name)
{
    auto m = videoItem(TestMedia::audioOnly(), 2, name);
    m->mediaType = 1;
    m->eumDestFmtType = DestFmtTypeAudio;
    m->strOutFileExt = QStringLiteral("m4a");
    return m;
}

struct Alert {
    QString title, message;
    QStringList buttons;
};

class ConvertWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_FALSE(TestMedia::videoWithAudio().isEmpty());
        GlobalResources::prepareGlobalRes();
        ASSERT_TRUE(dir.isValid());
        videoDir = dir.filePath("video");
        audioDir = dir.filePath("audio");
        QDir().mkpath(videoDir);
        QDir().mkpath(audioDir);
        UserDefaults& d = UserDefaults::standardUserDefaults();
        d.setString(videoDir, AppVideoOutputFolderKey);
        d.setString(audioDir, AppAudioOutputFolderKey);
        d.setInteger(2, AppMaxConvertNumKey);

        bus = std::make_unique<DBusTest::PrivateBus>();
        ASSERT_TRUE(bus->isValid()) << bus->error().toStdString();
        notifications = std::make_unique<DBusTest::FakeNotifications>(*bus);
        login1 = std::make_unique<DBusTest::FakeLogin1>(*bus);
        ASSERT_TRUE(notifications->isValid() && login1->isValid());
        client = bus->connect("client");
        ConvertWndCtl::EndOfRunTargets t;
        t.sessionBus = client;
        t.systemBus = client;
        t.openFolder = [this](const QString& folder) {
            opened << folder;
            return true;
        };
        t.powerWarningMs = 400;
        ConvertWndCtl::setEndOfRunTargetsForTesting(t);
        ConvertWndCtl::setAlertHandler(
            [this](QWidget*, const QString& title, const QString& message, const QStringList& buttons) {
                alerts.push_back({ title, message, buttons });
                return alertAnswer;
            });

        mainWindow = std::make_unique<QWidget>();
        mainWindow->resize(700, 500);
        mainWindow->show();
        ctl = new ConvertWndCtl(mainWindow.get());
    }

    void TearDown() override
    {
        delete ctl;
        mainWindow.reset();
        ConvertWndCtl::setEndOfRunTargetsForTesting({});
        ConvertWndCtl::setAlertHandler({});
        ZKUtils::setFFMpegPathOverride(QString());
        if (feeder.state() != QProcess::NotRunning) {
            feeder.kill();
            feeder.waitForFinished();
        }
        UserDefaults& d = UserDefaults::standardUserDefaults();
        for (const QString& key : { AppVideoOutputFolderKey, AppAudioOutputFolderKey, AppMaxConvertNumKey })
            d.removeObjectForKey(key);
        notifications.reset();
        login1.reset();
        bus.reset();
    }

    void start(const QList<std::shared_ptr<LSMedia>>& items, int tag = ConvertWndCtl::AfterNotify)
    {
        ctl->pBtnAfterDown()->setCurrentIndex(ctl->pBtnAfterDown()->findData(tag));
        ctl->flushAndBeginConvert(items);
        ctl->beginSheet(mainWindow.get());
    }

    bool runEnds(int timeoutMs = 120000)
    {
        return waitUntil([&] { return !ctl->isRunning(); }, timeoutMs);
    }

    // The summaries posted so far.
    QStringList summaries() const
    {
        QStringList texts;
        for (const auto& call : notifications->calls("Notify"))
            texts << call.arguments.at(4).toString();
        return texts;
    }

    // A source that lasts until cancelled: ffmpeg reads it from a named pipe
    // fed in real time.
    QString endlessSource()
    {
        const QString fifo = dir.filePath("feed.ts");
        EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        feeder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        feeder.start(TestMedia::ffmpegPath(),
            { "-nostdin", "-v", "error", "-re", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=60",
                "-c:v", "mpeg2video", "-f", "mpegts", "-y", fifo });
        EXPECT_TRUE(feeder.waitForStarted());
        return fifo;
    }

    QTemporaryDir dir;
    QString videoDir, audioDir;
    std::unique_ptr<DBusTest::PrivateBus> bus;
    std::unique_ptr<DBusTest::FakeNotifications> notifications;
    std::unique_ptr<DBusTest::FakeLogin1> login1;
    QDBusConnection client { QString() };
    QStringList opened;
    std::vector<Alert> alerts;
    int alertAnswer = 0;
    std::unique_ptr<QWidget> mainWindow;
    ConvertWndCtl* ctl = nullptr;
    QProcess feeder;
};

TEST_F(ConvertWindow, JobsRunOneAtATimeInListOrderForEveryLimitBelowTwo)
{
    const QString clip = TestMedia::videoWithAudio();
    const QVariant limits[] = { 1, 0, -3, QStringLiteral("many") };
    for (const QVariant& limit : limits) {
        SCOPED_TRACE(limit.toString().toStdString());
        UserDefaults::standardUserDefaults().setObject(limit, AppMaxConvertNumKey);
        QList<std::shared_ptr<LSMedia>> items;
        for (int i = 0; i < 3; ++i)
            items << videoItem(clip, 2, QStringLiteral("order%1").arg(i));
        start(items);
        EXPECT_EQ(ctl->queueConvertTask().maxConcurrentOperationCount(), 1);
        int maxActive = 0;
        bool inOrder = true;
        ASSERT_TRUE(waitUntil(
            [&] {
                int active = 0;
                bool waitingSeen = false;
                for (const auto& m : items) {
                    const eumCvtState s = m->cvtState();
                    if (s == CvtStateConverting || s == CvtStatePaused || s == CvtStateSyncing)
                        ++active;
                    if (s == CvtStateWaiting)
                        waitingSeen = true;
                    else if (waitingSeen)
                        inOrder = false; // a later item started before an earlier one
                }
                maxActive = std::max(maxActive, active);
                return !ctl->isRunning();
            },
            120000));
        EXPECT_EQ(maxActive, 1);
        EXPECT_TRUE(inOrder);
        for (const auto& m : items)
            EXPECT_EQ(m->cvtState(), CvtStateFinished);
        EXPECT_EQ(QDir(videoDir).entryList(QDir::Files).size(), 3 * (&limit - limits + 1));
    }
    EXPECT_EQ(summaries(), QStringList(4, "All tasks finished"));
    EXPECT_EQ(opened, QStringList(4, videoDir)) << "only the video folder";
}

TEST_F(ConvertWindow, PauseActsOnAConvertingRowOnlyAndCancellingAllEndsQuietly)
{
    UserDefaults::standardUserDefaults().setInteger(1, AppMaxConvertNumKey);
    auto running = videoItem(endlessSource(), 60, "endless");
    auto waiting = videoItem(TestMedia::videoWithAudio(), 2, "waiting");
    start({ running, waiting }, ConvertWndCtl::AfterSleep);
    ASSERT_TRUE(waitUntil(
        [&] {
            auto job = ctl->operationWithMedia(running);
            return job && job->toolProcessId() > 0 && running->dProgress.load() > 0;
        },
        60000));
    const qint64 pid = ctl->operationWithMedia(running)->toolProcessId();
    EXPECT_TRUE(login1->inhibitorCount() == 1 && !login1->inhibitorReleased(0, 0)) << "held during the run";

    ZKConvertItemCell* row0 = ctl->rowView(0);
    ZKConvertItemCell* row1 = ctl->rowView(1);
    ASSERT_TRUE(row0 && row1);
    QTest::mouseClick(row0->_btnPlayPause, Qt::LeftButton);
    EXPECT_EQ(running->cvtState(), CvtStatePaused);
    EXPECT_TRUE(waitUntil([&] { return processState(pid) == 'T'; }));
    EXPECT_EQ(row0->_lblSubTitle->text(), "Paused");
    EXPECT_EQ(row0->playPauseImageName(), "PrgContinue");

    // A waiting row: nothing changes.
    QTest::mouseClick(row1->_btnPlayPause, Qt::LeftButton);
    EXPECT_EQ(waiting->cvtState(), CvtStateWaiting);
    EXPECT_EQ(row1->playPauseImageName(), "PrgPause");
    EXPECT_EQ(row1->_lblSubTitle->text(), "Waiting");

    const QString shot = QDir::tempPath() + "/convert-window.png";
    ctl->grab().save(shot);
    std::cout << "screenshot: " << shot.toStdString() << std::endl;

    QTest::mouseClick(row0->_btnPlayPause, Qt::LeftButton);
    EXPECT_EQ(running->cvtState(), CvtStateConverting);
    EXPECT_TRUE(waitUntil([&] { return processState(pid) != 'T'; }));
    EXPECT_EQ(row0->playPauseImageName(), "PrgPause");

    QTest::mouseClick(row1->_btnCancel, Qt::LeftButton);
    QTest::mouseClick(row0->_btnCancel, Qt::LeftButton);
    EXPECT_FALSE(row0->_indicator->isVisible());
    EXPECT_EQ(ctl->iCanceled(), 2);
    // A second cancel of a cancelled row counts nothing.
    QTest::mouseClick(row0->_btnCancel, Qt::LeftButton);
    EXPECT_EQ(ctl->iCanceled(), 2);
    ASSERT_TRUE(runEnds());
    EXPECT_FALSE(ctl->isVisible());
    EXPECT_EQ(running->cvtState(), CvtStateCanceled);
    EXPECT_EQ(waiting->cvtState(), CvtStateCanceled);
    QTest::qWait(600); // longer than the power warning
    EXPECT_TRUE(summaries().isEmpty());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(ctl->powerWarning(), nullptr);
    EXPECT_TRUE(login1->calls("Suspend").empty());
    EXPECT_TRUE(login1->inhibitorReleased(0, 5000));
}

TEST_F(ConvertWindow, SummaryCountsCancelledAndFailedJobs)
{
    UserDefaults::standardUserDefaults().setInteger(1, AppMaxConvertNumKey);
    const QString clip = TestMedia::videoWithAudio();
    struct Case {
        const char* what;
        int cancelRow; // -1: none
        int failRow; // -1: none
        QString summary;
    } cases[] = {
        { "one of three cancelled", 2, -1, "All tasks finished, Except 1 tasks were canceled!" },
        { "one of three failed", -1, 1, "All tasks finished, 1 tasks failed!" },
        { "one of each", 2, 0, "All tasks finished, Except 1 tasks were canceled! 1 tasks failed!" },
    };
    int posted = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QList<std::shared_ptr<LSMedia>> items;
        for (int i = 0; i < 3; ++i)
            items << videoItem(clip, 2, QStringLiteral("sum%1").arg(i));
        if (c.failRow >= 0)
            items[c.failRow]->vOVCodecName = "no_such_encoder";
        start(items);
        if (c.cancelRow >= 0)
            QTest::mouseClick(ctl->rowView(c.cancelRow)->_btnCancel, Qt::LeftButton);
        ASSERT_TRUE(runEnds());
        ASSERT_TRUE(notifications->waitForCalls("Notify", ++posted));
        EXPECT_EQ(summaries().constLast(), c.summary);
        if (c.failRow >= 0) {
            EXPECT_EQ(items[c.failRow]->cvtState(), CvtStateFailed);
        }
        EXPECT_TRUE(ctl->aryMedias().isEmpty());
        EXPECT_EQ(ctl->tbView()->model()->rowCount(), 0);
    }
}

TEST_F(ConvertWindow, OutputFoldersOpenAudioFirst)
{
    const QString clip = TestMedia::videoWithAudio();
    struct Case {
        const char* what;
        QList<std::shared_ptr<LSMedia>> items;
        QStringList folders;
    } cases[] = {
        { "audio only", { audioItem("a1"), audioItem("a2") }, { audioDir } },
        { "mixed", { videoItem(clip, 2, "v1"), audioItem("a3") }, { audioDir, videoDir } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        opened.clear();
        start(c.items, ConvertWndCtl::AfterShutDown);
        ASSERT_TRUE(runEnds());
        EXPECT_EQ(opened, c.folders);
        for (const auto& m : c.items)
            EXPECT_EQ(m->cvtState(), CvtStateFinished);
        // The shut-down waits for its warning; cancelled here.
        ASSERT_NE(ctl->powerWarning(), nullptr);
        ctl->powerWarning()->button(QMessageBox::Cancel)->click();
    }
    EXPECT_EQ(QDir(audioDir).entryList(QDir::Files).size(), 3);
    EXPECT_TRUE(summaries().isEmpty()) << "no summary after a power choice";
}

TEST_F(ConvertWindow, TheStopButtonAndTheQuitCheckAskOnlyWhileJobsRemain)
{
    EXPECT_TRUE(ConvertWndCtl::confirmQuitIfBusy(mainWindow.get()));
    EXPECT_TRUE(alerts.empty());

    auto endless = videoItem(endlessSource(), 60, "endless");
    start({ endless });
    ASSERT_TRUE(waitUntil([&] { return endless->cvtState() == CvtStateConverting; }, 60000));

    alertAnswer = 1; // "Cancel"
    EXPECT_FALSE(ConvertWndCtl::confirmQuitIfBusy(mainWindow.get()));
    QTest::mouseClick(ctl->stopButton(), Qt::LeftButton);
    ASSERT_EQ(alerts.size(), 2u);
    for (const Alert& a : alerts) {
        EXPECT_EQ(a.title, "Alert");
        EXPECT_EQ(a.message, "Some task is not completed! Sure to quit?");
        EXPECT_EQ(a.buttons, QStringList({ "OK", "Cancel" }));
    }
    EXPECT_TRUE(ctl->isRunning());
    EXPECT_TRUE(ctl->isVisible());
    EXPECT_EQ(endless->cvtState(), CvtStateConverting);

    alertAnswer = 0; // "OK"
    EXPECT_TRUE(ConvertWndCtl::confirmQuitIfBusy(mainWindow.get()));
    QTest::mouseClick(ctl->stopButton(), Qt::LeftButton);
    EXPECT_EQ(alerts.size(), 4u);
    EXPECT_FALSE(ctl->isRunning());
    EXPECT_FALSE(ctl->isVisible());
    EXPECT_TRUE(waitUntil([&] { return ctl->queueConvertTask().operationCount() == 0; }));
    EXPECT_EQ(endless->cvtState(), CvtStateCanceled);

    // A run whose jobs are all done closes without asking, before its timer notices.
    auto quick = videoItem(TestMedia::videoWithAudio(), 2, "quick");
    start({ quick });
    for (int i = 0; i < 60000 && ctl->queueConvertTask().operationCount() > 0; ++i)
        QThread::msleep(2);
    ASSERT_EQ(ctl->queueConvertTask().operationCount(), 0);
    QTest::mouseClick(ctl->stopButton(), Qt::LeftButton);
    EXPECT_EQ(alerts.size(), 4u);
    EXPECT_FALSE(ctl->isVisible());
    EXPECT_FALSE(ctl->isRunning());
    QTest::qWait(300);
    EXPECT_TRUE(summaries().isEmpty());
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ConvertWindow, ThePowerRequestComesAfterTheWarningAndNotWhenCancelled)
{
    const QString clip = TestMedia::videoWithAudio();
    struct Case {
        int tag;
        const char* member;
        bool cancel;
    } cases[] = {
        { ConvertWndCtl::AfterSleep, "Suspend", false },
        { ConvertWndCtl::AfterShutDown, "PowerOff", false },
        { ConvertWndCtl::AfterSleep, "Suspend", true },
        { ConvertWndCtl::AfterShutDown, "PowerOff", true },
    };
    size_t expectedSuspend = 0, expectedPowerOff = 0, inhibitors = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.member) + (c.cancel ? " cancelled" : ""));
        start({ videoItem(clip, 2, "power") }, c.tag);
        ++inhibitors;
        ASSERT_EQ(login1->inhibitorCount(), int(inhibitors));
        EXPECT_FALSE(login1->inhibitorReleased(int(inhibitors) - 1, 0)) << "held while the job runs";
        ASSERT_TRUE(runEnds());
        EXPECT_TRUE(login1->inhibitorReleased(int(inhibitors) - 1, 5000)) << "released when the run ends";
        ASSERT_NE(ctl->powerWarning(), nullptr);
        EXPECT_TRUE(ctl->powerWarning()->isVisible());
        EXPECT_EQ(login1->calls("Suspend").size(), expectedSuspend) << "nothing before the warning is over";
        EXPECT_EQ(login1->calls("PowerOff").size(), expectedPowerOff);
        if (c.cancel) {
            ctl->powerWarning()->button(QMessageBox::Cancel)->click();
            QTest::qWait(800);
        } else {
            (c.tag == ConvertWndCtl::AfterSleep ? expectedSuspend : expectedPowerOff)++;
            EXPECT_TRUE(login1->waitForCalls(
                c.member, c.tag == ConvertWndCtl::AfterSleep ? expectedSuspend : expectedPowerOff));
            EXPECT_TRUE(waitUntil([&] { return ctl->powerWarning() == nullptr; }));
        }
        EXPECT_EQ(login1->calls("Suspend").size(), expectedSuspend);
        EXPECT_EQ(login1->calls("PowerOff").size(), expectedPowerOff);
    }
    EXPECT_TRUE(summaries().isEmpty());
}

TEST_F(ConvertWindow, FiftyClipsAtFourAllFinish)
{
    UserDefaults::standardUserDefaults().setInteger(4, AppMaxConvertNumKey);
    const QString clip = TestMedia::make("queue-short.mp4",
        { "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=0.5", "-c:v", "libx264", "-preset", "ultrafast",
            "-pix_fmt", "yuv420p" });
    ASSERT_FALSE(clip.isEmpty());
    QList<std::shared_ptr<LSMedia>> items;
    for (int i = 0; i < 50; ++i) {
        auto m = videoItem(clip, 0.5, QStringLiteral("many"));
        m->iOWidth = 96;
        m->iOHeight = 72;
        m->strOResolution = "96*72";
        items << m;
    }
    start(items);
    EXPECT_EQ(ctl->queueConvertTask().maxConcurrentOperationCount(), 4);
    int maxActive = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            int active = 0;
            for (const auto& m : items)
                active += m->cvtState() == CvtStateConverting;
            maxActive = std::max(maxActive, active);
            return !ctl->isRunning();
        },
        240000));
    EXPECT_LE(maxActive, 4);
    for (const auto& m : items)
        EXPECT_EQ(m->cvtState(), CvtStateFinished);
    EXPECT_EQ(ctl->queueConvertTask().operationCount(), 0);
    EXPECT_EQ(QDir(videoDir).entryList(QDir::Files).size(), 50);
    EXPECT_EQ(summaries(), QStringList { "All tasks finished" });
}

TEST_F(ConvertWindow, TheTimeLeftLeavesOutTheTimeARowSpentPaused)
{
    // A stand-in tool that advances only while it runs: 25 frames every
    // 0.2 s of its own running time, out of 25000.
    const QString tool = dir.filePath("steady-ffmpeg");
    QFile f(tool);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\ni=0\nwhile :; do i=$((i+25)); printf 'frame= %d fps=25\\r' $i; sleep 0.2; done\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ZKUtils::setFFMpegPathOverride(tool);

    auto item = videoItem("/in/steady.mp4", 1000, "steady");
    start({ item });
    ZKConvertItemCell* row = ctl->rowView(0);
    ASSERT_TRUE(waitUntil(
        [&] {
            auto job = ctl->operationWithMedia(item);
            return job && job->hasTimeLeftEstimate() && item->dProgress.load() > 2.0f;
        },
        60000));
    const double before = item->dLeftTime.load();
    ctl->refreshTimeFired();
    EXPECT_EQ(row->_lblSubTitle->text(), "Converting - " + GlobalFun::getEstimateStrBySecond(item->dLeftTime.load()));

    QTest::mouseClick(row->_btnPlayPause, Qt::LeftButton);
    ASSERT_EQ(item->cvtState(), CvtStatePaused);
    QTest::qWait(4000);
    QTest::mouseClick(row->_btnPlayPause, Qt::LeftButton);
    ASSERT_EQ(item->cvtState(), CvtStateConverting);

    // The first estimate after the pause: counting the four paused seconds
    // would make it several times the one before.
    const double last = item->dLeftTime.load();
    ASSERT_TRUE(waitUntil([&] { return item->dLeftTime.load() != last; }, 30000));
    const double after = item->dLeftTime.load();
    EXPECT_LT(after, before * 1.8) << "before " << before << " after " << after;
    EXPECT_GT(after, before * 0.3) << "before " << before << " after " << after;

    alertAnswer = 0;
    ctl->stopDown();
    EXPECT_FALSE(ctl->isRunning());
    EXPECT_TRUE(waitUntil([&] { return ctl->queueConvertTask().operationCount() == 0; }));
    EXPECT_EQ(item->cvtState(), CvtStateCanceled);
}

TEST_F(ConvertWindow, TheRefreshRedrawsOnlyTheVisibleRows)
{
    UserDefaults::standardUserDefaults().setInteger(1, AppMaxConvertNumKey);
    QList<std::shared_ptr<LSMedia>> items { videoItem(endlessSource(), 60, "endless") };
    for (int i = 1; i < 12; ++i)
        items << videoItem(TestMedia::videoWithAudio(), 2, QStringLiteral("row%1").arg(i));
    start(items);
    QTableView* table = ctl->tbView();
    const int lastVisible = table->rowAt(table->viewport()->height() - 1);
    ASSERT_GT(lastVisible, 0);
    ASSERT_LT(lastVisible, 11) << "the last rows are out of view";

    // Waiting items, their progress changed behind the rows' backs.
    items[1]->dProgress = 50.0f;
    items[11]->dProgress = 50.0f;
    ctl->refreshTimeFired();
    EXPECT_EQ(ctl->rowView(1)->_lblProgress->text(), "50.0%");
    EXPECT_EQ(ctl->rowView(11)->_lblProgress->text(), "0.0%") << "out of view: not touched";

    table->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_EQ(ctl->rowView(11)->_lblProgress->text(), "50.0%") << "shown afresh as it scrolls in";

    alertAnswer = 0;
    ctl->stopDown();
    EXPECT_TRUE(waitUntil([&] { return ctl->queueConvertTask().operationCount() == 0; }));
    for (const auto& m : items)
        EXPECT_EQ(m->cvtState(), CvtStateCanceled);
}

TEST(ConvertPrgCellTracking, ButtonsTrackThePointerExceptWhenCanceled)
{
    ConvertPrgCell cell;
    cell.eumCvtState = CvtStateConverting;
    cell.dPrgValue = 40;
    cell.dLeftTime = 12;
    cell.strLeftTimeDes = "12 seconds remaining";
    const QRectF frame(10, 20, 420, 60);
    const QPointF onPause = ConvertPrgCell::pauseRect(frame).center();
    const QPointF onCancel = ConvertPrgCell::cancelRect(frame).center();
    EXPECT_EQ(ConvertPrgCell::pauseRect(frame), QRectF(354, 42, 25, 26));
    EXPECT_EQ(ConvertPrgCell::barRect(frame), QRectF(14, 42, 342, 15));
    EXPECT_TRUE(cell.hitTest(onPause, frame));
    EXPECT_TRUE(cell.hitTest(onCancel, frame));
    EXPECT_FALSE(cell.hitTest(QPointF(12, 22), frame));

    cell.mouseDown(onPause, frame);
    EXPECT_TRUE(cell.bPauseDown);
    EXPECT_FALSE(cell.bCancelDown);
    cell.mouseDragged(onCancel, frame);
    EXPECT_FALSE(cell.bPauseDown);
    EXPECT_TRUE(cell.bCancelDown);
    const ConvertPrgCell copy = cell.copy();
    EXPECT_EQ(copy.eumCvtState, cell.eumCvtState);
    EXPECT_EQ(copy.dPrgValue, 40);
    EXPECT_EQ(copy.dLeftTime, 12);
    EXPECT_EQ(copy.strLeftTimeDes, cell.strLeftTimeDes);
    EXPECT_FALSE(copy.bCancelDown) << "the pressed flags are not copied";
    cell.mouseUp();
    EXPECT_FALSE(cell.bPauseDown || cell.bCancelDown);

    cell.eumCvtState = CvtStateCanceled;
    EXPECT_FALSE(cell.hitTest(onPause, frame));

    // The bar is drawn from the shared images: the filled part differs
    // from the empty part.
    GlobalResources::prepareGlobalRes();
    QImage image(440, 90, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        cell.eumCvtState = CvtStateConverting;
        cell.drawInteriorWithFrame(painter, frame, false);
    }
    const QRectF bar = ConvertPrgCell::barRect(frame);
    const QPoint filled(int(bar.x() + bar.width() * 0.2), int(bar.center().y()));
    const QPoint empty(int(bar.x() + bar.width() * 0.8), int(bar.center().y()));
    EXPECT_NE(image.pixel(filled), image.pixel(empty));
    EXPECT_NE(image.pixel(empty), QColor(Qt::white).rgb());
}

TEST(ConvertRowTexts, StateTextsAndPercentage)
{
    const struct {
        int state;
        const char* text;
    } cases[] = {
        { CvtStateWaiting, "Waiting" },
        { CvtStateConverting, "Converting - 2 minites 30 seconds remaining" },
        { CvtStateSyncing, "Syncing to iTunes" },
        { CvtStatePaused, "Paused" },
        { CvtStateCanceled, "Canceled" },
        { CvtStateFinished, "Finished" },
        { CvtStateFailed, "Failed" },
        { 9, "------" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertPrgCell::stateText(c.state, "2 minites 30 seconds remaining"), c.text);
    EXPECT_EQ(ConvertPrgCell::percentText(42.24), "42.2%");
    EXPECT_EQ(ConvertPrgCell::percentText(100), "100.0%");
}

} // namespace
