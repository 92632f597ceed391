// The conversion job's output path and ffmpeg argument list.
#include "Convert/ConvertOperation.h"

#include "Formats/FormatUtils.h"
#include "Platform/UserDefaults.h"
#include "Settings/GlobalResources.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/FileHelper.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <numeric>
#include <unistd.h>

namespace {

// Numbers the overlay pictures of the whole process; two jobs preparing a
// watermark at the same moment still get different numbers.
std::atomic<int32_t> g_waterMarkCounter { 1 };

bool isCropped(const QRectF& rc)
{
    return rc.width() > 0 && rc.height() > 0;
}

bool isUsableRatio(ZKAVRational r)
{
    return r.num > 0 && r.den > 0;
}

// The smallest equal ratio, when it fits the 32-bit fields.
std::optional<ZKAVRational> reducedRatio(int64_t num, int64_t den)
{
    if (num <= 0 || den <= 0)
        return std::nullopt;
    const int64_t g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (num > INT32_MAX || den > INT32_MAX)
        return std::nullopt;
    return ZKAVRational { static_cast<int32_t>(num), static_cast<int32_t>(den) };
}

QString absolutePath(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) ? path : QFileInfo(path).absoluteFilePath();
}

QString escapeWith(const QString& text, QStringView specials)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (specials.contains(c) || c.isSpace())
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

void ConvertOperation::setOutputFolders(const QString& videoFolder, const QString& audioFolder)
{
    m_videoFolder = videoFolder;
    m_audioFolder = audioFolder;
}

bool ConvertOperation::producesAudioOnly() const
{
    // An audio-only source has no picture to encode, whatever its profile says.
    return m_media->eumDestFmtType == DestFmtTypeAudio || m_media->mediaType == 1;
}

QString ConvertOperation::outputFolder(bool audio) const
{
    QString folder = audio ? m_audioFolder : m_videoFolder;
    if (folder.isEmpty())
        folder = UserDefaults::standardUserDefaults().stringForKey(
            audio ? AppAudioOutputFolderKey : AppVideoOutputFolderKey);
    if (folder.isEmpty())
        folder = audio ? GlobalResources::defaultAudioPath() : GlobalResources::defaultVideoPath();
    return absolutePath(folder);
}

QString ConvertOperation::sanitizedFileName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        // A slash would leave the folder; control characters (NUL, line
        // breaks) make names nobody can type.
        if (c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QLatin1Char('_');
        else
            out += c;
    }
    // Leading dots would make ".." or a hidden file.
    for (qsizetype i = 0; i < out.size() && out.at(i) == QLatin1Char('.'); ++i)
        out[i] = QLatin1Char('_');
    if (out.isEmpty())
        out = QStringLiteral("untitled");
    return out;
}

QString ConvertOperation::escapeFilterPath(const QString& path)
{
    // First level: the value of the filter's option (":" separates options,
    // "=" would make the text before it an option name). Second level: the
    // filter graph ("[", "]", "," and ";" separate pads and filters). Both
    // levels take a backslash or a quote as escaping characters and trim
    // blanks at the ends, so those are escaped too.
    const QString optionLevel = escapeWith(path, u"\\':=");
    return escapeWith(optionLevel, u"\\'[],;");
}

ZKAVRational ConvertOperation::getOutputAspect() const
{
    const LSMedia& m = *m_media;
    const bool cropped = isCropped(m.rcCroped);
    const ZKAVRational picture = cropped
        ? ZKAVRational { static_cast<int32_t>(m.rcCroped.width()), static_cast<int32_t>(m.rcCroped.height()) }
        : ZKAVRational { m.pixWidth, m.pixHeight };
    switch (m.aspectOption) {
    case AspectOptionSource: {
        const ZKAVRational dar = m.display_aspect_ratio;
        // No ratio known (or a broken one): the picture's own proportions.
        if (!isUsableRatio(dar))
            return picture;
        if (!cropped || m.pixWidth <= 0 || m.pixHeight <= 0)
            return dar;
        // The cropped part keeps the source's pixel shape, not the frame's
        // proportions: its ratio is crop width x pixel aspect : crop height.
        const auto r
            = reducedRatio(int64_t(picture.num) * dar.num * m.pixHeight, int64_t(picture.den) * dar.den * m.pixWidth);
        return r ? *r : picture;
    }
    case AspectOptionOutputSize:
        if (cropped)
            return picture;
        if (m.iOWidth > 0 && m.iOHeight > 0)
            return ZKAVRational { m.iOWidth, m.iOHeight };
        return picture;
    case AspectOption16x9:
        return ZKAVRational { 16, 9 };
    case AspectOption4x3:
        return ZKAVRational { 4, 3 };
    default:
        return picture;
    }
}

