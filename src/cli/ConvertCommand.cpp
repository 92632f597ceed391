// trelvio-cli convert: load files as the application does, apply the
// options, and run one conversion job per file with progress on the terminal.
#include "cli/Commands.h"

#include "Convert/ConvertOperation.h"
#include "Formats/FormatUtils.h"
#include "Media/LSMediaLoader.h"
#include "Platform/OperationQueue.h"
#include "Platform/UnixSignalWatcher.h"
#include "Platform/UserDefaults.h"
#include "Settings/GlobalResources.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/FileHelper.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QMetaObject>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage = "Usage: trelvio-cli convert [OPTIONS] FILE...\n"
                           "\n"
                           "Loads each file as the application does (whole file, default profile from\n"
                           "the settings, same quality as the source), applies the options and converts\n"
                           "the files, at most --jobs at once.\n"
                           "\n"
                           "Profile and video:\n"
                           "  --profile TITLE            output profile (see 'trelvio-cli profiles')\n"
                           "  --video-codec NAME         video codec, readable name or encoder name\n"
                           "  --video-bitrate KBPS       video bit rate (turns off --same-quality)\n"
                           "  --same-quality             keep the source's video bit rate (default)\n"
                           "  --no-same-quality          use the profile's video bit rate\n"
                           "  --fps N                    output frame rate\n"
                           "  --resolution W*H           output frame size\n"
                           "  --aspect 0..3              0 source, 1 output size, 2 16:9, 3 4:3\n"
                           "Audio:\n"
                           "  --audio-codec NAME         audio codec, readable name or encoder name\n"
                           "  --audio-bitrate KBPS       audio bit rate\n"
                           "  --sample-rate HZ           audio sample rate\n"
                           "Editing:\n"
                           "  --trim START,LENGTH        part to convert, seconds in the file's time base\n"
                           "                             (LENGTH more than 1 second)\n"
                           "  --crop X,Y,W,H             crop rectangle in source pixels, origin top-left\n"
                           "  --watermark-text TEXT      text watermark\n"
                           "  --watermark-image FILE     picture watermark\n"
                           "  --watermark-position 0..4  0 top left, 1 top right, 2 centre,\n"
                           "                             3 bottom left, 4 bottom right\n"
                           "  --watermark-opacity 0..1   watermark opacity (default 0.8)\n"
                           "  --watermark-size PT        text size in points (default 60)\n"
                           "Output and running:\n"
                           "  --video-dir DIR            folder of video results (default: settings)\n"
                           "  --audio-dir DIR            folder of audio results (default: settings)\n"
                           "  --jobs N                   conversions at once (default: settings, 2)\n"
                           "  --dry-run                  print each job's ffmpeg arguments, one per line,\n"
                           "                             a blank line between jobs, and run nothing\n"
                           "  --help                     show this help\n"
                           "\n"
                           "Ctrl-C cancels every job and removes partial results. The exit status is 0\n"
                           "when every file was converted, 1 when some failed, 2 for bad options and\n"
                           "128 plus the signal number when interrupted.\n";

struct UsageError {
    QString message;
};

struct Options {
    std::optional<QString> profile;
    std::optional<QString> videoCodec;
    std::optional<double> videoBitrate;
    std::optional<bool> sameQuality;
    std::optional<double> fps;
    std::optional<std::pair<int, int>> resolution;
    std::optional<int> aspect;
    std::optional<QString> audioCodec;
    std::optional<double> audioBitrate;
    std::optional<double> sampleRate;
    std::optional<std::pair<double, double>> trim;
    std::optional<QRectF> crop;
    std::optional<QString> watermarkText;
    std::optional<QString> watermarkImagePath;
    QImage watermarkImage;
    std::optional<int> watermarkPosition;
    std::optional<double> watermarkOpacity;
    std::optional<int> watermarkSize;
    QString videoDir;
    QString audioDir;
    std::optional<int> jobs;
    bool dryRun = false;
    bool help = false;
    QStringList files;
};

void printErr(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
}

void printOut(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

double parseNumber(const QString& option, const QString& value, double min, double max, bool minInclusive = true)
{
    bool ok = false;
    const double v = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v > max || (minInclusive ? v < min : v <= min))
        throw UsageError { QStringLiteral("%1: '%2' is not a number in the accepted range").arg(option, value) };
    return v;
}

