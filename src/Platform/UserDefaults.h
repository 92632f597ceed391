#pragma once

#include <QColor>
#include <QMutex>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

// The per-user settings store. Registered (factory) values live in memory only
// and answer until the user stores a value of their own; stored values go to an
// INI file under the XDG config folder and survive restarts. Every member may
// be called from any thread.
class UserDefaults
{
public:
    // The process-wide store at the standard location
    // ($XDG_CONFIG_HOME/trelvio/Trelvio 3.conf).
    static UserDefaults& standardUserDefaults();

    // A store backed by an explicit file (tests, tools).
    explicit UserDefaults(const QString& filePath);
    ~UserDefaults();

    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    QString filePath() const;

    // Factory values: merged into the registration domain, never written.
    void registerDefaults(const QVariantMap& defaults);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant objectForKey(const QString& key) const;
    bool hasStoredValue(const QString& key) const;
    QString stringForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;
    QStringList stringListForKey(const QString& key) const;
    // A colour kept as an archived QColor; nothing when absent or unreadable.
    std::optional<QColor> colorForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setString(const QString& value, const QString& key) { setObject(value, key); }
    void setInteger(qint64 value, const QString& key) { setObject(value, key); }
    void setDouble(double value, const QString& key) { setObject(value, key); }
    void setBool(bool value, const QString& key) { setObject(value, key); }
    void setColor(const QColor& value, const QString& key);
    void removeObjectForKey(const QString& key);

    // Writes pending changes to disk now; false when the file cannot be written.
    bool synchronize();

    // True when the file on disk could not be read at start (corrupt or unreadable).
    bool loadFailed() const;

    static QByteArray archivedColor(const QColor& color);
    static std::optional<QColor> unarchivedColor(const QByteArray& data);

private:
    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
    bool m_loadFailed = false;
};
