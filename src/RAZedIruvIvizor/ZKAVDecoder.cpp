#include "RAZedIruvIvizor/ZKAVDecoder.h"

#include "RAZedIruvIvizor/FFmpeg.h"
#include "RAZedIruvIvizor/ZKAVStreams.h"
#include "RAZedIruvIvizor/ZKAVAudioBuffer.h"
#include "RAZedIruvIvizor/ZKAVFrameQueue.h"

#include <QFile>
#include <QFileInfo>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Time stamps within a tenth of a millisecond are the same instant (the
// rounding of time bases); pictures are always further apart than that.
constexpr double kTimeSlack = 1e-4;

void freeCodec(AVCodecContext*& ctx)
{
    if (ctx)
        avcodec_free_context(&ctx);
}

AVCodecContext* openDecoder(const AVStream* st, bool threads)
{
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (!ctx)
        return nullptr;
    if (avcodec_parameters_to_context(ctx, st->codecpar) < 0) {
        avcodec_free_context(&ctx);
        return nullptr;
    }
    ctx->pkt_timebase = st->time_base;
    if (threads) {
        // As many threads as the machine offers, frame and slice threading:
        // the same decoding speed the ffmpeg tool gets.
        ctx->thread_count = 0;
        ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return nullptr;
    }
    return ctx;
}

int pickCoverStream(AVFormatContext* fmt)
{
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->attached_pic.size > 0)
            return static_cast<int>(i);
    }
    return -1;
}

// Clockwise display rotation in whole quarter turns (degrees).
int displayRotation(const AVStream* st)
{
    const int32_t* matrix = nullptr;
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    const AVPacketSideData* sd = av_packet_side_data_get(st->codecpar->coded_side_data,
                                                         st->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (sd && sd->size >= 9 * sizeof(int32_t))
        matrix = reinterpret_cast<const int32_t*>(sd->data);
#else
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data && size >= 9 * sizeof(int32_t))
        matrix = reinterpret_cast<const int32_t*>(data);
#endif
    double cw = 0;
    if (matrix) {
        const double ccw = av_display_rotation_get(matrix);
        if (std::isnan(ccw))
            return 0;
        cw = -ccw;
    } else if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "rotate", nullptr, 0)) {
        cw = std::atof(e->value);
    }
    int quarter = static_cast<int>(std::lround(cw / 90.0)) % 4;
    if (quarter < 0)
        quarter += 4;
    return quarter * 90;
}

// The deprecated full-range ("J") formats, as the plain format and a range.
AVPixelFormat plainFormat(AVPixelFormat f, bool* fullRange)
{
    switch (f) {
    case AV_PIX_FMT_YUVJ420P:
        *fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        *fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        *fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        *fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        *fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return f;
    }
}

// The colour matrix of the frame; an unmarked HD picture is BT.709, as every
// HD source is, an unmarked SD picture BT.601.
int swsColorspace(const AVFrame* f)
{
    switch (f->colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    default:
        return f->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

double frameDuration(const AVFrame* f, AVRational tb, double nominal)
{
    if (f->pkt_duration > 0)
        return f->pkt_duration * av_q2d(tb);
    return nominal;
}

}  // namespace

// The FFmpeg state of the decoding thread.
struct ZKAVDecoder::Contexts
{
    AVFormatContext* fmt = nullptr;
    AVCodecContext* vdec = nullptr;
    AVCodecContext* adec = nullptr;
    SwsContext* sws = nullptr;
    SwrContext* swr = nullptr;
    AVPacket* pkt = nullptr;
    AVFrame* frame = nullptr;
    AVFrame* lastSkipped = nullptr;  // the latest picture at or before the seek target
    double lastSkippedPts = 0;
    double lastSkippedDuration = 0;
    int vidx = -1;
    int aidx = -1;
    double startTime = 0;        // the file's first time stamp, seconds
    double nominalDuration = 0;  // of one picture, from the frame rate
    double nextVideoPts = 0;
    double nextAudioPts = 0;
    int rotation = 0;
    // Conversion set-up the sws context was last given.
    int swsColorspace = -1;
    int swsFullRange = -1;
    // Input format the resampler was made for.
    AVChannelLayout swrInLayout{};
    int swrInFormat = -1;
    int swrInRate = 0;

    ~Contexts()
    {
        av_channel_layout_uninit(&swrInLayout);
        sws_freeContext(sws);
        swr_free(&swr);
        av_frame_free(&lastSkipped);
        av_frame_free(&frame);
        av_packet_free(&pkt);
        freeCodec(vdec);
        freeCodec(adec);
        if (fmt)
            avformat_close_input(&fmt);
    }
};

ZKAVDecoder::ZKAVDecoder(const QString& path, const ZKAVAudioOutputFormat& audioFormat, ZKAVFrameQueue* frames,
                         ZKAVAudioBuffer* audio)
    : m_path(path)
    , m_audioFormat(audio ? audioFormat : ZKAVAudioOutputFormat{})
    , m_frames(frames)
    , m_audio(audio)
{
}

ZKAVDecoder::~ZKAVDecoder()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void ZKAVDecoder::start(double startAt, int serial)
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([this, startAt, serial] { run(startAt, serial); });
}

