#include "AccessibleFocus.h"

#include <QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QList>
#include <QPair>

#include <atomic>

namespace {

constexpr auto kAccessible = "org.a11y.atspi.Accessible";
// The bit of the "active" state in the first word of GetState's answer.
constexpr uint kStateActive = 1u << 1;

using Reference = QPair<QString, QString>; // (bus name, object path)

QList<Reference> referencesIn(const QDBusMessage &reply)
{
    QList<Reference> references;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return references;
    const QDBusArgument list = reply.arguments().constFirst().value<QDBusArgument>();
    if (list.currentType() != QDBusArgument::ArrayType)
        return references;
    list.beginArray();
    while (!list.atEnd()) {
        QString service;
        QDBusObjectPath path;
        list.beginStructure();
        list >> service >> path;
        list.endStructure();
        references.append({service, path.path()});
    }
    list.endArray();
    return references;
}

QDBusMessage accessibleCall(const Reference &object, const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(object.first, object.second, interface, method);
}

} // namespace

AccessibleFocus::AccessibleFocus(QDBusConnection session) : m_session(std::move(session)) {}

AccessibleFocus::~AccessibleFocus()
{
    if (m_a11y)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool AccessibleFocus::connect()
{
    if (m_a11y)
        return m_a11y->isConnected();
    if (!m_session.isConnected())
        return false;
    // Asking for the address starts the accessibility bus where it is not
    // running yet, as every toolkit does.
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
        QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = m_session.call(ask, QDBus::Block, 2000);
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("quillwren-a11y-%1").arg(++counter);
    m_a11y = QDBusConnection::connectToBus(address.isValid() ? address.value() : QString(), m_connectionName);
    return m_a11y->isConnected();
}

QCoro::Task<QString> AccessibleFocus::activeApplicationName()
{
    if (!connect())
        co_return QString();
    const QDBusConnection bus = *m_a11y;
    const QString accessible = QString::fromLatin1(kAccessible);
    const QString getChildren = QStringLiteral("GetChildren");
    const Reference root{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
    const QDBusMessage applications =
        co_await bus.asyncCall(accessibleCall(root, accessible, getChildren), int(kCallTimeout.count()));
    const QString getState = QStringLiteral("GetState");
    for (const Reference &application : referencesIn(applications)) {
        const QDBusMessage windows =
            co_await bus.asyncCall(accessibleCall(application, accessible, getChildren), int(kCallTimeout.count()));
        for (const Reference &window : referencesIn(windows)) {
            const QDBusMessage state =
                co_await bus.asyncCall(accessibleCall(window, accessible, getState), int(kCallTimeout.count()));
            const QVariant stateWords = state.arguments().value(0);
            const QList<uint> words = stateWords.canConvert<QDBusArgument>()
                                          ? qdbus_cast<QList<uint>>(stateWords.value<QDBusArgument>())
                                          : stateWords.value<QList<uint>>();
            if (state.type() != QDBusMessage::ReplyMessage || words.isEmpty() || !(words.first() & kStateActive))
                continue;
            QDBusMessage get = accessibleCall(application, QStringLiteral("org.freedesktop.DBus.Properties"),
                                              QStringLiteral("Get"));
            get << accessible << QStringLiteral("Name");
            const QDBusMessage name = co_await bus.asyncCall(get, int(kCallTimeout.count()));
            co_return name.arguments().value(0).value<QDBusVariant>().variant().toString();
        }
    }
    co_return QString();
}
