#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// A notification server on the session bus, as the desktop's would be: it
// owns org.freedesktop.Notifications on a connection of its own and records
// every Notify call, answering with a new id, or the id it was asked to
// replace. Tests see what a user would have seen, and in what order.
class FakeNotificationServer : public QObject
{
    Q_OBJECT

public:
    struct Notification
    {
        QString appName;
        uint replacesId = 0;
        uint id = 0;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    FakeNotificationServer();
    ~FakeNotificationServer() override;

    // False when the name could not be had (another server owns it).
    bool isServing() const { return m_serving; }
    const QList<Notification> &received() const { return m_received; }
    // What is on screen now: each notification replaced by its successor gone.
    QStringList shownSummaries() const;

    uint notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout);

private:
    QDBusConnection m_bus;
    bool m_serving = false;
    uint m_nextId = 1;
    QList<Notification> m_received;
};

// The D-Bus face of the server: the calls a client makes.
class FakeNotificationsAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit FakeNotificationsAdaptor(FakeNotificationServer *server)
        : QDBusAbstractAdaptor(server), m_server(server)
    {
    }

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        return m_server->notify(appName, replacesId, icon, summary, body, actions, hints, timeout);
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }

private:
    FakeNotificationServer *m_server;
};
