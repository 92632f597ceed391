// Preparing one loaded item: probing and the defaults of a new item.
#include "Media/LSMediaLoader.h"

#include "Formats/FormatUtils.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QThread>

#include <optional>

namespace {

// The file-type icon at 128x128, as a file manager would show it. Icons are
// only drawn on the interface thread.
QImage fileTypeIcon(const QString& path)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return {};
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull())
        return {};
    return icon.pixmap(128, 128).toImage();
}

} // namespace

bool LSMediaLoader::prepareMedia(LSMedia& media, QString* error, bool makeThumbnail)
{
    std::optional<QString> failure;
    const bool opened = media.loadValuesSynchronously([&failure](const std::optional<QString>& e) { failure = e; });
    if (!opened || failure) {
        if (error)
            *error = failure.value_or(QStringLiteral("the file cannot be opened"));
        return false;
    }

    media.dTrimLength = media.duration;
    media.dTrimStart = media.startTime;
    media.dSplitStart = 0;
    media.dSplitLength = media.startTime + media.duration;

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    QString profile;
    if (media.mediaType == 1) {
        profile = defaults.stringForKey(AppDefaultAudioCodecNameKey1);
        if (profile.isEmpty())
            profile = QStringLiteral("AAC Audio (m4a)");
        if (makeThumbnail)
            media.imgThumbnail = fileTypeIcon(media.filePath);
    } else {
        profile = defaults.stringForKey(AppDefaultVideoCodecNameKey1);
        if (profile.isEmpty())
            profile = QStringLiteral("new iPhone");
        if (makeThumbnail)
            media.imgThumbnail = GlobalFun::createThumbnail(media.filePath, 2.0, 24.0);
    }
    media.bSampeQuality = true;
    FormatUtils::sharedInstance().fillMedia(&media, profile);
    return true;
}

QString LSMediaLoader::uniqueOutFileName(const QString& filePath, const std::vector<std::shared_ptr<LSMedia>>& list)
{
    const QString base = QFileInfo(filePath).completeBaseName();
    auto taken = [&list](const QString& name) {
        for (const auto& item : list) {
            if (item && item->strOutFileName == name)
                return true;
        }
        return false;
    };
    QString name = base;
    for (int n = 1; taken(name); ++n)
        name = QStringLiteral("%1(%2)").arg(base).arg(n);
    return name;
}
