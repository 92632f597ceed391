#include "Platform/UserDefaults.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>

namespace {

QString standardSettingsPath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/trelvio/Trelvio 3.conf");
}

}  // namespace

UserDefaults& UserDefaults::standardUserDefaults()
{
    static UserDefaults instance(standardSettingsPath());
    return instance;
}

UserDefaults::UserDefaults(const QString& filePath)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    m_loadFailed = m_settings->status() != QSettings::NoError;
}

UserDefaults::~UserDefaults()
{
    QMutexLocker lock(&m_mutex);
    m_settings->sync();
}

QString UserDefaults::filePath() const
{
    return m_settings->fileName();
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    if (m_settings->contains(key))
        return m_settings->value(key);
    return m_registered.value(key);
}

bool UserDefaults::hasStoredValue(const QString& key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->contains(key);
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    return v.canConvert<QString>() ? v.toString() : QString();
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString) {
        // INI files hand numbers back as text; read them leniently.
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? static_cast<qint64>(d) : 0;
    }
    return v.toLongLong();
}

double UserDefaults::doubleForKey(const QString& key) const
{
    return objectForKey(key).toDouble();
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        return s == QLatin1String("true") || s == QLatin1String("yes") || s.toLongLong() != 0;
    }
    return v.toBool();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    return objectForKey(key).toByteArray();
}

QStringList UserDefaults::stringListForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString().isEmpty() ? QStringList() : QStringList{v.toString()};
    return v.toStringList();
}

std::optional<QColor> UserDefaults::colorForKey(const QString& key) const
{
    return unarchivedColor(dataForKey(key));
}

void UserDefaults::setObject(const QVariant& value, const QString& key)
{
    QMutexLocker lock(&m_mutex);
    if (!value.isValid())
        m_settings->remove(key);
    else
        m_settings->setValue(key, value);
}

void UserDefaults::setColor(const QColor& value, const QString& key)
{
    setObject(archivedColor(value), key);
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    QMutexLocker lock(&m_mutex);
    m_settings->remove(key);
}

bool UserDefaults::synchronize()
{
    QMutexLocker lock(&m_mutex);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

bool UserDefaults::loadFailed() const
{
    return m_loadFailed;
}

QByteArray UserDefaults::archivedColor(const QColor& color)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << color;
    return data;
}

std::optional<QColor> UserDefaults::unarchivedColor(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    QColor color;
    in >> color;
    if (in.status() != QDataStream::Ok || !color.isValid())
        return std::nullopt;
    return color;
}
