#pragma once

#include "RAZedIruvIvizor/FFmpeg.h"

// The picture stream of a file, the same for probing and playback: a cover
// picture (attached picture) is not video. -1 when there is none.
inline int pickVideoStream(AVFormatContext* fmt)
{
    const int best = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (best >= 0 && !(fmt->streams[best]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        return best;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}
