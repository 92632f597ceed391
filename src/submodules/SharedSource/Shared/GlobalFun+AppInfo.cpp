// Application and system information.
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include "BuildInfo.h"
#include "Platform/UserDefaults.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QUuid>

#include <atomic>

QString GlobalFun::getProductName()
{
    return QStringLiteral("Trelvio 3");
}

QString GlobalFun::getAppVersion()
{
    return getAppVersion(QStringLiteral(TRELVIO_VERSION_STRING));
}

QString GlobalFun::getAppVersion(const QString& shortVersion)
{
    QStringList parts = shortVersion.split(QLatin1Char('.'));
    while (parts.size() < 3)
        parts << QStringLiteral("0");
    return parts.mid(0, 3).join(QLatin1Char('.'));
}

QString GlobalFun::getAppBuildNumber()
{
    return QStringLiteral(TRELVIO_BUILD_NUMBER);
}

QString GlobalFun::getAppBuildVersion()
{
    return getAppVersion() + QLatin1Char('.') + getAppBuildNumber();
}

QString GlobalFun::bundleID()
{
    return QStringLiteral(TRELVIO_BUNDLE_ID);
}

QString GlobalFun::getSystemVersionString()
{
    return QStringLiteral("%1.%2.%3").arg(0).arg(0).arg(0);
}

QString GlobalFun::computerModel()
{
    return QStringLiteral("Linux");
}

QString GlobalFun::getSystemLocalLanguage()
{
    const QStringList languages = QLocale::system().uiLanguages();
    return languages.isEmpty() ? QString() : languages.first();
}

QString GlobalFun::getGUID()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    QString guid = defaults.stringForKey(QStringLiteral("guid"));
    if (guid.isEmpty()) {
        guid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        defaults.setString(guid, QStringLiteral("guid"));
        defaults.synchronize();
    }
    return guid;
}

double GlobalFun::getScreenScaleFactor()
{
    // Read once; two first calls at once read the same value.
    static std::atomic<double> cached{-1.0};
    double value = cached.load();
    if (value < 0) {
        value = 1.0;
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            if (QScreen* screen = QGuiApplication::primaryScreen())
                value = screen->devicePixelRatio();
        }
        cached.store(value);
    }
    return value;
}
