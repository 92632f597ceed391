#include "Convert/TaskWrapper.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Records every callback with the thread it arrived on.
class Recorder : public TaskWrapperController
{
public:
    void processStarted() override { add("started"); }
    void appendOutput(const QString& output) override
    {
        std::lock_guard lock(mutex);
        chunks << output;
        threads.push_back(QThread::currentThread());
    }
    void processFinished() override { add("finished"); }
    void launcherDidTerminatedWithCode(int c) override
    {
        add("terminated");
        std::lock_guard lock(mutex);
        code = c;
        terminated = true;
    }

    void add(const QString& event)
    {
        std::lock_guard lock(mutex);
        events << event;
        threads.push_back(QThread::currentThread());
    }
    bool isTerminated()
    {
        std::lock_guard lock(mutex);
        return terminated;
    }
    QString output()
    {
        std::lock_guard lock(mutex);
        return chunks.join(QString());
    }

    std::mutex mutex;
    QStringList events;
    QStringList chunks;
    std::vector<QThread*> threads;
    int code = -1;
    bool terminated = false;
};

// Runs this thread's event loop until `done` holds (a generous cap keeps a
// broken build from hanging the suite; nothing here measures speed).
bool spinUntil(const std::function<bool()>& done, int capMsecs = 60000)
{
    QDeadlineTimer deadline(capMsecs);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// Sleeps (without the event loop) until `done` holds or the cap passes.
bool pollUntil(const std::function<bool()>& done, int capMsecs = 20000)
{
    QDeadlineTimer deadline(capMsecs);
    while (!done() && !deadline.hasExpired())
        QThread::msleep(10);
    return done();
}

// The scheduler state letter of /proc/<pid>/stat ('T' when stopped).
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray line = stat.readAll();
    const qsizetype paren = line.lastIndexOf(')');
    return paren >= 0 && paren + 2 < line.size() ? line[paren + 2] : '?';
}

QStringList shell(const QString& script)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script};
}

}  // namespace

TEST(TaskWrapper, MergesStandardErrorIntoTheOutputAndReportsInOrder)
{
    Recorder rec;
    TaskWrapper task(&rec, shell("echo out; echo err >&2; exit 3"));
    task.startProcess();
    ASSERT_TRUE(spinUntil([&] { return rec.isTerminated(); }));
    EXPECT_EQ(rec.output(), "out\nerr\n");
    EXPECT_EQ(rec.events, QStringList({"started", "finished", "terminated"}));
    EXPECT_EQ(rec.code, 3);
    EXPECT_EQ(task.exitCode(), 3);
    EXPECT_FALSE(task.isRunning());
}

TEST(TaskWrapper, RunsWithoutControllerAndReportsExitStatus)
{
    const struct {
        const char* script;
        int code;
    } cases[] = {
        {"exit 0", 0},
        {"echo lots; exit 7", 7},
        {"kill -TERM $$", 128 + SIGTERM},
        {"kill -KILL $$", 128 + SIGKILL},
    };
    for (const auto& c : cases) {
        TaskWrapper task(nullptr, shell(c.script));
        task.startProcess();
        task.waitUntilTaskExit();
        EXPECT_FALSE(task.isRunning()) << c.script;
        EXPECT_EQ(task.exitCode(), c.code) << c.script;
    }
}

TEST(TaskWrapper, ProgramThatCannotStartStillEndsTheRun)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("not-executable");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho never\n");
    }
    const struct {
        QStringList arguments;
        int code;
    } cases[] = {
        {{dir.filePath("missing")}, 127},
        {{plain}, 126},
        {{dir.path()}, 126},   // a folder
        {{}, 127},             // no program at all
    };
    for (const auto& c : cases) {
        // With a controller: the end arrives from the event loop, not from
        // inside startProcess, so a client may prepare its wait afterwards.
        Recorder rec;
        TaskWrapper task(&rec, c.arguments);
        task.startProcess();
        EXPECT_FALSE(rec.isTerminated());
        ASSERT_TRUE(spinUntil([&] { return rec.isTerminated(); })) << c.arguments.value(0).toStdString();
        EXPECT_EQ(rec.code, c.code);
        EXPECT_EQ(rec.events, QStringList({"started", "finished", "terminated"}));
        EXPECT_TRUE(rec.output().isEmpty());

        // Without one: waitUntilTaskExit returns.
        TaskWrapper quiet(nullptr, c.arguments);
        quiet.startProcess();
        quiet.waitUntilTaskExit();
        EXPECT_EQ(quiet.exitCode(), c.code);
    }
}

TEST(TaskWrapper, RunEndsWithTheProgramEvenIfADescendantHoldsTheOutput)
{
    Recorder rec;
    TaskWrapper task(&rec, shell("(sleep 2; echo late) & echo early; exit 5"));
    task.startProcess();
    ASSERT_TRUE(spinUntil([&] { return rec.isTerminated(); }));
    EXPECT_EQ(rec.output(), "early\n");
    EXPECT_EQ(rec.events, QStringList({"started", "finished", "terminated"}));
    EXPECT_EQ(rec.code, 5);
}

