#include "Settings/GlobalResources.h"

#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QColor>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QStandardPaths>
#include <QVariantMap>

namespace {

struct ImageEntry
{
    const char* key;
    const char* resource;
};

constexpr ImageEntry kSharedImages[] = {
    {"PrgPauseImageKey", "PrgPause"},
    {"PrgPauseImageDownKey", "PrgPauseDown"},
    {"PrgContinueImageKey", "PrgContinue"},
    {"PrgContinueImageDownKey", "PrgContinueDown"},
    {"PrgCanceledImageKey", "PrgCanceled"},
    {"PrgCanceledImageDownKey", "PrgCanceledDown"},
    {"PrgBkgLeftCapImgKey", "PrgBkgLeftCap"},
    {"PrgBkgMiddleCapImgKey", "PrgBkgMiddleCap"},
    {"PrgBkgRightCapImgKey", "PrgBkgRightCap"},
    {"PrgAboveLeftCapImgKey", "PrgAboveLeftCap"},
    {"PrgAboveMiddleCapImgKey", "PrgAboveMiddleCap"},
    {"PrgAboveRightCapImgKey", "PrgAboveRightCap"},
    {"SliderView_SliderLeftImg", "SliderBkgLeft"},
    {"SliderView_SliderMiddleImg", "SliderBkgMiddle"},
    {"SliderView_SliderRightImg", "SliderBkgRight"},
    {"SliderView_SliderLeftSecImg", "SliderAbLeft"},
    {"SliderView_SliderMiddleSecImg", "SliderAbMiddle"},
    {"SliderView_SliderRightSecImg", "SliderAbRight"},
    {"SliderView_KnobImg", "SliderKnob"},
    {"SplitSlider_TrimLeftImg", "SliderTrimLeft"},
    {"SplitSlider_TrimRightImg", "SliderTrimRight"},
};

QMutex g_imagesMutex;
QHash<QString, QImage> g_sharedImages;

QString moviesBase()
{
    QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (movies.isEmpty())
        movies = QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + QStringLiteral("/Videos");
    return movies + QLatin1Char('/') + GlobalResources::applicationFolderName();
}

}  // namespace

QString GlobalResources::applicationFolderName()
{
    return QStringLiteral("io.trelvio.Trelvio3");
}

QString GlobalResources::defaultVideoPath()
{
    return moviesBase() + QStringLiteral("/Video Converted");
}

QString GlobalResources::defaultAudioPath()
{
    return moviesBase() + QStringLiteral("/Audio Converted");
}

QString GlobalResources::defaultSnapshotPath()
{
    return moviesBase() + QStringLiteral("/SnapShots");
}

QImage GlobalResources::imageNamed(const QString& name)
{
    for (const char* ext : {".png", ".svg"}) {
        const QString path = QStringLiteral(":/images/") + name + QLatin1String(ext);
        if (QFile::exists(path)) {
            QImageReader reader(path);
            return reader.read();
        }
    }
    return {};
}

QImage GlobalResources::sharedImage(const QString& key)
{
    QMutexLocker lock(&g_imagesMutex);
    return g_sharedImages.value(key);
}

void GlobalResources::prepareGlobalRes()
{
    {
        QMutexLocker lock(&g_imagesMutex);
        for (const ImageEntry& e : kSharedImages)
            g_sharedImages.insert(QString::fromLatin1(e.key), imageNamed(QString::fromLatin1(e.resource)));
    }

    const QString video = defaultVideoPath();
    const QString audio = defaultAudioPath();
    const QString snapshots = defaultSnapshotPath();
    // A folder that cannot be made now is not reported: the convert action
    // checks the folders again before every run.
    GlobalFun::MakeSureFolderExsist(video);
    GlobalFun::MakeSureFolderExsist(audio);
    GlobalFun::MakeSureFolderExsist(snapshots);

    QVariantMap defaults;
    defaults.insert(AppMaxConvertNumKey, 2);
    defaults.insert(AppVideoOutputFolderKey, video);
    defaults.insert(AppAudioOutputFolderKey, audio);
    defaults.insert(AppSnapShotFolderKey, snapshots);
    defaults.insert(AppBSyncToiTunesKey, false);
    defaults.insert(AppDefaultAudioCodecNameKey1, QStringLiteral("AAC Audio (m4a)"));
    defaults.insert(AppDefaultVideoCodecNameKey1, QStringLiteral("new iPhone"));
    defaults.insert(WaterMarkTextColorKey, UserDefaults::archivedColor(QColor::fromRgbF(1, 1, 1, 1)));
    defaults.insert(WaterMarkTextBGColorKey, UserDefaults::archivedColor(QColor::fromRgbF(0, 0, 0, 1)));
    defaults.insert(WaterMarkTextSizeKey, 40);
    UserDefaults::standardUserDefaults().registerDefaults(defaults);
}