int parseInteger(const QString& option, const QString& value, int min, int max)
{
    bool ok = false;
    const int v = value.trimmed().toInt(&ok);
    if (!ok || v < min || v > max)
        throw UsageError {
            QStringLiteral("%1: '%2' is not a whole number from %3 to %4").arg(option, value).arg(min).arg(max)
        };
    return v;
}

QList<double> parseNumberList(const QString& option, const QString& value, int count)
{
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != count)
        throw UsageError {
            QStringLiteral("%1: expected %2 numbers separated by commas, got '%3'").arg(option).arg(count).arg(value)
        };
    QList<double> out;
    for (const QString& p : parts)
        out << parseNumber(option, p, 0, 1e9);
    return out;
}

Options parseOptions(const QStringList& args)
{
    Options o;
    bool filesOnly = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (filesOnly || !arg.startsWith(QLatin1String("--"))) {
            if (!filesOnly && arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
                throw UsageError {
                    QStringLiteral("unknown option '%1' (put '--' before file names that begin with '-')").arg(arg)
                };
            o.files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            filesOnly = true;
            continue;
        }
        QString name = arg;
        std::optional<QString> inlineValue;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            name = arg.left(eq);
            inlineValue = arg.mid(eq + 1);
        }
        auto flag = [&]() {
            if (inlineValue)
                throw UsageError { QStringLiteral("%1 takes no value").arg(name) };
        };
        auto value = [&]() -> QString {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw UsageError { QStringLiteral("%1 needs a value").arg(name) };
            return args.at(++i);
        };

        if (name == QLatin1String("--help")) {
            flag();
            o.help = true;
        } else if (name == QLatin1String("--dry-run")) {
            flag();
            o.dryRun = true;
        } else if (name == QLatin1String("--same-quality")) {
            flag();
            o.sameQuality = true;
        } else if (name == QLatin1String("--no-same-quality")) {
            flag();
            o.sameQuality = false;
        } else if (name == QLatin1String("--profile")) {
            o.profile = value();
        } else if (name == QLatin1String("--video-codec")) {
            o.videoCodec = value();
            if (o.videoCodec->trimmed().isEmpty())
                throw UsageError { QStringLiteral("--video-codec needs a name") };
        } else if (name == QLatin1String("--video-bitrate")) {
            o.videoBitrate = parseNumber(name, value(), 0, 1e6, false);
        } else if (name == QLatin1String("--fps")) {
            o.fps = parseNumber(name, value(), 0, 1000, false);
        } else if (name == QLatin1String("--resolution")) {
            const QString v = value();
            const QStringList parts = v.split(QLatin1Char('*'));
            if (parts.size() != 2)
                throw UsageError { QStringLiteral("--resolution: expected W*H, for example 640*480, got '%1'").arg(v) };
            o.resolution
                = std::make_pair(parseInteger(name, parts.at(0), 2, 16384), parseInteger(name, parts.at(1), 2, 16384));
        } else if (name == QLatin1String("--aspect")) {
            o.aspect = parseInteger(name, value(), 0, 3);
        } else if (name == QLatin1String("--audio-codec")) {
            o.audioCodec = value();
            if (o.audioCodec->trimmed().isEmpty())
                throw UsageError { QStringLiteral("--audio-codec needs a name") };
        } else if (name == QLatin1String("--audio-bitrate")) {
            o.audioBitrate = parseNumber(name, value(), 0, 1e5, false);
        } else if (name == QLatin1String("--sample-rate")) {
            o.sampleRate = parseNumber(name, value(), 1000, 768000);
        } else if (name == QLatin1String("--trim")) {
            const QList<double> v = parseNumberList(name, value(), 2);
            if (v.at(1) <= 1.0)
                throw UsageError { QStringLiteral(
                    "--trim: the length must be more than 1 second (a shorter trim converts the whole file)") };
            o.trim = std::make_pair(v.at(0), v.at(1));
        } else if (name == QLatin1String("--crop")) {
            const QList<double> v = parseNumberList(name, value(), 4);
            if (v.at(2) < 1 || v.at(3) < 1)
                throw UsageError { QStringLiteral("--crop: the width and height must be at least 1 pixel") };
            o.crop = QRectF(v.at(0), v.at(1), v.at(2), v.at(3));
        } else if (name == QLatin1String("--watermark-text")) {
            o.watermarkText = value();
            if (o.watermarkText->isEmpty())
                throw UsageError { QStringLiteral("--watermark-text needs a text") };
        } else if (name == QLatin1String("--watermark-image")) {
            o.watermarkImagePath = value();
            o.watermarkImage = QImage(*o.watermarkImagePath);
            if (o.watermarkImage.isNull())
                throw UsageError {
                    QStringLiteral("--watermark-image: cannot read a picture from '%1'").arg(*o.watermarkImagePath)
                };
        } else if (name == QLatin1String("--watermark-position")) {
            o.watermarkPosition = parseInteger(name, value(), 0, 4);
        } else if (name == QLatin1String("--watermark-opacity")) {
            o.watermarkOpacity = parseNumber(name, value(), 0, 1);
        } else if (name == QLatin1String("--watermark-size")) {
            o.watermarkSize = parseInteger(name, value(), 1, 2000);
        } else if (name == QLatin1String("--video-dir")) {
            o.videoDir = value();
            if (o.videoDir.isEmpty())
                throw UsageError { QStringLiteral("--video-dir needs a folder") };
        } else if (name == QLatin1String("--audio-dir")) {
            o.audioDir = value();
            if (o.audioDir.isEmpty())
                throw UsageError { QStringLiteral("--audio-dir needs a folder") };
        } else if (name == QLatin1String("--jobs")) {
            o.jobs = parseInteger(name, value(), 1, 64);
        } else {
            throw UsageError { QStringLiteral("unknown option '%1'").arg(name) };
        }
    }
    if (o.help)
        return o;
    if (o.videoBitrate && o.sameQuality.value_or(false))
        throw UsageError { QStringLiteral("--video-bitrate and --same-quality exclude each other") };
    if (o.watermarkText && o.watermarkImagePath)
        throw UsageError { QStringLiteral("--watermark-text and --watermark-image exclude each other") };
    if (o.files.isEmpty())
        throw UsageError { QStringLiteral("no files given") };
    return o;
}