void ConvertOperation::adjustOuputResolution(ZKAVRational aspect)
{
    if (!isUsableRatio(aspect))
        return;
    LSMedia& m = *m_media;
    // H.263 and H.261 encode only their standard frame sizes (176x144,
    // 352x288, ...): a size fitted to the aspect would make the encoder refuse
    // to start. Those keep the profile's size; "-aspect" still tells players
    // how to show it.
    if (m.vOVCodecName == QLatin1String("h263") || m.vOVCodecName == QLatin1String("h261"))
        return;
    const float r = static_cast<float>(aspect.num) / static_cast<float>(aspect.den);
    const float w = static_cast<float>(m.iOWidth);
    const float h = static_cast<float>(m.iOHeight);
    if (m.iOWidth >= 1 && m.iOHeight >= 1 && std::fabs(w / h - r) < 0.1f)
        return;

    const float sourceSum = static_cast<float>(m.pixWidth) + static_cast<float>(m.pixHeight);
    const float keepWidthW = w, keepWidthH = w / r;
    const float keepHeightW = r * h, keepHeightH = h;
    const float keepWidthDistance = std::fabs(keepWidthW + keepWidthH - sourceSum);
    const float keepHeightDistance = std::fabs(keepHeightW + keepHeightH - sourceSum);

    int32_t newW, newH;
    if (keepHeightDistance > keepWidthDistance) {
        newW = static_cast<int32_t>(keepWidthW);
        newH = static_cast<int32_t>(keepWidthH);
    } else {
        newW = static_cast<int32_t>(keepHeightW);
        newH = static_cast<int32_t>(keepHeightH);
    }
    newW -= newW % 2;
    newH -= newH % 2;
    m.iOWidth = newW;
    m.iOHeight = newH;
    m.strOResolution = QStringLiteral("%1*%2").arg(newW).arg(newH);
}

std::optional<QString> ConvertOperation::getMediaCropString() const
{
    const LSMedia& m = *m_media;
    if (!isCropped(m.rcCroped))
        return std::nullopt;
    // The crop filter runs before "-s" scales the picture, so it works in
    // the source's pixels.
    double x = std::round(m.rcCroped.x());
    double y = std::round(m.rcCroped.y());
    double w = std::round(m.rcCroped.width());
    double h = std::round(m.rcCroped.height());
    if (m.pixWidth > 0 && m.pixHeight > 0) {
        x = std::clamp(x, 0.0, double(m.pixWidth - 1));
        y = std::clamp(y, 0.0, double(m.pixHeight - 1));
        w = std::clamp(w, 1.0, double(m.pixWidth) - x);
        h = std::clamp(h, 1.0, double(m.pixHeight) - y);
    }
    return QString::asprintf("crop=%0.0f:%0.0f:%0.0f:%0.0f", w, h, x, y);
}

bool ConvertOperation::prepareWatermark(QStringList& args, const std::optional<QString>& crop)
{
    LSMedia& m = *m_media;
    if (!m.hasWaterMark())
        return false;

    // The number is taken even when the picture cannot be made, as the
    // counter only has to keep names apart. Another process of ours may use
    // the same folder, so a name already taken is skipped.
    const QString folder = FileHelper::getTemporaryPath();
    QString path;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int32_t n = g_waterMarkCounter.fetch_add(1);
        path = folder + QStringLiteral("/resultWaterMark%1.png").arg(n);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST)
            break;
        path.clear();
    }

    if (m.resultWaterMarkImg.isNull())
        m.buildWatermarkImage();
    if (m.resultWaterMarkImg.isNull() || path.isEmpty()) {
        // Nothing could be drawn (or no picture file made): the crop, if
        // any, still applies.
        if (!path.isEmpty())
            QFile::remove(path);
        return false;
    }

    wmResultImagePath = path;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(GlobalFun::image(m.resultWaterMarkImg, QStringLiteral("png")));
        // A failed write is not fatal here: the tool reports the missing picture.
        file.commit();
    }
    QString filter = QStringLiteral("movie=%1 [watermark]; [in][watermark] overlay=0:0").arg(escapeFilterPath(path));
    if (crop && !crop->isEmpty())
        filter += QStringLiteral(",%1 [out]").arg(*crop);
    else
        filter += QStringLiteral(" [out]");
    args << QStringLiteral("-vf") << filter;
    return true;
}

