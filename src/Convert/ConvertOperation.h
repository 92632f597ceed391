#pragma once

#include "Convert/TaskWrapper.h"
#include "Media/LSMedia.h"
#include "Platform/OperationQueue.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

class QEventLoop;

// One conversion of one item: decides the output file, builds the ffmpeg
// argument list, runs the tool through a TaskWrapper on the queue's worker
// thread, turns its progress lines into a percentage and an estimate of the
// time left, and ends the item as Finished, Failed or Canceled.
//
// Threads: main(), the runner callbacks and the argument building run on the
// worker thread. pause(), resume() and cancel() come from the interface (or
// command-line) thread; they reach the runner under m_mutex.
class ConvertOperation : public Operation, public TaskWrapperController {
public:
    explicit ConvertOperation(std::shared_ptr<LSMedia> media);
    ~ConvertOperation() override;

    const std::shared_ptr<LSMedia>& mediaToConvert() const { return m_media; }

    // Output folders for this job; an empty folder means the one stored in
    // the user settings (AppVideoOutputFolderKey / AppAudioOutputFolderKey).
    void setOutputFolders(const QString& videoFolder, const QString& audioFolder);

    // The whole argument list, the program first: decides the output path,
    // adjusts the item's output size and writes the watermark overlay (the
    // caller deletes wmResultImagePath when it does not run the list).
    QStringList buildArguments();
    QString outputPath() const { return m_outputPath; }

    void main() override;
    void cancel() override;
    void pause();
    void resume();

    ZKAVRational getOutputAspect() const;
    void adjustOuputResolution(ZKAVRational aspect);
    std::optional<QString> getMediaCropString() const;

    // TaskWrapperController
    void processStarted() override;
    void appendOutput(const QString& output) override;
    void processFinished() override;
    void launcherDidTerminatedWithCode(int code) override;

    // Progress parsing of one chunk at `clock` seconds of the job's running
    // clock (time since the tool started, paused time left out).
    void handleOutput(const QString& text, double clock);

    // Whether a finished result may go to the music library.
    static bool isEligibleForSync(const LSMedia& media);
    // "movie=" needs the path escaped for both levels of the filter syntax.
    static QString escapeFilterPath(const QString& path);
    // The output file name made safe: it stays inside its folder.
    static QString sanitizedFileName(const QString& name);

    // The last lines the tool printed (about twenty), oldest first.
    QStringList lastOutputLines() const;
    // Process id of the running tool, 0 when none.
    qint64 toolProcessId() const;
    bool wasCancelledByUser() const { return m_userCancelled.load(); }
    // Whether dLeftTime holds a measured estimate yet (not the initial guess).
    bool hasTimeLeftEstimate() const { return m_hasEstimate.load(); }

    std::unique_ptr<TaskWrapper> wraperTask;
    std::atomic<bool> bIsConverting { false };
    double dLastTime = 0;
    double dLastPrg = 0;
    double dLastLeftTime = 1000.0;
    int32_t iExitCode = 0;
    QString wmResultImagePath;

private:
    bool producesAudioOnly() const;
    double progressTotalSeconds() const;
    QString outputFolder(bool audio) const;
    // Appends the overlay filter (the crop after it); false when the item
    // has no watermark or no overlay could be made.
    bool prepareWatermark(QStringList& args, const std::optional<QString>& crop);
    int reserveOutputPath(); // 0, or the errno of the failure
    void removeOutput();
    void runTool(const QStringList& args);
    void finishRun();
    double runningClock() const;
    void rememberOutput(const QString& text);

    std::shared_ptr<LSMedia> m_media;
    QString m_videoFolder;
    QString m_audioFolder;
    QString m_outputPath;
    bool m_outputReserved = false; // this job created the file at m_outputPath

    // Guards wraperTask against the interface thread and m_ended. No
    // runner callback takes it.
    mutable std::mutex m_mutex;
    std::atomic<bool> m_userCancelled { false };
    std::atomic<bool> m_hasEstimate { false };
    bool m_ended = false; // the final state is decided
    // The running clock, in steady-clock nanoseconds: written under m_mutex,
    // read without it.
    std::atomic<int64_t> m_clockStartNs { 0 };
    std::atomic<int64_t> m_pausedTotalNs { 0 };
    std::atomic<int64_t> m_pausedSinceNs { 0 }; // 0 while not paused

    QEventLoop* m_waitLoop = nullptr; // worker thread only

    mutable std::mutex m_outputMutex;
    std::deque<QString> m_lastLines;
    QString m_partialLine;
};
