#include "FakeNotificationServer.h"

#include <QMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kConnection = QStringLiteral("fake-notification-server");
} // namespace

FakeNotificationServer::FakeNotificationServer()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection))
{
    new FakeNotificationsAdaptor(this);
    m_serving = m_bus.isConnected()
                && m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this)
                && m_bus.registerService(kService);
}

FakeNotificationServer::~FakeNotificationServer()
{
    if (m_serving)
        m_bus.unregisterService(kService);
    m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(kConnection);
}

uint FakeNotificationServer::notify(const QString &appName, uint replacesId, const QString &icon,
                                    const QString &summary, const QString &body, const QStringList &actions,
                                    const QVariantMap &hints, int timeout)
{
    Q_UNUSED(icon);
    Q_UNUSED(actions);
    Q_UNUSED(timeout);
    const uint id = replacesId ? replacesId : m_nextId++;
    m_received.append({appName, replacesId, id, summary, body, hints});
    return id;
}

QStringList FakeNotificationServer::shownSummaries() const
{
    QMap<uint, QString> shown; // by id: a replacement takes the place of the old one
    for (const Notification &notification : m_received)
        shown[notification.id] = notification.summary;
    return shown.values();
}