// A readable codec name goes through the catalogue's codec map; anything
// else is taken as the encoder's own name.
void applyCodec(const QString& given, QString& readable, QString& encoder)
{
    const QString name = given.trimmed();
    const QMap<QString, QString>& map = FormatUtils::sharedInstance().dicCodecMap();
    if (const auto it = map.constFind(name); it != map.constEnd()) {
        readable = name;
        encoder = it.value();
        return;
    }
    encoder = name;
    readable = map.key(name, name);
}

// Applies the options to one loaded item; a value that does not fit this
// file is a usage error.
void applyOptions(const Options& o, LSMedia& m)
{
    const QString file = QFileInfo(m.filePath).fileName();
    if (o.profile || (o.sameQuality && !*o.sameQuality) || o.videoBitrate) {
        m.bSampeQuality = !(o.videoBitrate || (o.sameQuality && !*o.sameQuality));
        FormatUtils::sharedInstance().fillMedia(&m, o.profile.value_or(m.strFmtName));
    }
    if (m.strOutFileExt.isEmpty())
        throw UsageError {
            QStringLiteral("%1: no output profile (the profile '%2' is not in the catalogue)").arg(file, m.strFmtName)
        };

    if (o.videoCodec)
        applyCodec(*o.videoCodec, m.readableVOCodecName, m.vOVCodecName);
    if (o.videoBitrate)
        m.dVOBitrate = *o.videoBitrate;
    else if (o.sameQuality && *o.sameQuality)
        m.dVOBitrate = double(m.videoBitrate) / 1000.0;
    if (o.fps)
        m.vOFps = *o.fps;
    if (o.resolution) {
        m.iOWidth = o.resolution->first;
        m.iOHeight = o.resolution->second;
        m.strOResolution = QStringLiteral("%1*%2").arg(m.iOWidth).arg(m.iOHeight);
    }
    if (o.aspect)
        m.aspectOption = *o.aspect;
    if (o.audioCodec)
        applyCodec(*o.audioCodec, m.readableAOCodecName, m.vOACodecName);
    if (o.audioBitrate)
        m.dAOBitrate = *o.audioBitrate;
    if (o.sampleRate)
        m.dAOSamplerate = *o.sampleRate;

    if (o.trim) {
        const double start = o.trim->first;
        double length = o.trim->second;
        const double end = m.startTime + m.duration;
        if (start < m.startTime - 1e-6 || start >= end)
            throw UsageError { QStringLiteral("%1: --trim start %2 is outside the file (%3 to %4 s)")
                                   .arg(file)
                                   .arg(start)
                                   .arg(m.startTime)
                                   .arg(end) };
        // Probed lengths are not exact; a little past the end means "to the end".
        if (start + length > end + 0.5)
            throw UsageError { QStringLiteral("%1: --trim ends at %2 s, after the end of the file (%3 s)")
                                   .arg(file)
                                   .arg(start + length)
                                   .arg(end) };
        length = std::min(length, end - start);
        m.dTrimStart = start;
        m.dTrimLength = length;
    }

    const bool hasPicture = m.mediaType != 1 && m.pixWidth > 0 && m.pixHeight > 0;
    // Without a picture there is nothing to crop or mark; the file is still
    // converted, so that one option can serve a mixed list.
    if ((o.crop || o.watermarkText || o.watermarkImagePath) && !hasPicture)
        printErr(QStringLiteral("trelvio-cli: %1 has no picture; its crop and watermark are ignored\n").arg(file));
    if (o.crop && hasPicture) {
        const QRectF frame(0, 0, m.pixWidth, m.pixHeight);
        if (!frame.contains(*o.crop))
            throw UsageError { QStringLiteral("%1: --crop %2,%3,%4,%5 is not inside the %6x%7 picture")
                                   .arg(file)
                                   .arg(o.crop->x())
                                   .arg(o.crop->y())
                                   .arg(o.crop->width())
                                   .arg(o.crop->height())
                                   .arg(m.pixWidth)
                                   .arg(m.pixHeight) };
        m.rcCroped = *o.crop;
        m.eumCropType = CropTypeFree;
    }
    if (o.watermarkText) {
        m.waterMarkType = WaterMarkTypeText;
        m.waterMartText = *o.watermarkText;
    } else if (o.watermarkImagePath) {
        m.waterMarkType = WaterMarkTypeImage;
        m.waterMarkImage = o.watermarkImage;
    }
    if (o.watermarkPosition)
        m.wmItemPosition = static_cast<::wmItemPosition>(*o.watermarkPosition);
    if (o.watermarkOpacity)
        m.wmTransValue = *o.watermarkOpacity;
    if (o.watermarkSize)
        m.wmTextFontSize = *o.watermarkSize;
    // The overlay is composed by the job from these fields.
    m.resultWaterMarkImg = QImage();
}

