#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class QThread;

// Receives a runner's callbacks; every operation is optional.
class TaskWrapperController
{
public:
    virtual ~TaskWrapperController() = default;
    virtual void processStarted() {}
    // One chunk of the merged output, decoded as UTF-8 (a character cut
    // between two reads is carried over to the next chunk).
    virtual void appendOutput(const QString& output) {}
    // The runner was stopped (end of output, or the client's stop). Comes
    // once per run, before launcherDidTerminatedWithCode.
    virtual void processFinished() {}
    // The process has ended with this status (128 + the signal when a signal
    // ended it); a program that could not be started at all ends the run with
    // 127 (missing) or 126 (not executable). Always the last callback, and
    // never delivered from inside startProcess.
    virtual void launcherDidTerminatedWithCode(int code) {}
};

// Runs one external program with standard output and standard error merged
// into one pipe. Callbacks arrive on the thread that called startProcess,
// while that thread runs its event loop. suspend, resume and stopProcess may
// be called from any thread. One runner runs one process once.
class TaskWrapper : public QObject
{
    Q_OBJECT
public:
    // arguments[0] is the program's path, the rest its arguments in order.
    TaskWrapper(TaskWrapperController* controller, const QStringList& arguments);
    // A process still running is continued if suspended, asked to terminate,
    // killed after a grace period of a few seconds, and reaped; the
    // controller hears nothing more. Destroy the runner on the thread that
    // started it (or once the process has ended), never inside a callback.
    ~TaskWrapper() override;

    void startProcess();
    // Stops delivering output, asks the process to terminate (SIGTERM) and
    // tells the controller processFinished (on the starting thread). A
    // suspended process acts on the request once it is resumed.
    void stopProcess();
    // SIGSTOP / SIGCONT; suspensions and resumptions balance.
    void suspend();
    void resume();
    // Blocks until the process has exited (or could not start). On the
    // starting thread it needs no event loop (the callbacks are delivered
    // inside); on another thread it waits for the starting thread's loop.
    void waitUntilTaskExit();

    bool isRunning() const;
    qint64 processId() const;
    int exitCode() const;
    const QStringList& arguments() const { return m_arguments; }

private:
    void getData();
    void endOfOutput();
    void FFMpegDidTerminate(int exitCode, QProcess::ExitStatus status);
    void failedToStart();
    void finishRun(int code);
    void deliverOutput(const QByteArray& bytes, bool final);
    void deliverProcessFinished();
    bool sendSignalLocked(int signal);
    bool waitForExit(int msecs);

    // Touched only on the thread that called startProcess (the owner).
    TaskWrapperController* m_controller;
    QStringList m_arguments;
    std::unique_ptr<QProcess> m_task;
    // Only ever given whole characters (see m_carry), so it keeps no state.
    QStringDecoder m_decoder{QStringDecoder::Utf8,
                             QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    QByteArray m_carry;              // the start of a character cut by a read
    int m_startFailureCode = 0;      // non-zero once the program could not start
    bool m_terminationReported = false;

    std::atomic<qint64> m_pid{0};
    std::atomic<bool> m_startCalled{false};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_finishNotified{false};
    std::atomic<bool> m_exited{false};
    std::atomic<int> m_exitCode{0};

    mutable std::mutex m_signalMutex;   // guards everything below and the signals sent
    std::condition_variable m_exitCv;
    QThread* m_owner = nullptr;
    bool m_started = false;     // the process object exists and was launched
    bool m_reaped = false;      // the process is gone; no more signals
    int m_pidfd = -1;           // keeps signals from reaching a recycled pid
    int m_suspendCount = 0;
};
