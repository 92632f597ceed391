// The one-frame thumbnail: one ffmpeg run that writes the first key frame at
// or after a time into a JPEG, read back as an image.
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include "Convert/TaskWrapper.h"
#include "RAZedIruvIvizor/ZKUtils.h"
#include "submodules/SharedSource/Shared/FileHelper.h"

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>

QStringList GlobalFun::thumbnailArguments(const QString& mediaPath, double seconds, double fps,
                                          const QString& outputPath)
{
    // "-ss" ahead of "-i" seeks before decoding; the filter keeps only
    // intra-coded frames and one frame is written.
    return {QStringLiteral("-ss"),
            QString::asprintf("%.2f", seconds),
            QStringLiteral("-i"),
            mediaPath,
            QStringLiteral("-vf"),
            QString::asprintf("select='eq(pict_type\\,I)',setpts='N/(%.2f*TB)'", fps),
            QStringLiteral("-vframes"),
            QStringLiteral("1"),
            QStringLiteral("-y"),
            outputPath};
}

QImage GlobalFun::createThumbnail(const QString& mediaPath, double seconds, double fps)
{
    const QString ffmpeg = ZKUtils::getFFMpegPath();
    if (ffmpeg.isEmpty() || mediaPath.isEmpty())
        return {};

    // Each call writes its own file in the private temporary folder, so two
    // loads at once never read each other's picture; it goes when we return.
    QTemporaryFile output(FileHelper::getTemporaryPath() + QStringLiteral("/thumbnail-XXXXXX.jpg"));
    if (!output.open())
        return {};
    const QString outputPath = QFileInfo(output.fileName()).absoluteFilePath();
    output.close();

    // An absolute input path is always a file to the tool: never standard
    // input ("-") nor a protocol ("name:...").
    const QString input = QFileInfo(mediaPath).absoluteFilePath();

    TaskWrapper task(nullptr, QStringList{ffmpeg} + thumbnailArguments(input, seconds, fps, outputPath));
    task.startProcess();
    task.waitUntilTaskExit();

    QImageReader reader(outputPath, "jpeg");
    return reader.read();
}