QString checkedFolder(const QString& given, const QString& key)
{
    QString folder = given;
    if (folder.isEmpty())
        folder = UserDefaults::standardUserDefaults().stringForKey(key);
    folder = QFileInfo(folder).absoluteFilePath();
    if (!GlobalFun::MakeSureFolderExsist(folder) || !QFileInfo(folder).isWritable())
        throw UsageError { QStringLiteral("the output folder '%1' cannot be written").arg(folder) };
    return folder;
}

QString stateText(const ConvertOperation& op)
{
    const LSMedia& m = *op.mediaToConvert();
    switch (m.cvtState()) {
    case CvtStateWaiting:
        return QStringLiteral("Waiting");
    case CvtStateConverting:
        // No guess is shown before the first measured estimate.
        if (!op.hasTimeLeftEstimate())
            return QStringLiteral("Converting");
        return QStringLiteral("Converting - ") + GlobalFun::getEstimateStrBySecond(m.dLeftTime.load());
    case CvtStateSyncing:
        return QStringLiteral("Syncing to iTunes");
    case CvtStatePaused:
        return QStringLiteral("Paused");
    case CvtStateCanceled:
        return QStringLiteral("Canceled");
    case CvtStateFinished:
        return QStringLiteral("Finished");
    case CvtStateFailed:
        return QStringLiteral("Failed");
    }
    return {};
}

struct Job {
    QString file; // as given on the command line
    std::shared_ptr<LSMedia> media;
    std::shared_ptr<ConvertOperation> operation;
    bool done = false;
    QString lastPlain; // the last plain progress line printed
};

// Per-file progress: bars redrawn in place on a terminal, plain lines when
// the output goes elsewhere.
class ProgressDisplay {
public:
    explicit ProgressDisplay(std::vector<Job>& jobs)
        : m_jobs(jobs)
        , m_tty(::isatty(STDOUT_FILENO) == 1)
    {
        for (const Job& job : m_jobs)
            m_nameWidth = std::max(m_nameWidth, int(QFileInfo(job.file).fileName().size()));
        m_nameWidth = std::min(m_nameWidth, 30);
    }

