#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

// Receives a runner's callbacks; every operation is optional.
class TaskWrapperController
{
public:
    virtual ~TaskWrapperController() = default;
    virtual void processStarted() {}
    // One chunk of the merged output, decoded as UTF-8 (a character cut
    // between two reads is carried over to the next chunk).
    virtual void appendOutput(const QString& output) {}
    // The runner was stopped (end of output, or the client's stop).
    virtual void processFinished() {}
    // The process has ended with this status; a program that could not be
    // started at all ends with a non-zero status too.
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
    ~TaskWrapper() override;

    void startProcess();
    // Stops delivering output, asks the process to terminate (SIGTERM) and
    // tells the controller processFinished.
    void stopProcess();
    // SIGSTOP / SIGCONT; suspensions and resumptions balance.
    void suspend();
    void resume();
    // Blocks until the process has exited (or could not start).
    void waitUntilTaskExit();

    bool isRunning() const;
    qint64 processId() const;
    int exitCode() const;
    const QStringList& arguments() const { return m_arguments; }

private:
    void getData();
    void FFMpegDidTerminate(int exitCode, QProcess::ExitStatus status);
    void failedToStart();

    TaskWrapperController* m_controller;
    QStringList m_arguments;
    std::unique_ptr<QProcess> m_task;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    std::atomic<qint64> m_pid{0};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_exited{false};
    std::atomic<int> m_exitCode{0};
    std::mutex m_signalMutex;   // guards m_suspendCount and the signals sent
    int m_suspendCount = 0;
};