void ZKAVDecoder::seek(double t, int serial)
{
    {
        std::lock_guard lock(m_mutex);
        m_seekPending = true;
        m_seekTarget = t;
        m_seekSerial = serial;
    }
    m_wake.notify_all();
}

void ZKAVDecoder::wake()
{
    // Taking the lock orders this wake after a waiter's look at the queues.
    { std::lock_guard lock(m_mutex); }
    m_wake.notify_all();
}

bool ZKAVDecoder::isOpened() const
{
    std::lock_guard lock(m_mutex);
    return m_opened;
}

bool ZKAVDecoder::hasFailed() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

ZKAVStreamInfo ZKAVDecoder::info() const
{
    std::lock_guard lock(m_mutex);
    return m_info;
}

bool ZKAVDecoder::reachedEnd(int serial) const
{
    std::lock_guard lock(m_mutex);
    return m_endSerial == serial && !m_seekPending;
}

double ZKAVDecoder::mediaEnd() const
{
    std::lock_guard lock(m_mutex);
    return m_mediaEnd;
}

void ZKAVDecoder::run(double startAt, int serial)
{
    m_ctx = std::make_unique<Contexts>();
    if (!open()) {
        m_ctx.reset();
        std::lock_guard lock(m_mutex);
        m_failed = true;
        m_endSerial = serial;
        return;
    }
    performSeek(startAt, serial);
    for (;;) {
        bool doSeek = false;
        double target = 0;
        int targetSerial = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_seekPending || (!m_eof && !shouldWait()); });
            if (m_stop)
                break;
            if (m_seekPending) {
                doSeek = true;
                target = m_seekTarget;
                targetSerial = m_seekSerial;
                m_seekPending = false;
            }
        }
        if (doSeek)
            performSeek(target, targetSerial);
        else
            readOnePacket();
    }
    m_ctx.reset();
}

