#include "RAZedIruvIvizor/ZKAVURLAsset.h"

#include "RAZedIruvIvizor/FFmpeg.h"
#include "RAZedIruvIvizor/ZKAVStreams.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

// Probing reads the container header and lets libavformat look at the first
// packets (avformat_find_stream_info), which decodes only what a codec needs
// to report its parameters. The libraries' default probe limits are kept, so
// the values agree with what the ffmpeg tools report for the same file.

namespace {

struct FormatContextCloser
{
    void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;

QString avErrorText(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(err, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

bool validTime(int64_t t)
{
    return t != AV_NOPTS_VALUE;
}

double seconds(int64_t t, AVRational tb)
{
    return static_cast<double>(t) * av_q2d(tb);
}

// "HH:MM:SS.fraction", as Matroska writers store the per-track DURATION tag.
double parseDurationTag(const char* text)
{
    if (!text)
        return 0;
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(text, "%d:%d:%lf", &h, &m, &s) != 3 || h < 0 || m < 0 || s < 0)
        return 0;
    return h * 3600.0 + m * 60.0 + s;
}

// The stream's own length: its duration field, else a DURATION tag.
double streamOwnDuration(const AVStream* st)
{
    if (validTime(st->duration) && st->duration > 0 && st->time_base.den > 0)
        return seconds(st->duration, st->time_base);
    if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "DURATION", nullptr, AV_DICT_IGNORE_SUFFIX))
        return parseDurationTag(e->value);
    return 0;
}

// Where the stream ends, measured from the file's first time stamp.
double streamEnd(const AVFormatContext* fmt, const AVStream* st)
{
    const double length = streamOwnDuration(st);
    if (length <= 0)
        return 0;
    double offset = 0;
    if (validTime(st->start_time) && validTime(fmt->start_time) && st->time_base.den > 0)
        offset = std::max(0.0, seconds(st->start_time, st->time_base) - fmt->start_time / double(AV_TIME_BASE));
    return offset + length;
}

int64_t tagBitrate(const AVStream* st)
{
    // Matroska muxers that write statistics tags store the bit rate as BPS.
    if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "BPS", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        bool ok = false;
        const qlonglong v = QByteArray(e->value).toLongLong(&ok);
        if (ok && v > 0)
            return v;
    }
    return 0;
}

// What the stream states about its bit rate. A statement above the average
// rate of the whole file cannot be the stream's real rate (MPEG-1/2 video
// headers say 104857200 for "variable", Vorbis states a nominal rate) and
// counts as no statement.
int64_t ownBitrate(const AVStream* st, int64_t overall)
{
    int64_t rate = st->codecpar->bit_rate > 0 ? st->codecpar->bit_rate : tagBitrate(st);
    if (overall > 0 && rate > overall)
        rate = 0;
    return rate;
}

// Clockwise display rotation in degrees, 0..359, from the display matrix
// (or the older "rotate" tag).
int displayRotation(const AVStream* st)
{
    double ccw = 0;
    bool found = false;
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    const AVPacketSideData* sd = av_packet_side_data_get(st->codecpar->coded_side_data,
                                                         st->codecpar->nb_coded_side_data,
                                                         AV_PKT_DATA_DISPLAYMATRIX);
    if (sd && sd->size >= 9 * sizeof(int32_t)) {
        ccw = av_display_rotation_get(reinterpret_cast<const int32_t*>(sd->data));
        found = !std::isnan(ccw);
    }
#else
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (matrix && size >= 9 * sizeof(int32_t)) {
        ccw = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
        found = !std::isnan(ccw);
    }
#endif
    double cw = 0;
    if (found) {
        cw = -ccw;
    } else if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "rotate", nullptr, 0)) {
        bool ok = false;
        cw = QByteArray(e->value).trimmed().toDouble(&ok);
        if (!ok)
            return 0;
    } else {
        return 0;
    }
    // Round to the nearest quarter turn; a display matrix with a small skew
    // still shows the picture upright, sideways or upside down.
    int quarter = static_cast<int>(std::lround(cw / 90.0)) % 4;
    if (quarter < 0)
        quarter += 4;
    return quarter * 90;
}

QMap<QString, QString> tagsOf(const AVDictionary* dict)
{
    QMap<QString, QString> out;
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX)))
        out.insert(QString::fromUtf8(e->key), QString::fromUtf8(e->value));
    return out;
}

int pickAudioStream(AVFormatContext* fmt)
{
    const int best = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    return best >= 0 ? best : -1;
}

// Bytes of each stream in the packets of (about) the first ten seconds,
// demuxed only. Used to share a container bit rate among streams that do not
// state their own.
std::vector<int64_t> packetBytesPerStream(AVFormatContext* fmt)
{
    std::vector<int64_t> bytes(fmt->nb_streams, 0);
    AVPacket* pkt = av_packet_alloc();
    if (!pkt)
        return bytes;
    int64_t total = 0;
    for (int n = 0; n < 5000 && total < 8 * 1024 * 1024; ++n) {
        if (av_read_frame(fmt, pkt) < 0)
            break;
        const AVStream* st = fmt->streams[pkt->stream_index];
        bytes[pkt->stream_index] += pkt->size;
        total += pkt->size;
        const int64_t ts = validTime(pkt->dts) ? pkt->dts : pkt->pts;
        const int64_t start = validTime(st->start_time) ? st->start_time : 0;
        const bool late = validTime(ts) && st->time_base.den > 0 && seconds(ts - start, st->time_base) > 10.0;
        av_packet_unref(pkt);
        if (late)
            break;
    }
    av_packet_free(&pkt);
    return bytes;
}

