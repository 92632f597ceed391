// The child-process runner: one QProcess with merged output channels whose
// notifications are handled on the thread that started it.
#include "Convert/TaskWrapper.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// How long a runner being destroyed waits for a process that was asked to
// terminate before it kills it.
constexpr int kTerminateGraceMsecs = 5000;

// Status reported for a program that could not be started, as a shell would.
int launchFailureCode(const QString& program)
{
    const QFileInfo info(program);
    return (!program.isEmpty() && info.exists()) ? 126 : 127;
}

// Length of the part of `bytes` that ends on a character boundary: a
// multi-byte UTF-8 sequence cut at the end stays for the next read.
qsizetype completeLength(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue;   // a continuation byte: look further back for the lead
        int needed = 1;
        if (byte >= 0xC2 && byte <= 0xDF)
            needed = 2;
        else if (byte >= 0xE0 && byte <= 0xEF)
            needed = 3;
        else if (byte >= 0xF0 && byte <= 0xF4)
            needed = 4;
        return back < needed ? size - back : size;
    }
    return size;
}

int pidfdOpen(qint64 pid)
{
#ifdef SYS_pidfd_open
    if (pid > 0)
        return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#endif
    return -1;
}

}  // namespace

TaskWrapper::TaskWrapper(TaskWrapperController* controller, const QStringList& arguments)
    : m_controller(controller), m_arguments(arguments)
{
}

TaskWrapper::~TaskWrapper()
{
    m_controller = nullptr;
    if (m_task) {
        QObject::disconnect(m_task.get(), nullptr, m_task.get(), nullptr);
        if (m_task->state() != QProcess::NotRunning) {
            {
                std::lock_guard lock(m_signalMutex);
                m_stopped = true;
                sendSignalLocked(SIGTERM);
                // A stopped process cannot act on the request: continue it.
                if (m_suspendCount > 0) {
                    m_suspendCount = 0;
                    sendSignalLocked(SIGCONT);
                }
            }
            if (!waitForExit(kTerminateGraceMsecs)) {
                {
                    std::lock_guard lock(m_signalMutex);
                    sendSignalLocked(SIGKILL);
                }
                waitForExit(-1);
            }
        }
        // On the owning thread the process has been reaped by now; elsewhere
        // QProcess reaps the (dead) child while it is destroyed.
        m_task.reset();
    }
    std::lock_guard lock(m_signalMutex);
    m_reaped = true;
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
        m_pidfd = -1;
    }
}

void TaskWrapper::startProcess()
{
    if (m_startCalled.exchange(true))
        return;   // one runner runs one process once

    if (m_controller)
        m_controller->processStarted();

    m_task = std::make_unique<QProcess>();
    QProcess* task = m_task.get();
    task->setProcessChannelMode(QProcess::MergedChannels);
    // The child never reads the terminal of this program.
    task->setStandardInputFile(QProcess::nullDevice());
    task->setProgram(m_arguments.value(0));
    task->setArguments(m_arguments.mid(1));

    // The process object lives on this thread, so these run here.
    connect(task, &QProcess::readyRead, task, [this] { getData(); });
    connect(task, &QIODevice::readChannelFinished, task, [this] { endOfOutput(); });
    connect(task, &QProcess::finished, task,
            [this](int code, QProcess::ExitStatus status) { FFMpegDidTerminate(code, status); });
    connect(task, &QProcess::errorOccurred, task, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failedToStart();
    });

    {
        std::lock_guard lock(m_signalMutex);
        m_owner = QThread::currentThread();
    }

    if (m_stopped.load()) {
        // Stopped before it was started: nothing is launched, and the run
        // ends as if the process had been terminated.
        m_startFailureCode = 128 + SIGTERM;
        QMetaObject::invokeMethod(task, [this] { finishRun(m_startFailureCode); }, Qt::QueuedConnection);
        return;
    }

    task->start();

    std::lock_guard lock(m_signalMutex);
    m_started = true;
    m_pid = task->processId();
    m_pidfd = pidfdOpen(m_pid.load());
    // A stop that came from another thread while the process was launched.
    if (m_stopped.load())
        sendSignalLocked(SIGTERM);
}

void TaskWrapper::getData()
{
    if (!m_task)
        return;
    const QByteArray bytes = m_task->readAll();
    if (!bytes.isEmpty())
        deliverOutput(bytes, false);
}

void TaskWrapper::deliverOutput(const QByteArray& bytes, bool final)
{
    if (m_stopped.load()) {
        // The pipe is still drained so that the child never blocks on it.
        m_carry.clear();
        return;
    }
    QByteArray data = m_carry + bytes;
    const qsizetype complete = final ? data.size() : completeLength(data);
    m_carry = data.mid(complete);
    data.truncate(complete);
    if (data.isEmpty())
        return;
    const QString text = m_decoder.decode(data);
    if (!text.isEmpty() && m_controller)
        m_controller->appendOutput(text);
}

void TaskWrapper::endOfOutput()
{
    getData();
    deliverOutput(QByteArray(), true);
    stopProcess();
}

