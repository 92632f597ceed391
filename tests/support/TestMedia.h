#pragma once

#include <QString>
#include <QStringList>

// Small media files made at test time with ffmpeg's lavfi sources. Each file
// is made once into a cache folder of the build tree and shared by the test
// processes (written under a temporary name, then renamed into place).
namespace TestMedia {

QString ffmpegPath();
QString ffprobePath();
QString cacheDir();

// Runs "ffmpeg -y -v error <args> <cache>/<name>" once; returns the path or
// an empty string when ffmpeg failed.
QString make(const QString& name, const QStringList& args);

// 2 s, 320x240 at 25 fps, H.264 + AAC stereo 44.1 kHz, in MP4.
QString videoWithAudio();
// 720x576 stored frame shown at 16:9 (sample aspect 64:45), MPEG-2 in MPEG-PS.
QString anamorphic();
// 2 s AAC in M4A, 48 kHz stereo.
QString audioOnly();
// 2 s MP3 with an attached cover picture.
QString audioWithCover();
// A video with title, artist and comment tags.
QString withMetadata();
// An MP4 cut to a third of its bytes.
QString truncated();
// A text file with a media extension.
QString nonMedia();
// 3 s clip whose picture shows its own time stamp (testsrc2 at 25 fps, 320x240).
QString counterClip();

// 1 s phone-style MOV, H.264 320x240 at 30 fps + AAC 48 kHz, whose video
// track header carries a 90-degree display matrix (shown as 240x320).
QString rotatedPhoneClip();
// 1 s WebM, VP9 320x240 at 25 fps + Opus 48 kHz stereo.
QString webmClip();
// 1 s MPEG-TS segment, H.264 + AAC, time stamps starting after 10 s.
QString mpegTsClip();
// 1 s AVI, MPEG-4 part 2 + MP3, as old cameras and rippers wrote them.
QString aviClip();
// A subtitle file: neither video nor audio.
QString subtitlesOnly();

// Runs ffprobe with the given arguments and returns its standard output.
QByteArray ffprobe(const QStringList& args);

}  // namespace TestMedia
