#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

// One in-process notification: its exact name, the object that posted it and
// free-form details.
struct Notification
{
    QString name;
    const void* object = nullptr;
    QVariantMap userInfo;
};

// In-process notifications by exact name. An observer names a context object;
// its callback runs on the context's thread (synchronously when that is the
// posting thread, queued otherwise) and is dropped when the context goes away.
class NotificationCenter
{
public:
    using Callback = std::function<void(const Notification&)>;
    using Token = quint64;

    static NotificationCenter& defaultCenter();

    // An empty name observes every notification. A non-null sender filter
    // observes only notifications posted with that object.
    Token addObserver(const QString& name, QObject* context, Callback callback,
                      const void* senderFilter = nullptr);
    void removeObserver(Token token);
    void removeObserver(QObject* context);

    void postNotification(const QString& name, const void* object = nullptr,
                          const QVariantMap& userInfo = {});

private:
    struct Entry
    {
        Token token;
        QString name;
        QPointer<QObject> context;
        Callback callback;
        const void* senderFilter;
    };

    QMutex m_mutex;
    std::vector<Entry> m_entries;
    Token m_nextToken = 1;
};