void TaskWrapper::FFMpegDidTerminate(int exitCode, QProcess::ExitStatus status)
{
    // A process ended by a signal reports 128 + the signal, as a shell does.
    const int code = status == QProcess::CrashExit ? 128 + qMax(exitCode, 0) : exitCode;
    finishRun(code);
}

void TaskWrapper::failedToStart()
{
    if (m_startFailureCode != 0)
        return;
    m_startFailureCode = launchFailureCode(m_arguments.value(0));
    // Reported from the event loop, never from inside startProcess, so a
    // client that starts the runner and then prepares its wait still sees it.
    QMetaObject::invokeMethod(m_task.get(), [this] { finishRun(m_startFailureCode); },
                              Qt::QueuedConnection);
}

void TaskWrapper::finishRun(int code)
{
    if (m_terminationReported)
        return;
    m_terminationReported = true;

    // Whatever the process wrote last comes before the end.
    getData();
    deliverOutput(QByteArray(), true);
    {
        std::lock_guard lock(m_signalMutex);
        m_reaped = true;
        m_exitCode = code;
        if (m_pidfd >= 0) {
            ::close(m_pidfd);
            m_pidfd = -1;
        }
    }

    // The same sequence whether the end of output or the termination came
    // first: output, processFinished, the status, then the controller is dropped.
    m_stopped = true;
    deliverProcessFinished();
    TaskWrapperController* controller = m_controller;
    m_controller = nullptr;
    if (controller)
        controller->launcherDidTerminatedWithCode(code);

    {
        std::lock_guard lock(m_signalMutex);
        m_exited = true;
    }
    m_exitCv.notify_all();
}

void TaskWrapper::deliverProcessFinished()
{
    if (m_finishNotified.exchange(true))
        return;
    if (m_controller)
        m_controller->processFinished();
}

void TaskWrapper::stopProcess()
{
    bool first = false;
    bool onOwner = true;
    {
        std::lock_guard lock(m_signalMutex);
        first = !m_stopped.exchange(true);
        sendSignalLocked(SIGTERM);
        onOwner = !m_owner || m_owner == QThread::currentThread();
    }
    if (!first)
        return;
    if (onOwner) {
        // On the starting thread, or before any start.
        deliverProcessFinished();
    } else {
        // Callbacks belong to the starting thread; the process object exists
        // once the owner is known, and lives as long as this runner.
        QMetaObject::invokeMethod(m_task.get(), [this] { deliverProcessFinished(); },
                                  Qt::QueuedConnection);
    }
}

bool TaskWrapper::sendSignalLocked(int signal)
{
    if (!m_started || m_reaped)
        return false;
#ifdef SYS_pidfd_send_signal
    if (m_pidfd >= 0)
        return syscall(SYS_pidfd_send_signal, m_pidfd, signal, nullptr, 0) == 0;
#endif
    const qint64 pid = m_pid.load();
    return pid > 0 && ::kill(static_cast<pid_t>(pid), signal) == 0;
}

void TaskWrapper::suspend()
{
    std::lock_guard lock(m_signalMutex);
    if (!m_started || m_reaped)
        return;
    if (m_suspendCount++ == 0)
        sendSignalLocked(SIGSTOP);
}

void TaskWrapper::resume()
{
    std::lock_guard lock(m_signalMutex);
    if (m_suspendCount == 0)
        return;
    if (--m_suspendCount == 0)
        sendSignalLocked(SIGCONT);
}

bool TaskWrapper::waitForExit(int msecs)
{
    QThread* owner = nullptr;
    int pidfd = -1;
    {
        std::lock_guard lock(m_signalMutex);
        owner = m_owner;
        pidfd = m_pidfd;
    }
    if (owner == QThread::currentThread() || pidfd < 0)
        return m_task->waitForFinished(msecs);
    // Another thread must not drive the process object: watch the process
    // itself and leave the reaping to QProcess.
    pollfd fd{pidfd, POLLIN, 0};
    int rc = 0;
    do {
        rc = ::poll(&fd, 1, msecs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

void TaskWrapper::waitUntilTaskExit()
{
    if (!m_startCalled.load() || m_exited.load())
        return;
    QThread* owner = nullptr;
    {
        std::lock_guard lock(m_signalMutex);
        owner = m_owner;
    }
    if (owner == QThread::currentThread()) {
        if (m_task->state() != QProcess::NotRunning)
            m_task->waitForFinished(-1);   // delivers output and the end here
        if (!m_exited.load()) {
            // The program could not start (or never was): end the run now
            // rather than waiting for the queued report.
            if (m_startFailureCode == 0)
                m_startFailureCode = launchFailureCode(m_arguments.value(0));
            finishRun(m_startFailureCode);
        }
        return;
    }
    std::unique_lock lock(m_signalMutex);
    m_exitCv.wait(lock, [this] { return m_exited.load(); });
}

bool TaskWrapper::isRunning() const
{
    std::lock_guard lock(m_signalMutex);
    return m_started && !m_reaped;
}

qint64 TaskWrapper::processId() const
{
    return m_pid.load();
}

int TaskWrapper::exitCode() const
{
    return m_exitCode.load();
}