QString damagedOrForeignText(const QString& path)
{
    // Look at the first bytes alone (no file name, so no guess from the
    // extension): a file that starts like a known container but cannot be
    // opened is damaged or incomplete; anything else is not media at all.
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        QByteArray head = f.read(64 * 1024);
        const int size = head.size();
        head.append(QByteArray(AVPROBE_PADDING_SIZE, '\0'));
        AVProbeData pd{};
        pd.filename = "";
        pd.buf = reinterpret_cast<unsigned char*>(head.data());
        pd.buf_size = size;
        int score = 0;
        const AVInputFormat* fmt = av_probe_input_format3(&pd, 1, &score);
        if (fmt && score >= AVPROBE_SCORE_MAX / 2) {
            const QString kind = QString::fromUtf8(fmt->long_name ? fmt->long_name : fmt->name);
            return QStringLiteral("The file is damaged or incomplete: it starts like a %1 file, "
                                  "but its stream information cannot be read.").arg(kind);
        }
    }
    return QStringLiteral("The file is not a media file, or it is damaged beyond recognition.");
}

QString openErrorText(const QString& path, int err)
{
    if (err == AVERROR(ENOENT))
        return QStringLiteral("The file does not exist.");
    if (err == AVERROR(EACCES) || err == AVERROR(EPERM))
        return QStringLiteral("The file cannot be read: permission denied.");
    if (err == AVERROR(EISDIR))
        return QStringLiteral("The path is a folder, not a media file.");
    if (err == AVERROR_INVALIDDATA)
        return damagedOrForeignText(path);
    return QStringLiteral("The file cannot be opened (%1).").arg(avErrorText(err));
}

}  // namespace

