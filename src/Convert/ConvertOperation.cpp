// The conversion job: running the tool, progress, pause, resume and cancel.
#include "Convert/ConvertOperation.h"

#include "Convert/ScriptBridgeHelper.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/FileHelper.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

constexpr double kLeftTimeCap = 100000.0;
constexpr size_t kKeptOutputLines = 20;

// Reads "frame=%d" at the very start of the text: blanks after the equals
// sign are skipped, then an optional sign and digits.
std::optional<long long> leadingFrameNumber(const QString& text)
{
    static const QLatin1String prefix("frame=");
    if (!text.startsWith(prefix))
        return std::nullopt;
    qsizetype i = prefix.size();
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    const qsizetype numberStart = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text.at(i).isDigit() && i - digitsStart < 18)
        ++i;
    if (i == digitsStart)
        return std::nullopt;
    bool ok = false;
    const long long value = text.mid(numberStart, i - numberStart).toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

// The media position after the first "time=": eight characters of hours,
// minutes and seconds. Anything else ("N/A", a cut chunk) gives nothing.
std::optional<double> firstTimePosition(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String("time="));
    if (at < 0)
        return std::nullopt;
    const QString stamp = text.mid(at + 5, 8);
    static const QRegularExpression pattern(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    if (!pattern.match(stamp).hasMatch())
        return std::nullopt;
    return GlobalFun::getSecondsByTimeString(stamp);
}

int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ConvertOperation::ConvertOperation(std::shared_ptr<LSMedia> media)
    : m_media(std::move(media))
{
    m_media->setCvtState(CvtStateWaiting);
    dLastLeftTime = 1000.0;
}

ConvertOperation::~ConvertOperation() = default;

bool ConvertOperation::isEligibleForSync(const LSMedia& media)
{
    return media.eumDestFmtType == 0 || media.strOutFileExt.compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0
        || media.strOutFileExt.compare(QLatin1String("m4a"), Qt::CaseInsensitive) == 0;
}

double ConvertOperation::progressTotalSeconds() const
{
    // Without trim options the tool converts the whole file.
    const LSMedia& m = *m_media;
    if (m.dTrimLength > 1.0)
        return m.dTrimLength;
    return m.duration > 0 ? m.duration : m.dTrimLength;
}

void ConvertOperation::main()
{
    if (m_userCancelled.load() || isCancelled()) {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_media->setCvtState(CvtStateCanceled);
        return;
    }

    // A name chosen as free may be taken by a parallel job before this one
    // reserves it; then the next free name is chosen.
    QStringList args;
    int reserveError = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        args = buildArguments();
        reserveError = reserveOutputPath();
        if (reserveError == 0)
            break;
        if (!wmResultImagePath.isEmpty())
            FileHelper::deleteFileWithPath(wmResultImagePath);
        args.clear();
        if (reserveError != EEXIST)
            break;
    }
    if (args.isEmpty()) {
        // The tool could not write there either (missing or read-only folder).
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_media->setCvtState(CvtStateFailed);
        rememberOutput(
            QStringLiteral("%1: %2\n").arg(m_outputPath, QString::fromLocal8Bit(std::strerror(reserveError))));
        return;
    }

    runTool(args);

    if (!wmResultImagePath.isEmpty())
        FileHelper::deleteFileWithPath(wmResultImagePath);
}

void ConvertOperation::runTool(const QStringList& args)
{
    {
        std::lock_guard lock(m_mutex);
        if (wraperTask) {
            wraperTask->stopProcess();
            wraperTask.reset();
        }
        if (m_userCancelled.load()) {
            // Cancelled while the arguments were being built: the tool
            // never starts.
            m_ended = true;
            m_media->setCvtState(CvtStateCanceled);
            bIsConverting = false;
            removeOutput();
            return;
        }
        iExitCode = 0;
        dLastTime = 0;
        dLastPrg = 0;
        m_hasEstimate = false;
        m_clockStartNs = steadyNanoseconds();
        m_pausedTotalNs = 0;
        m_pausedSinceNs = 0;
        wraperTask = std::make_unique<TaskWrapper>(this, args);
        // Set before the launch: a program that cannot start reports its end
        // from inside startProcess.
        m_media->setCvtState(CvtStateConverting);
        bIsConverting = true;
        wraperTask->startProcess();
    }

    // The runner's callbacks reach this thread only while its event loop
    // runs; the loop runs in 1-second slices, and the end of the tool ends
    // the current slice at once.
    while (bIsConverting.load()) {
        QEventLoop loop;
        m_waitLoop = &loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        m_waitLoop = nullptr;
    }

    finishRun();
}

void ConvertOperation::finishRun()
{
    std::unique_ptr<TaskWrapper> runner;
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        runner = std::move(wraperTask);
        if (m_userCancelled.load()) {
            m_media->setCvtState(CvtStateCanceled);
            removeOutput();
        } else if (iExitCode != 0) {
            m_media->setCvtState(CvtStateFailed);
            removeOutput();
        } else {
            m_media->dProgress = 100.0f;
            m_media->dLeftTime = 0.0;
            UserDefaults& defaults = UserDefaults::standardUserDefaults();
            QCoreApplication* app = QCoreApplication::instance();
            if (app && defaults.boolForKey(AppBSyncToiTunesKey) && isEligibleForSync(*m_media)) {
                m_media->setCvtState(CvtStateSyncing);
                QString playlist = defaults.stringForKey(PlaylistNameKey);
                if (playlist.isEmpty())
                    playlist = GlobalFun::getProductName();
                // The hand-over runs on the interface thread; the job does
                // not wait for it.
                QMetaObject::invokeMethod(
                    app, [playlist, path = m_outputPath] { ScriptBridgeHelper::syncItunesLibrary(playlist, path); },
                    Qt::QueuedConnection);
            }
            m_media->setCvtState(CvtStateFinished);
        }
    }
    // The runner goes on the thread that started it, outside any callback.
    runner.reset();
}

