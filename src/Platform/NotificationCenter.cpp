#include "Platform/NotificationCenter.h"

#include <QMetaObject>
#include <QThread>

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, QObject* context,
                                                          Callback callback, const void* senderFilter)
{
    if (!context || !callback)
        return 0;
    QMutexLocker lock(&m_mutex);
    const Token token = m_nextToken++;
    m_entries.push_back(Entry{token, name, context, std::move(callback), senderFilter});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_entries, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::removeObserver(QObject* context)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_entries, [context](const Entry& e) { return e.context == context || e.context.isNull(); });
}

void NotificationCenter::postNotification(const QString& name, const void* object, const QVariantMap& userInfo)
{
    std::vector<Entry> targets;
    {
        QMutexLocker lock(&m_mutex);
        std::erase_if(m_entries, [](const Entry& e) { return e.context.isNull(); });
        for (const Entry& e : m_entries) {
            if ((e.name.isEmpty() || e.name == name) && (!e.senderFilter || e.senderFilter == object))
                targets.push_back(e);
        }
    }

    const Notification note{name, object, userInfo};
    for (const Entry& e : targets) {
        QObject* context = e.context.data();
        if (!context)
            continue;
        if (context->thread() == QThread::currentThread()) {
            e.callback(note);
        } else {
            const Token token = e.token;
            Callback callback = e.callback;
            QMetaObject::invokeMethod(context, [this, token, callback, note]() {
                // The observer may have been removed while the call was queued.
                bool stillObserving = false;
                {
                    QMutexLocker lock(&m_mutex);
                    stillObserving = std::any_of(m_entries.begin(), m_entries.end(),
                                                 [token](const Entry& x) { return x.token == token; });
                }
                if (stillObserving)
                    callback(note);
            }, Qt::QueuedConnection);
        }
    }
}