bool ZKAVURLAsset::loadValuesSynchronously(const std::function<void(const std::optional<QString>& error)>& callback)
{
    // Start from a clean record, so that a second load leaves nothing of the first.
    {
        const QString path = filePath;
        ZKAVURLAsset::operator=(ZKAVURLAsset());
        filePath = path;
    }

    auto fail = [&](const QString& reason) {
        isLoaded = false;
        if (callback)
            callback(reason);
        return false;
    };

    const QFileInfo info(filePath);
    if (filePath.isEmpty())
        return fail(QStringLiteral("No file was given."));
    if (!info.exists())
        return fail(QStringLiteral("The file does not exist."));
    if (info.isDir())
        return fail(QStringLiteral("The path is a folder, not a media file."));
    if (info.size() == 0)
        return fail(QStringLiteral("The file is empty."));

    // "file:" and an absolute path: a name with a colon is never taken for a
    // protocol, and a playlist inside the file cannot reach the network.
    const QByteArray url = "file:" + QFile::encodeName(info.absoluteFilePath());
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
    // An MPEG-TS may announce programs late; look at every table, as the tools do.
    av_dict_set(&rawOptions, "scan_all_pmts", "1", 0);
    AVFormatContext* raw = nullptr;
    const int openErr = avformat_open_input(&raw, url.constData(), nullptr, &rawOptions);
    av_dict_free(&rawOptions);
    if (openErr < 0)
        return fail(openErrorText(info.absoluteFilePath(), openErr));
    FormatContextPtr fmt(raw);

    const int infoErr = avformat_find_stream_info(fmt.get(), nullptr);
    if (infoErr < 0)
        return fail(QStringLiteral("The streams of the file cannot be read (%1).").arg(avErrorText(infoErr)));

    const int vIndex = pickVideoStream(fmt.get());
    const int aIndex = pickAudioStream(fmt.get());
    if (vIndex < 0 && aIndex < 0)
        return fail(QStringLiteral("The file contains neither video nor audio."));
    const AVStream* vst = vIndex >= 0 ? fmt->streams[vIndex] : nullptr;
    const AVStream* ast = aIndex >= 0 ? fmt->streams[aIndex] : nullptr;

    mediaType = vst ? 0 : 1;
    streamCount = static_cast<int>(fmt->nb_streams);
    formatName = QString::fromUtf8(fmt->iformat->name);
    startTime = validTime(fmt->start_time) ? fmt->start_time / double(AV_TIME_BASE) : 0.0;

    // Duration: the container's, unless it is missing, or plainly wrong
    // (longer than every stream by more than a second and a tenth), in which
    // case the longest stream decides.
    double streamsEnd = 0;
    bool allStreamsKnown = true;
    for (const AVStream* st : {vst, ast}) {
        if (!st)
            continue;
        const double end = streamEnd(fmt.get(), st);
        if (end <= 0)
            allStreamsKnown = false;
        streamsEnd = std::max(streamsEnd, end);
    }
    const double containerDuration =
        validTime(fmt->duration) && fmt->duration > 0 ? fmt->duration / double(AV_TIME_BASE) : 0.0;
    bool durationCorrected = false;
    if (containerDuration <= 0) {
        duration = streamsEnd;
        durationCorrected = streamsEnd > 0;
    } else if (allStreamsKnown && streamsEnd > 0
               && containerDuration > streamsEnd + std::max(1.0, 0.1 * streamsEnd)) {
        duration = streamsEnd;
        durationCorrected = true;
    } else {
        duration = containerDuration;
    }

    // Overall bit rate: the container's, or the file size over the duration.
    bitrate = durationCorrected ? 0 : fmt->bit_rate;
    if (bitrate <= 0 && duration > 0)
        bitrate = static_cast<int64_t>(std::llround(info.size() * 8.0 / duration));

    if (vst) {
        const AVCodecParameters* par = vst->codecpar;
        videoCodecName = QString::fromUtf8(avcodec_get_name(par->codec_id));
        if (const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format)))
            pixfmtName = QString::fromUtf8(name);
        videoDuration = streamOwnDuration(vst);
        if (videoDuration <= 0)
            videoDuration = duration;
        const AVRational fps = (vst->avg_frame_rate.num > 0 && vst->avg_frame_rate.den > 0) ? vst->avg_frame_rate
                                                                                            : vst->r_frame_rate;
        videoFps = (fps.num > 0 && fps.den > 0) ? av_q2d(fps) : 0.0;

        int32_t w = par->width;
        int32_t h = par->height;
        AVRational sar = av_guess_sample_aspect_ratio(fmt.get(), const_cast<AVStream*>(vst), nullptr);
        AVRational dar{0, 1};
        if (sar.num > 0 && sar.den > 0) {
            if (w > 0 && h > 0)
                av_reduce(&dar.num, &dar.den, int64_t(w) * sar.num, int64_t(h) * sar.den, 1024 * 1024);
        } else {
            // Unknown pixel shape: square pixels, so the picture shows at its size.
            sar = AVRational{0, 1};
            if (w > 0 && h > 0)
                av_reduce(&dar.num, &dar.den, w, h, 1024 * 1024);
        }
        rotation = displayRotation(vst);
        if (rotation == 90 || rotation == 270) {
            std::swap(w, h);
            if (sar.num > 0)
                std::swap(sar.num, sar.den);
            if (dar.num > 0)
                std::swap(dar.num, dar.den);
        }
        pixWidth = w;
        pixHeight = h;
        sample_aspect_ratio = ZKAVRational{sar.num, sar.den};
        display_aspect_ratio = ZKAVRational{dar.num, dar.den};
        m_videoTrack = ZKAVTrack{pixWidth, pixHeight, display_aspect_ratio};
        m_hasVideoTrack = true;
    }

    if (ast) {
        const AVCodecParameters* par = ast->codecpar;
        audioCodecName = QString::fromUtf8(avcodec_get_name(par->codec_id));
        if (const char* name = av_get_sample_fmt_name(static_cast<AVSampleFormat>(par->format)))
            audioSampleFmt = QString::fromUtf8(name);
        audioSamplerate = par->sample_rate;
        audioChannels = par->ch_layout.nb_channels;
        audioDuration = streamOwnDuration(ast);
        if (audioDuration <= 0)
            audioDuration = duration;
    }

    // Stream bit rates: what the stream believably states (codec parameters
    // or a BPS tag). A stream that states none gets what is left of the overall bit
    // rate once the streams that do state one are taken away; when both the
    // video and the audio state none, the rest is shared by their bytes in
    // the first seconds of packets.
    videoBitrate = vst ? ownBitrate(vst, bitrate) : 0;
    audioBitrate = ast ? ownBitrate(ast, bitrate) : 0;
    const bool videoUnknown = vst && videoBitrate <= 0;
    const bool audioUnknown = ast && audioBitrate <= 0;
    if ((videoUnknown || audioUnknown) && bitrate > 0) {
        int64_t known = 0;
        for (unsigned i = 0; i < fmt->nb_streams; ++i)
            known += ownBitrate(fmt->streams[i], bitrate);
        const int64_t rest = bitrate - known;
        if (rest > 0) {
            if (videoUnknown && audioUnknown) {
                const std::vector<int64_t> bytes = packetBytesPerStream(fmt.get());
                const int64_t vb = bytes[vIndex];
                const int64_t ab = bytes[aIndex];
                if (vb + ab > 0) {
                    videoBitrate = static_cast<int64_t>(std::llround(double(rest) * vb / double(vb + ab)));
                    audioBitrate = rest - videoBitrate;
                } else {
                    videoBitrate = rest;
                }
            } else if (videoUnknown) {
                videoBitrate = rest;
            } else {
                audioBitrate = rest;
            }
        }
    }

    metaData = tagsOf(fmt->metadata);
    if (metaData.isEmpty() && !vst && ast)
        metaData = tagsOf(ast->metadata);  // Ogg and Opus keep their comments on the stream

    isLoaded = true;
    if (callback)
        callback(std::nullopt);
    return true;
}