    bool isTerminal() const { return m_tty; }

    void update(bool final = false)
    {
        if (m_tty) {
            drawBars();
            if (final) {
                for (const Job& job : m_jobs) {
                    if (job.media->cvtState() == CvtStateFinished)
                        printOut(QStringLiteral("%1 -> %2\n").arg(job.file, job.operation->outputPath()));
                }
            }
        } else
            printPlain(final);
        std::fflush(stdout);
    }

private:
    int terminalWidth() const
    {
        struct winsize ws { };
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20)
            return ws.ws_col;
        return 80;
    }

    static QString elided(const QString& text, int width)
    {
        if (width <= 0)
            return {};
        if (text.size() <= width)
            return text.leftJustified(width);
        return QStringLiteral("...") + text.right(width - 3);
    }

    void drawBars()
    {
        const int width = terminalWidth();
        QString out;
        if (m_drawn > 0)
            out += QStringLiteral("\x1b[%1A").arg(m_drawn);
        for (const Job& job : m_jobs) {
            const double p = std::clamp(double(job.media->dProgress.load()), 0.0, 100.0);
            const QString state = stateText(*job.operation);
            const int barWidth = 20;
            const int filled = int(std::lround(p / 100.0 * barWidth));
            const QString bar = QStringLiteral("[") + QString(filled, QLatin1Char('#'))
                + QString(barWidth - filled, QLatin1Char('.')) + QStringLiteral("]");
            const QString tail = QStringLiteral(" %1 %2%  %3").arg(bar).arg(p, 5, 'f', 1).arg(state);
            QString line = elided(QFileInfo(job.file).fileName(), m_nameWidth) + tail;
            if (line.size() >= width)
                line.truncate(width - 1);
            out += QStringLiteral("\x1b[2K") + line + QLatin1Char('\n');
        }
        m_drawn = int(m_jobs.size());
        printOut(out);
    }

    void printPlain(bool final)
    {
        for (Job& job : m_jobs) {
            const int p = int(std::clamp(double(job.media->dProgress.load()), 0.0, 100.0));
            QString line = QStringLiteral("%1: %2% %3").arg(job.file).arg(p).arg(stateText(*job.operation));
            if (final && job.media->cvtState() == CvtStateFinished)
                line += QStringLiteral(" -> ") + job.operation->outputPath();
            // Only what changed, so that a log stays short.
            if (line == job.lastPlain)
                continue;
            if (!final && job.media->cvtState() == CvtStateWaiting)
                continue;
            job.lastPlain = line;
            printOut(line + QLatin1Char('\n'));
        }
    }

    std::vector<Job>& m_jobs;
    bool m_tty;
    int m_drawn = 0;
    int m_nameWidth = 4;
};

int runJobs(std::vector<Job>& jobs, const Options& o, const QString& videoDir, const QString& audioDir)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(o.jobs.value_or(
        int(std::max<qint64>(1, UserDefaults::standardUserDefaults().integerForKey(AppMaxConvertNumKey)))));

    QEventLoop loop;
    size_t remaining = jobs.size();
    int interruptedBy = 0;

    UnixSignalWatcher signalWatcher({ SIGINT, SIGTERM });
    QObject::connect(&signalWatcher, &UnixSignalWatcher::unixSignal, &loop, [&](int sig) {
        if (!interruptedBy)
            interruptedBy = sig;
        for (Job& job : jobs)
            job.operation->cancel();
    });

    ProgressDisplay display(jobs);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { display.update(); });
    timer.start(display.isTerminal() ? 250 : 1000);

    QCoreApplication* app = QCoreApplication::instance();
    for (size_t i = 0; i < jobs.size(); ++i) {
        Job& job = jobs[i];
        job.operation = std::make_shared<ConvertOperation>(job.media);
        job.operation->setOutputFolders(videoDir, audioDir);
        // The completion reaches this thread after any music-library
        // hand-over the job queued, so those run before the program ends.
        job.operation->completionBlock = [app, &jobs, &remaining, &loop, i] {
            QMetaObject::invokeMethod(
                app,
                [&jobs, &remaining, &loop, i] {
                    if (jobs[i].done)
                        return;
                    jobs[i].done = true;
                    if (--remaining == 0)
                        loop.quit();
                },
                Qt::QueuedConnection);
        };
    }
    display.update();
    for (Job& job : jobs)
        queue.addOperation(job.operation);
    if (remaining > 0)
        loop.exec();
    timer.stop();
    queue.waitUntilAllOperationsAreFinished();
    display.update(true);

    bool allFinished = true;
    for (const Job& job : jobs) {
        const eumCvtState s = job.media->cvtState();
        if (s == CvtStateFinished)
            continue;
        allFinished = false;
        if (s == CvtStateFailed && !interruptedBy) {
            printErr(QStringLiteral("trelvio-cli: converting %1 failed (ffmpeg exit status %2)\n")
                         .arg(job.file)
                         .arg(job.operation->iExitCode));
            const QStringList lines = job.operation->lastOutputLines();
            if (!lines.isEmpty()) {
                printErr(QStringLiteral("last lines of ffmpeg's output:\n"));
                for (const QString& line : lines)
                    printErr(QStringLiteral("  ") + line + QLatin1Char('\n'));
            }
        }
    }
    if (interruptedBy) {
        printErr(QStringLiteral("trelvio-cli: interrupted; the unfinished conversions were cancelled\n"));
        return 128 + interruptedBy;
    }
    return allFinished ? 0 : 1;
}

} // namespace

