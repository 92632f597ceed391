// trelvio-cli probe: the probed properties of media files, as text or JSON.
#include "cli/Commands.h"
#include "RAZedIruvIvizor/FFmpeg.h"
#include "RAZedIruvIvizor/ZKAVURLAsset.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

void printProbeUsage(FILE* out)
{
    std::fputs(
        "Usage: trelvio-cli probe [--json] [--] FILE...\n"
        "\n"
        "Opens each file and prints its container, stream and codec properties.\n"
        "\n"
        "  --json      one compact JSON object per file, one object per line, keys\n"
        "              named after the properties; the aspect ratios are \"num:den\"\n"
        "              texts, metaData is an object, videoTrack is null for audio\n"
        "  --          every later word is a file name, even one starting with '-'\n"
        "  -h, --help  this text\n"
        "\n"
        "A file that cannot be opened is reported on standard error and the other\n"
        "files are still probed. Exit status: 0 when every file opened, 1 when one\n"
        "did not, 2 on a usage error.\n",
        out);
}

QString ratioText(const ZKAVRational& r)
{
    return QStringLiteral("%1:%2").arg(r.num).arg(r.den);
}

// Every property in a fixed order: name and value.
std::vector<std::pair<QString, QJsonValue>> properties(const ZKAVURLAsset& a)
{
    QJsonObject tags;
    for (auto it = a.metaData.cbegin(); it != a.metaData.cend(); ++it)
        tags.insert(it.key(), it.value());
    QJsonValue track = QJsonValue::Null;
    if (const ZKAVTrack* t = a.videoTrack()) {
        track = QJsonObject{{"pixWidth", t->pixWidth},
                            {"pixHeight", t->pixHeight},
                            {"display_aspect_ratio", ratioText(t->display_aspect_ratio)}};
    }
    return {
        {"filePath", a.filePath},
        {"mediaType", a.mediaType},
        {"formatName", a.formatName},
        {"streamCount", a.streamCount},
        {"duration", a.duration},
        {"startTime", a.startTime},
        {"bitrate", static_cast<double>(a.bitrate)},
        {"videoCodecName", a.videoCodecName},
        {"pixfmtName", a.pixfmtName},
        {"videoDuration", a.videoDuration},
        {"pixWidth", a.pixWidth},
        {"pixHeight", a.pixHeight},
        {"sample_aspect_ratio", ratioText(a.sample_aspect_ratio)},
        {"display_aspect_ratio", ratioText(a.display_aspect_ratio)},
        {"rotation", a.rotation},
        {"videoFps", a.videoFps},
        {"videoBitrate", static_cast<double>(a.videoBitrate)},
        {"audioCodecName", a.audioCodecName},
        {"audioSampleFmt", a.audioSampleFmt},
        {"audioDuration", a.audioDuration},
        {"audioBitrate", static_cast<double>(a.audioBitrate)},
        {"audioSamplerate", a.audioSamplerate},
        {"audioChannels", a.audioChannels},
        {"videoTrack", track},
        {"metaData", tags},
    };
}

void printJson(const ZKAVURLAsset& a)
{
    QJsonObject obj;
    for (const auto& [key, value] : properties(a))
        obj.insert(key, value);
    const QByteArray line = QJsonDocument(obj).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
}

QString valueText(const QString& key, const QJsonValue& v)
{
    if (v.isString())
        return v.toString();
    if (v.isDouble()) {
        // Times and the frame rate are fractional; counts and bit rates whole.
        static const QStringList fractional{"duration", "startTime", "videoDuration", "audioDuration", "videoFps"};
        if (fractional.contains(key))
            return QString::number(v.toDouble(), 'f', 6);
        return QString::number(static_cast<qint64>(v.toDouble()));
    }
    if (v.isNull())
        return QStringLiteral("none");
    return {};
}

void printText(const ZKAVURLAsset& a, bool first)
{
    QString out;
    if (!first)
        out += QLatin1Char('\n');
    out += a.filePath + QLatin1Char('\n');
    for (const auto& [key, value] : properties(a)) {
        if (key == QLatin1String("filePath"))
            continue;
        if (key == QLatin1String("videoTrack")) {
            if (const ZKAVTrack* t = a.videoTrack())
                out += QStringLiteral("  %1 %2x%3, %4\n")
                           .arg(key, -22)
                           .arg(t->pixWidth)
                           .arg(t->pixHeight)
                           .arg(ratioText(t->display_aspect_ratio));
            else
                out += QStringLiteral("  %1 none\n").arg(key, -22);
            continue;
        }
        if (key == QLatin1String("metaData")) {
            out += a.metaData.isEmpty() ? QStringLiteral("  %1 none\n").arg(key, -22) : QStringLiteral("  %1\n").arg(key);
            for (auto it = a.metaData.cbegin(); it != a.metaData.cend(); ++it)
                out += QStringLiteral("    %1 %2\n").arg(it.key() + QLatin1Char(':'), -20).arg(it.value());
            continue;
        }
        out += QStringLiteral("  %1 %2\n").arg(key, -22).arg(valueText(key, value));
    }
    const QByteArray bytes = out.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

}  // namespace

int runProbeCommand(const QStringList& args)
{
    bool json = false;
    QStringList files;
    bool optionsDone = false;
    for (const QString& arg : args) {
        if (!optionsDone && arg == QLatin1String("--")) {
            optionsDone = true;
        } else if (!optionsDone && arg == QLatin1String("--json")) {
            json = true;
        } else if (!optionsDone && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            printProbeUsage(stdout);
            return 0;
        } else if (!optionsDone && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            std::fprintf(stderr, "trelvio-cli probe: unknown option '%s' (use -- before a file name that starts with '-')\n",
                         qPrintable(arg));
            printProbeUsage(stderr);
            return 2;
        } else {
            files << arg;
        }
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "trelvio-cli probe: no file given\n");
        printProbeUsage(stderr);
        return 2;
    }

    // Each failure is reported once, in our words and naming the file; the
    // libraries' own messages would only repeat it without the name.
    av_log_set_level(AV_LOG_FATAL);

    int status = 0;
    bool first = true;
    for (const QString& file : files) {
        ZKAVURLAsset asset;
        asset.filePath = file;
        QString error;
        const bool ok = asset.loadValuesSynchronously([&](const std::optional<QString>& e) {
            if (e)
                error = *e;
        });
        if (!ok) {
            std::fflush(stdout);
            const QByteArray msg = QStringLiteral("trelvio-cli probe: cannot open \"%1\": %2\n").arg(file, error).toUtf8();
            std::fwrite(msg.constData(), 1, static_cast<size_t>(msg.size()), stderr);
            std::fflush(stderr);
            status = 1;
            continue;
        }
        if (json)
            printJson(asset);
        else
            printText(asset, first);
        first = false;
        std::fflush(stdout);
    }
    return status;
}
