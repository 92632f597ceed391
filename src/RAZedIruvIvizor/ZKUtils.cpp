#include "RAZedIruvIvizor/ZKUtils.h"

#include "RAZedIruvIvizor/FFmpeg.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

namespace {

QMutex g_overrideMutex;
QString g_overridePath;

}  // namespace

void FFMpegInit()
{
    // Modern libavformat registers its formats by itself; what is left is to
    // keep the libraries quiet on the terminal: the application reports
    // failures in its own words.
    static bool done = false;
    if (done)
        return;
    done = true;
    av_log_set_level(AV_LOG_ERROR);
}

QString ZKUtils::getFFMpegPath()
{
    {
        QMutexLocker lock(&g_overrideMutex);
        if (!g_overridePath.isEmpty())
            return g_overridePath;
    }
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
        const QFileInfo info(beside);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

void ZKUtils::setFFMpegPathOverride(const QString& path)
{
    QMutexLocker lock(&g_overrideMutex);
    g_overridePath = path;
}