QStringList ConvertOperation::buildArguments()
{
    LSMedia& m = *m_media;
    const bool audioOnly = producesAudioOnly();

    // 1-2. The output name and its folder: audio profiles go to the audio
    // folder; everything else, an audio-only source with a video profile
    // included, to the video folder.
    const QString ext = sanitizedFileName(m.strOutFileExt);
    const QString name = sanitizedFileName(m.strOutFileName) + QLatin1Char('.') + ext;
    const bool audioFolder = m.eumDestFmtType == DestFmtTypeAudio;
    m_outputPath = GlobalFun::makeSureFullPathIdentical(QDir(outputFolder(audioFolder)).filePath(name), ext);

    // 3. The program.
    QStringList args;
    args << GlobalFun::getFFMpegPath();

    // 4. Trim; a second or less converts the whole file.
    if (m.dTrimLength > 1.0) {
        const double start = std::max(0.0, m.dTrimStart - m.startTime);
        args << QStringLiteral("-ss") << QString::asprintf("%0.4f", start) << QStringLiteral("-t")
             << QString::asprintf("%0.4f", m.dTrimLength);
    }

    // 5. The input, as an absolute path so that no name is taken for an
    // option ("-x.mp4") or a protocol ("a:b.mp4").
    args << QStringLiteral("-i") << absolutePath(m.filePath);

    wmResultImagePath.clear();
    if (audioOnly) {
        // 6.
        args << QStringLiteral("-vn");
    } else {
        // 7.
        args << QStringLiteral("-vcodec") << m.vOVCodecName;
        if (m.vOVCodecName == QLatin1String("libx264"))
            args << QStringLiteral("-g") << QStringLiteral("15");
        args << QStringLiteral("-b:v") << QString::asprintf("%0.2fk", m.dVOBitrate);
        // The aspect is read before the size is adjusted to it.
        const ZKAVRational aspect = getOutputAspect();
        adjustOuputResolution(aspect);
        args << QStringLiteral("-s") << m.strOResolution;
        args << QStringLiteral("-r") << QString::asprintf("%0.2f", m.vOFps);
        if (isUsableRatio(aspect))
            args << QStringLiteral("-aspect") << QStringLiteral("%1:%2").arg(aspect.num).arg(aspect.den);
        const std::optional<QString> crop = getMediaCropString();
        if (!prepareWatermark(args, crop) && crop && !crop->isEmpty())
            args << QStringLiteral("-vf") << *crop;
    }

    // 8. Audio, always two channels, and the output.
    args << QStringLiteral("-acodec") << m.vOACodecName;
    args << QStringLiteral("-ar") << QString::asprintf("%0.2f", m.dAOSamplerate);
    args << QStringLiteral("-b:a") << QString::asprintf("%0.2fk", m.dAOBitrate);
    args << QStringLiteral("-ac") << QStringLiteral("2");
    // An extension ffmpeg does not know as a container ("m4r") needs the
    // muxer named, or the tool refuses the output.
    const QString muxer = FormatUtils::outputMuxerForExtension(ext);
    if (!muxer.isEmpty())
        args << QStringLiteral("-f") << muxer;
    args << QStringLiteral("-y") << m_outputPath;
    return args;
}

int ConvertOperation::reserveOutputPath()
{
    // Creating the file at once keeps a parallel job (or another program)
    // from choosing the same free name before the tool has opened it.
    const int fd = ::open(QFile::encodeName(m_outputPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno ? errno : EIO;
    ::close(fd);
    m_outputReserved = true;
    return 0;
}

void ConvertOperation::removeOutput()
{
    if (m_outputReserved && !m_outputPath.isEmpty())
        QFile::remove(m_outputPath);
    m_outputReserved = false;
}