int runConvertCommand(const QStringList& args)
{
    Options options;
    try {
        options = parseOptions(args);
    } catch (const UsageError& e) {
        printErr(QStringLiteral("trelvio-cli convert: %1\nTry 'trelvio-cli convert --help'.\n").arg(e.message));
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.profile && !FormatUtils::sharedInstance().fmtDictionaryWitName(*options.profile)) {
        printErr(
            QStringLiteral("trelvio-cli convert: --profile: no profile is called '%1' (see 'trelvio-cli profiles')\n")
                .arg(*options.profile));
        return 2;
    }

    GlobalResources::prepareGlobalRes();

    // Load every file first, as the application's loader does, so that a
    // value that does not fit a file stops everything before anything runs.
    std::vector<Job> jobs;
    std::vector<std::shared_ptr<LSMedia>> loaded;
    bool loadFailed = false;
    try {
        for (const QString& file : options.files) {
            const QString path = QFileInfo(file).absoluteFilePath();
            auto media = LSMedia::mediaWithPath(path);
            media->strOutFileName = LSMediaLoader::uniqueOutFileName(path, loaded);
            QString error;
            if (!LSMediaLoader::prepareMedia(*media, &error, false)) {
                printErr(QStringLiteral("trelvio-cli: cannot open %1: %2\n").arg(file, error));
                loadFailed = true;
                continue;
            }
            applyOptions(options, *media);
            loaded.push_back(media);
            jobs.push_back(Job { file, media, nullptr, false, QString() });
        }
    } catch (const UsageError& e) {
        printErr(QStringLiteral("trelvio-cli convert: %1\n").arg(e.message));
        return 2;
    }

    QString videoDir, audioDir;
    try {
        bool needVideo = false, needAudio = false;
        for (const Job& job : jobs)
            (job.media->eumDestFmtType == DestFmtTypeAudio ? needAudio : needVideo) = true;
        if (needVideo)
            videoDir = checkedFolder(options.videoDir, AppVideoOutputFolderKey);
        if (needAudio)
            audioDir = checkedFolder(options.audioDir, AppAudioOutputFolderKey);
    } catch (const UsageError& e) {
        printErr(QStringLiteral("trelvio-cli convert: %1\n").arg(e.message));
        return 2;
    }

    if (options.dryRun) {
        bool first = true;
        for (Job& job : jobs) {
            ConvertOperation operation(job.media);
            operation.setOutputFolders(videoDir, audioDir);
            const QStringList list = operation.buildArguments();
            if (!operation.wmResultImagePath.isEmpty())
                FileHelper::deleteFileWithPath(operation.wmResultImagePath);
            QString out = first ? QString() : QStringLiteral("\n");
            first = false;
            for (const QString& a : list)
                out += a + QLatin1Char('\n');
            printOut(out);
        }
        std::fflush(stdout);
        return loadFailed ? 1 : 0;
    }

    if (jobs.empty())
        return 1;
    const int status = runJobs(jobs, options, videoDir, audioDir);
    return status == 0 && loadFailed ? 1 : status;
}
