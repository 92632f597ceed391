#pragma once

#include <QString>

// Called once at start-up, before any other use of the media framework.
void FFMpegInit();

class ZKUtils
{
public:
    // Absolute path of the ffmpeg executable: one shipped beside the running
    // program wins over the one on PATH. Empty when there is none.
    static QString getFFMpegPath();
    // Tests and tools may point the framework at another ffmpeg; an empty
    // path restores the normal lookup.
    static void setFFMpegPathOverride(const QString& path);
};