TEST(TaskWrapper, SuspendsAndResumesInBalance)
{
    Recorder rec;
    TaskWrapper task(&rec, {"/bin/sleep", "30"});
    task.startProcess();
    ASSERT_TRUE(spinUntil([&] { return processState(task.processId()) == 'S'; }));
    const qint64 pid = task.processId();

    task.suspend();
    task.suspend();
    ASSERT_TRUE(pollUntil([&] { return processState(pid) == 'T'; }));
    task.resume();
    QThread::msleep(100);
    EXPECT_EQ(processState(pid), 'T') << "two suspends need two resumes";
    task.resume();
    ASSERT_TRUE(pollUntil([&] { return processState(pid) != 'T'; }));
    task.resume();   // an extra resume is ignored
    task.suspend();
    ASSERT_TRUE(pollUntil([&] { return processState(pid) == 'T'; })) << "the count did not go negative";

    // A stop request on a suspended process waits for the resume.
    task.stopProcess();
    spinUntil([] { return false; }, 300);
    EXPECT_EQ(processState(pid), 'T');
    EXPECT_FALSE(rec.isTerminated());
    EXPECT_EQ(rec.events, QStringList({"started", "finished"}));
    task.resume();
    ASSERT_TRUE(spinUntil([&] { return rec.isTerminated(); }));
    EXPECT_EQ(rec.code, 128 + SIGTERM);
    EXPECT_EQ(rec.events, QStringList({"started", "finished", "terminated"}));
}

TEST(TaskWrapper, CarriesCharactersCutBetweenReads)
{
    // However the output is cut into reads, the text is the one the whole
    // output decodes to: characters intact, invalid bytes replaced, nothing
    // after a broken character lost.
    const struct {
        const char* script;
        QByteArray whole;
    } cases[] = {
        {R"(printf '\303'; sleep 0.3; printf '\251 ok')", "\xc3\xa9 ok"},
        {R"(printf '\360'; sleep 0.2; printf '\237'; sleep 0.2; printf '\230'; sleep 0.2; printf '\200!')",
         "\xf0\x9f\x98\x80!"},
        {R"(printf '\342\202'; sleep 0.3; printf 'zz')", "\xe2\x82zz"},
        {R"(printf 'a\377b')", "a\xff" "b"},
        {R"(printf 'x\342\202')", "x\xe2\x82"},   // cut by the end of output
    };
    for (const auto& c : cases) {
        Recorder rec;
        TaskWrapper task(&rec, shell(c.script));
        task.startProcess();
        ASSERT_TRUE(spinUntil([&] { return rec.isTerminated(); }));
        EXPECT_EQ(rec.output(), QString::fromUtf8(c.whole)) << c.script;
        for (const QString& chunk : rec.chunks)
            EXPECT_FALSE(chunk.isEmpty());
    }
}

TEST(TaskWrapper, CallbacksArriveOnTheStartingWorkerThread)
{
    // As the conversion job does it: start on a worker, run its event loop in
    // 1-second slices, and stop and wait from the main thread.
    Recorder rec;
    std::unique_ptr<TaskWrapper> task;
    std::atomic<bool> started{false};
    std::atomic<bool> released{false};
    QThread* worker = QThread::create([&] {
        task = std::make_unique<TaskWrapper>(&rec, shell("echo ready; exec sleep 30"));
        task->startProcess();
        started = true;
        while (!rec.isTerminated()) {
            QEventLoop loop;
            QTimer::singleShot(1000, &loop, &QEventLoop::quit);
            loop.exec();
        }
        pollUntil([&] { return released.load(); });
        task.reset();
    });
    worker->start();
    ASSERT_TRUE(pollUntil([&] { return started.load() && rec.output() == "ready\n"; }));
    task->stopProcess();
    task->waitUntilTaskExit();
    EXPECT_TRUE(rec.isTerminated());
    released = true;
    worker->wait();

    EXPECT_EQ(rec.events, QStringList({"started", "finished", "terminated"}));
    EXPECT_EQ(rec.code, 128 + SIGTERM);
    for (QThread* t : rec.threads)
        EXPECT_EQ(t, worker);
    delete worker;
}

TEST(TaskWrapper, DestructionLeavesNoProcessBehind)
{
    const struct {
        const char* script;
        bool suspend;
    } cases[] = {
        {"exec sleep 30", true},
        {"trap '' TERM; exec sleep 30", false},   // needs the kill after the grace period
    };
    for (const auto& c : cases) {
        Recorder rec;
        qint64 pid = 0;
        {
            TaskWrapper task(&rec, shell(c.script));
            task.startProcess();
            ASSERT_TRUE(spinUntil([&] { return processState(task.processId()) == 'S'; }));
            pid = task.processId();
            if (c.suspend)
                task.suspend();
        }
        errno = 0;
        EXPECT_EQ(::kill(static_cast<pid_t>(pid), 0), -1) << c.script << ": neither running nor a zombie";
        EXPECT_EQ(errno, ESRCH);
        EXPECT_FALSE(rec.isTerminated()) << "a runner being destroyed calls nobody";
    }
}