bool ZKAVDecoder::open()
{
    Contexts& c = *m_ctx;
    const QFileInfo fi(m_path);
    if (!fi.exists() || fi.isDir())
        return false;
    // As the probe does: "file:" and an absolute path, file protocol only.
    const QByteArray url = "file:" + QFile::encodeName(fi.absoluteFilePath());
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "scan_all_pmts", "1", 0);
    const int err = avformat_open_input(&c.fmt, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (err < 0 || avformat_find_stream_info(c.fmt, nullptr) < 0)
        return false;
    c.pkt = av_packet_alloc();
    c.frame = av_frame_alloc();
    c.lastSkipped = av_frame_alloc();
    if (!c.pkt || !c.frame || !c.lastSkipped)
        return false;
    if (c.fmt->start_time != AV_NOPTS_VALUE)
        c.startTime = c.fmt->start_time / double(AV_TIME_BASE);

    ZKAVStreamInfo info;
    c.vidx = pickVideoStream(c.fmt);
    if (c.vidx >= 0) {
        const AVStream* st = c.fmt->streams[c.vidx];
        c.vdec = openDecoder(st, true);
        if (!c.vdec)
            c.vidx = -1;
    }
    if (c.vidx >= 0) {
        AVStream* st = c.fmt->streams[c.vidx];
        info.hasVideo = true;
        int w = st->codecpar->width;
        int h = st->codecpar->height;
        AVRational dar{0, 1};
        const AVRational sar = av_guess_sample_aspect_ratio(c.fmt, st, nullptr);
        if (w > 0 && h > 0) {
            if (sar.num > 0 && sar.den > 0)
                av_reduce(&dar.num, &dar.den, int64_t(w) * sar.num, int64_t(h) * sar.den, 1024 * 1024);
            else
                av_reduce(&dar.num, &dar.den, w, h, 1024 * 1024);
        }
        c.rotation = displayRotation(st);
        if (c.rotation == 90 || c.rotation == 270) {
            std::swap(w, h);
            std::swap(dar.num, dar.den);
        }
        info.width = w;
        info.height = h;
        info.displayAspectRatio = ZKAVRational{dar.num, dar.den};
        info.rotation = c.rotation;
        AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
        c.nominalDuration = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.04;
    }

    const int aidx = av_find_best_stream(c.fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (aidx >= 0) {
        c.aidx = aidx;
        info.hasAudio = true;
        if (m_audioFormat.isValid())
            c.adec = openDecoder(c.fmt->streams[aidx], false);
    }

    if (!info.hasVideo) {
        const int cidx = pickCoverStream(c.fmt);
        if (cidx >= 0) {
            const AVStream* st = c.fmt->streams[cidx];
            AVCodecContext* pic = openDecoder(st, false);
            if (pic && avcodec_send_packet(pic, &st->attached_pic) >= 0) {
                avcodec_send_packet(pic, nullptr);
                if (avcodec_receive_frame(pic, c.frame) >= 0) {
                    info.cover = convert(c.frame);
                    av_frame_unref(c.frame);
                }
            }
            freeCodec(pic);
            // The cover's conversion must not be mistaken for a video one.
            sws_freeContext(c.sws);
            c.sws = nullptr;
            c.swsColorspace = c.swsFullRange = -1;
        }
    }

    if (c.fmt->duration != AV_NOPTS_VALUE && c.fmt->duration > 0)
        info.duration = c.fmt->duration / double(AV_TIME_BASE);

    if (!info.hasVideo && !info.hasAudio)
        return false;

    std::lock_guard lock(m_mutex);
    m_info = info;
    m_opened = true;
    return true;
}

bool ZKAVDecoder::shouldWait() const
{
    const Contexts& c = *m_ctx;
    const bool hasVideo = c.vdec != nullptr;
    const size_t pictures = hasVideo ? m_frames->size() : 0;
    const size_t cap = m_frames->capacity();
    const bool soundOn = c.adec && m_audio && m_audio->isAccepting();
    const double soundAhead = soundOn ? m_audio->bufferedSeconds() : 0;
    // Pictures may run a little over their room while the sound is about to
    // run dry, so a file whose sound lags its pictures still plays.
    if (hasVideo && pictures >= 2 * cap)
        return true;
    if (hasVideo && pictures >= cap && !(soundOn && soundAhead < 0.3))
        return true;
    if (soundOn && soundAhead > 1.0 && !(hasVideo && pictures < 2))
        return true;
    return false;
}

void ZKAVDecoder::performSeek(double t, int serial)
{
    Contexts& c = *m_ctx;
    t = std::max(0.0, t);
    m_serial = serial;
    m_skipBefore = t;
    m_deliveredSinceSeek = false;
    m_eof = false;
    {
        std::lock_guard lock(m_mutex);
        m_mediaEnd = t;
        m_mediaEndSerial = serial;
    }
    av_frame_unref(c.lastSkipped);

    const int64_t ts = std::llround((t + c.startTime) * AV_TIME_BASE);
    int ret = -1;
    if (c.vidx >= 0) {
        const AVStream* st = c.fmt->streams[c.vidx];
        const int64_t sts = av_rescale_q(ts, AV_TIME_BASE_Q, st->time_base);
        ret = avformat_seek_file(c.fmt, c.vidx, std::numeric_limits<int64_t>::min(), sts, sts, 0);
    } else {
        ret = avformat_seek_file(c.fmt, -1, std::numeric_limits<int64_t>::min(), ts, ts, 0);
    }
    if (ret < 0)
        ret = av_seek_frame(c.fmt, -1, ts, AVSEEK_FLAG_BACKWARD);
    if (ret < 0) {
        // Not seekable near the target: start over and decode forward.
        avformat_seek_file(c.fmt, -1, std::numeric_limits<int64_t>::min(), 0, 0, AVSEEK_FLAG_BYTE);
    }
    if (c.vdec)
        avcodec_flush_buffers(c.vdec);
    if (c.adec)
        avcodec_flush_buffers(c.adec);
    if (c.swr)
        swr_init(c.swr);  // forget the samples of the old position
    c.nextVideoPts = t;
    c.nextAudioPts = t;
}

void ZKAVDecoder::readOnePacket()
{
    Contexts& c = *m_ctx;
    const int ret = av_read_frame(c.fmt, c.pkt);
    if (ret == AVERROR(EAGAIN)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return;
    }
    if (ret < 0) {
        finishAfterEof();
        return;
    }
    if (c.pkt->stream_index == c.vidx)
        decodeVideo(c.pkt);
    else if (c.pkt->stream_index == c.aidx && c.aidx >= 0)
        c.adec ? decodeAudio(c.pkt) : noteAudioPacket(c.pkt);
    av_packet_unref(c.pkt);
}

void ZKAVDecoder::finishAfterEof()
{
    Contexts& c = *m_ctx;
    if (c.vdec)
        decodeVideo(nullptr);
    if (c.adec)
        decodeAudio(nullptr);
    // A target at or past the last picture shows the last picture.
    if (c.vdec && !m_deliveredSinceSeek && c.lastSkipped->buf[0]) {
        deliverVideo(c.lastSkipped, c.lastSkippedPts, c.lastSkippedDuration);
        av_frame_unref(c.lastSkipped);
    }
    m_eof = true;
    std::lock_guard lock(m_mutex);
    m_endSerial = m_serial;
}

void ZKAVDecoder::decodeVideo(const AVPacket* pkt)
{
    Contexts& c = *m_ctx;
    const AVRational tb = c.fmt->streams[c.vidx]->time_base;
    // On the way to a seek target, pictures that nothing refers to and that
    // end well before the target need not be decoded at all.
    AVDiscard discard = AVDISCARD_DEFAULT;
    if (pkt && !m_deliveredSinceSeek && pkt->pts != AV_NOPTS_VALUE
        && pkt->pts * av_q2d(tb) - c.startTime + 2 * c.nominalDuration < m_skipBefore)
        discard = AVDISCARD_NONREF;
    c.vdec->skip_frame = discard;
    if (avcodec_send_packet(c.vdec, pkt) < 0 && pkt)
        return;
    while (avcodec_receive_frame(c.vdec, c.frame) >= 0) {
        double pts = c.nextVideoPts;
        if (c.frame->best_effort_timestamp != AV_NOPTS_VALUE)
            pts = c.frame->best_effort_timestamp * av_q2d(tb) - c.startTime;
        const double duration = frameDuration(c.frame, tb, c.nominalDuration);
        c.nextVideoPts = pts + duration;
        if (!m_deliveredSinceSeek) {
            // The picture on screen at the target is the last one that
            // starts at or before it; only that one is converted.
            if (pts <= m_skipBefore + kTimeSlack) {
                av_frame_unref(c.lastSkipped);
                av_frame_move_ref(c.lastSkipped, c.frame);
                c.lastSkippedPts = pts;
                c.lastSkippedDuration = duration;
                continue;
            }
            if (c.lastSkipped->buf[0]) {
                deliverVideo(c.lastSkipped, c.lastSkippedPts, c.lastSkippedDuration);
                av_frame_unref(c.lastSkipped);
            }
        }
        deliverVideo(c.frame, pts, duration);
        av_frame_unref(c.frame);
    }
}

void ZKAVDecoder::deliverVideo(AVFrame* frame, double pts, double duration)
{
    QImage image = convert(frame);
    if (image.isNull())
        return;
    m_deliveredSinceSeek = true;
    m_frames->push(ZKAVVideoFrame{std::move(image), pts, duration, m_serial});
    raiseMediaEnd(pts + duration);
}

QImage ZKAVDecoder::convert(AVFrame* frame)
{
    Contexts& c = *m_ctx;
    const int w = frame->width;
    const int h = frame->height;
    if (w <= 0 || h <= 0)
        return {};
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat src = plainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(src);
    if (!desc)
        return {};
    const bool alpha = desc->flags & AV_PIX_FMT_FLAG_ALPHA;
    // AV_PIX_FMT_RGB32 is one native-endian 0xAARRGGBB word per pixel,
    // exactly QImage's 32-bit layouts.
    c.sws = sws_getCachedContext(c.sws, w, h, src, w, h, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!c.sws)
        return {};
    const int cs = swsColorspace(frame);
    if (cs != c.swsColorspace || int(fullRange) != c.swsFullRange) {
        sws_setColorspaceDetails(c.sws, sws_getCoefficients(cs), fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        c.swsColorspace = cs;
        c.swsFullRange = fullRange ? 1 : 0;
    }
    QImage image = m_frames->takeImage(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(c.sws, frame->data, frame->linesize, 0, h, dst, dstStride) <= 0)
        return {};
    if (c.rotation != 0)
        image = image.transformed(QTransform().rotate(c.rotation));
    return image;
}

void ZKAVDecoder::decodeAudio(const AVPacket* pkt)
{
    Contexts& c = *m_ctx;
    if (avcodec_send_packet(c.adec, pkt) < 0 && pkt)
        return;
    const AVRational tb = c.fmt->streams[c.aidx]->time_base;
    while (avcodec_receive_frame(c.adec, c.frame) >= 0) {
        double pts = c.nextAudioPts;
        if (c.frame->best_effort_timestamp != AV_NOPTS_VALUE)
            pts = c.frame->best_effort_timestamp * av_q2d(tb) - c.startTime;
        const double length = c.frame->sample_rate > 0 ? double(c.frame->nb_samples) / c.frame->sample_rate : 0;
        c.nextAudioPts = pts + length;
        if (pts + length > m_skipBefore + kTimeSlack)
            deliverAudio(c.frame, pts);
        av_frame_unref(c.frame);
    }
}

void ZKAVDecoder::deliverAudio(AVFrame* frame, double pts)
{
    Contexts& c = *m_ctx;
    AVChannelLayout inLayout{};
    if (frame->ch_layout.nb_channels > 0)
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    else
        av_channel_layout_default(&inLayout, std::max(1, c.adec->ch_layout.nb_channels));
    if (!c.swr || c.swrInFormat != frame->format || c.swrInRate != frame->sample_rate
        || av_channel_layout_compare(&inLayout, &c.swrInLayout) != 0) {
        swr_free(&c.swr);
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, m_audioFormat.channels);
        const AVSampleFormat outFormat = m_audioFormat.isFloat ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_S16;
        const int ok = swr_alloc_set_opts2(&c.swr, &outLayout, outFormat, m_audioFormat.sampleRate, &inLayout,
                                           static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&outLayout);
        if (ok < 0 || swr_init(c.swr) < 0) {
            swr_free(&c.swr);
            av_channel_layout_uninit(&inLayout);
            return;
        }
        av_channel_layout_uninit(&c.swrInLayout);
        av_channel_layout_copy(&c.swrInLayout, &inLayout);
        c.swrInFormat = frame->format;
        c.swrInRate = frame->sample_rate;
    }
    av_channel_layout_uninit(&inLayout);

    const int room = swr_get_out_samples(c.swr, frame->nb_samples);
    if (room <= 0)
        return;
    const int frameBytes = m_audioFormat.frameBytes();
    QByteArray data(qsizetype(room) * frameBytes, Qt::Uninitialized);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(data.data())};
    const int made = swr_convert(c.swr, out, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (made <= 0)
        return;
    data.truncate(qsizetype(made) * frameBytes);
    // Sound that starts before the target loses its head.
    if (pts < m_skipBefore) {
        const int64_t drop = std::llround((m_skipBefore - pts) * m_audioFormat.sampleRate) * frameBytes;
        if (drop >= data.size())
            return;
        data.remove(0, static_cast<qsizetype>(drop));
        pts = m_skipBefore;
    }
    const double length = double(data.size()) / frameBytes / m_audioFormat.sampleRate;
    m_audio->push(m_serial, pts, std::move(data));
    raiseMediaEnd(pts + length);
}

void ZKAVDecoder::noteAudioPacket(const AVPacket* pkt)
{
    // Without a device the sound is not decoded; its packets still say how
    // long the media runs.
    Contexts& c = *m_ctx;
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    if (ts == AV_NOPTS_VALUE)
        return;
    const AVRational tb = c.fmt->streams[c.aidx]->time_base;
    const double end = (ts + std::max<int64_t>(0, pkt->duration)) * av_q2d(tb) - c.startTime;
    if (end > m_skipBefore)
        raiseMediaEnd(end);
}

void ZKAVDecoder::raiseMediaEnd(double end)
{
    std::lock_guard lock(m_mutex);
    if (m_mediaEndSerial != m_serial) {
        m_mediaEndSerial = m_serial;
        m_mediaEnd = end;
    } else {
        m_mediaEnd = std::max(m_mediaEnd, end);
    }
}
