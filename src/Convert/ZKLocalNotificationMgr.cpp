#include "Convert/ZKLocalNotificationMgr.h"

#include "Platform/UserNotificationCenter.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QMutexLocker>

ZKLocalNotificationMgr& ZKLocalNotificationMgr::sharedMgr()
{
    static ZKLocalNotificationMgr instance;
    return instance;
}

void ZKLocalNotificationMgr::postWithTitle(const QString& title, const QString& subTitle)
{
    Q_UNUSED(subTitle);
    QMutexLocker lock(&m_mutex);
    UserNotificationCenter center(m_testBus ? *m_testBus : QDBusConnection::sessionBus());
    if (m_lastId != 0)
        center.close(m_lastId);
    m_lastId = center.post(GlobalFun::getProductName(), title);
}

void ZKLocalNotificationMgr::setSessionBusForTesting(const std::optional<QDBusConnection>& bus)
{
    ZKLocalNotificationMgr& mgr = sharedMgr();
    QMutexLocker lock(&mgr.m_mutex);
    mgr.m_testBus = bus;
    mgr.m_lastId = 0;
}