void ConvertOperation::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_ended) {
            m_userCancelled = true;
            if (wraperTask) {
                // A stopped process cannot act on the termination request.
                if (m_media->cvtState() == CvtStatePaused)
                    wraperTask->resume();
                m_media->setCvtState(CvtStateCanceled);
                wraperTask->stopProcess();
            } else {
                m_media->setCvtState(CvtStateCanceled);
                bIsConverting = false;
            }
        }
    }
    // Marks the operation itself, so that a waiting job is never started.
    Operation::cancel();
}

void ConvertOperation::pause()
{
    std::lock_guard lock(m_mutex);
    if (!wraperTask || m_ended || m_media->cvtState() != CvtStateConverting)
        return;
    m_media->setCvtState(CvtStatePaused);
    m_pausedSinceNs = steadyNanoseconds();
    wraperTask->suspend();
}

void ConvertOperation::resume()
{
    std::lock_guard lock(m_mutex);
    if (!wraperTask || m_ended || m_media->cvtState() != CvtStatePaused)
        return;
    m_media->setCvtState(CvtStateConverting);
    if (const int64_t since = m_pausedSinceNs.exchange(0))
        m_pausedTotalNs += steadyNanoseconds() - since;
    wraperTask->resume();
}

double ConvertOperation::runningClock() const
{
    // Lock-free: the runner's callbacks read it while the interface thread
    // may hold m_mutex to pause or cancel.
    const int64_t since = m_pausedSinceNs.load();
    const int64_t now = since ? since : steadyNanoseconds();
    return double(now - m_clockStartNs.load() - m_pausedTotalNs.load()) / 1e9;
}

qint64 ConvertOperation::toolProcessId() const
{
    std::lock_guard lock(m_mutex);
    return wraperTask ? wraperTask->processId() : 0;
}

void ConvertOperation::processStarted()
{
    bIsConverting = true;
}

void ConvertOperation::processFinished() { }

void ConvertOperation::launcherDidTerminatedWithCode(int code)
{
    iExitCode = code;
    bIsConverting = false;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void ConvertOperation::appendOutput(const QString& output)
{
    if (output.isEmpty())
        return;
    rememberOutput(output);
    handleOutput(output, runningClock());
}

void ConvertOperation::handleOutput(const QString& text, double clock)
{
    if (text.isEmpty())
        return;
    const LSMedia& m = *m_media;
    const double total = progressTotalSeconds();
    double ratio = 0;
    if (producesAudioOnly()) {
        const std::optional<double> position = firstTimePosition(text);
        if (!position || !(total > 0))
            return;
        ratio = *position / total;
    } else {
        if (!text.contains(QLatin1String("frame=")))
            return;
        const std::optional<long long> frames = leadingFrameNumber(text);
        if (!frames || *frames == 0)
            return;
        const double expected = m.vOFps * total;
        if (!(expected > 0) || !std::isfinite(expected))
            return;
        ratio = double(*frames) / expected;
    }
    if (!std::isfinite(ratio))
        return;
    // A probed length that is too short must not run the bar past its end.
    const double p = std::clamp(ratio * 100.0, 0.0, 100.0);
    m_media->dProgress = static_cast<float>(p);

    const double dt = clock - dLastTime;
    if (!(dt >= 1.0)) {
        m_media->dLeftTime = dLastLeftTime;
        return;
    }
    const double dp = p - dLastPrg;
    if (!(dp >= 0.1)) {
        m_media->dLeftTime = dLastLeftTime;
        return;
    }
    const double left = std::min((100.0 - p) / (dp / dt), kLeftTimeCap);
    m_media->dLeftTime = left;
    dLastPrg = p;
    dLastTime = clock;
    dLastLeftTime = left;
    m_hasEstimate = true;
}

void ConvertOperation::rememberOutput(const QString& text)
{
    // Progress lines end with a carriage return, messages with a line feed.
    std::lock_guard lock(m_outputMutex);
    QString pending = m_partialLine + text;
    qsizetype start = 0;
    for (qsizetype i = 0; i < pending.size(); ++i) {
        const QChar c = pending.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        const QString line = pending.mid(start, i - start).trimmed();
        if (!line.isEmpty()) {
            m_lastLines.push_back(line);
            if (m_lastLines.size() > kKeptOutputLines)
                m_lastLines.pop_front();
        }
        start = i + 1;
    }
    m_partialLine = pending.mid(start);
    if (m_partialLine.size() > 4096)
        m_partialLine = m_partialLine.right(4096);
}

QStringList ConvertOperation::lastOutputLines() const
{
    std::lock_guard lock(m_outputMutex);
    QStringList lines(m_lastLines.begin(), m_lastLines.end());
    const QString rest = m_partialLine.trimmed();
    if (!rest.isEmpty())
        lines << rest;
    while (lines.size() > qsizetype(kKeptOutputLines))
        lines.removeFirst();
    return lines;
}
