#include "AccessibleFocus.h"

#include <QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QList>
#include <QPair>

#include <atomic>

namespace {

constexpr auto kAccessible = "org.a11y.atspi.Accessible";
// Bits of the first word of GetState's answer: "active", "focused", "showing".
constexpr uint kStateActive = 1u << 1;
constexpr uint kStateFocused = 1u << 12;
constexpr uint kStateShowing = 1u << 25;

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

QCoro::Task<QList<uint>> AccessibleFocus::state(Reference object)
{
    const QDBusMessage reply = co_await m_a11y->asyncCall(
        accessibleCall(object, QString::fromLatin1(kAccessible), QStringLiteral("GetState")), int(kCallTimeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage)
        co_return QList<uint>();
    const QVariant words = reply.arguments().value(0);
    co_return words.canConvert<QDBusArgument>() ? qdbus_cast<QList<uint>>(words.value<QDBusArgument>())
                                                : words.value<QList<uint>>();
}

QCoro::Task<std::optional<AccessibleFocus::ActiveWindow>> AccessibleFocus::activeWindow()
{
    if (!connect())
        co_return std::nullopt;
    const QDBusConnection bus = *m_a11y;
    const QString accessible = QString::fromLatin1(kAccessible);
    const QString getChildren = QStringLiteral("GetChildren");
    const Reference root{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
    const QDBusMessage applications =
        co_await bus.asyncCall(accessibleCall(root, accessible, getChildren), int(kCallTimeout.count()));
    for (const Reference &application : referencesIn(applications)) {
        const QDBusMessage windows =
            co_await bus.asyncCall(accessibleCall(application, accessible, getChildren), int(kCallTimeout.count()));
        for (const Reference &window : referencesIn(windows)) {
            const QList<uint> words = co_await state(window);
            if (!words.isEmpty() && (words.first() & kStateActive))
                co_return ActiveWindow{application, window};
        }
    }
    co_return std::nullopt;
}

QCoro::Task<QString> AccessibleFocus::activeApplicationName()
{
    const std::optional<ActiveWindow> active = co_await activeWindow();
    if (!active)
        co_return QString();
    QDBusMessage get = accessibleCall(active->application, QStringLiteral("org.freedesktop.DBus.Properties"),
                                      QStringLiteral("Get"));
    get << QString::fromLatin1(kAccessible) << QStringLiteral("Name");
    const QDBusMessage name = co_await m_a11y->asyncCall(get, int(kCallTimeout.count()));
    co_return name.arguments().value(0).value<QDBusVariant>().variant().toString();
}

QCoro::Task<std::optional<QRect>> AccessibleFocus::caretRect()
{
    const std::optional<ActiveWindow> active = co_await activeWindow();
    if (!active)
        co_return std::nullopt;
    const QDBusConnection bus = *m_a11y;
    const QString accessible = QString::fromLatin1(kAccessible);
    QElapsedTimer clock;
    clock.start();
    // Breadth first, through what is on screen only: the focused object is
    // rarely deep, and a hidden page's subtree can be large.
    QList<Reference> queue{active->window};
    int searched = 0;
    std::optional<Reference> focused;
    while (!queue.isEmpty() && !focused && searched < kMaxObjectsSearched && clock.elapsed() < kSearchLimit.count()) {
        const Reference object = queue.takeFirst();
        ++searched;
        const QList<uint> words = co_await state(object);
        if (words.isEmpty() || !(words.first() & kStateShowing))
            continue;
        if (words.first() & kStateFocused) {
            focused = object;
            break;
        }
        const QDBusMessage children =
            co_await bus.asyncCall(accessibleCall(object, accessible, QStringLiteral("GetChildren")),
                                   int(kCallTimeout.count()));
        queue << referencesIn(children);
    }
    if (!focused)
        co_return std::nullopt;

    // The caret's own box, where the field tells it: the character at the caret.
    const QString text = QStringLiteral("org.a11y.atspi.Text");
    QDBusMessage getOffset = accessibleCall(*focused, QStringLiteral("org.freedesktop.DBus.Properties"),
                                            QStringLiteral("Get"));
    getOffset << text << QStringLiteral("CaretOffset");
    const QDBusMessage offset = co_await bus.asyncCall(getOffset, int(kCallTimeout.count()));
    if (offset.type() == QDBusMessage::ReplyMessage) {
        QDBusMessage extents = accessibleCall(*focused, text, QStringLiteral("GetCharacterExtents"));
        extents << offset.arguments().value(0).value<QDBusVariant>().variant().toInt() << uint(0); // screen
        const QDBusMessage box = co_await bus.asyncCall(extents, int(kCallTimeout.count()));
        const QList<QVariant> values = box.arguments();
        if (box.type() == QDBusMessage::ReplyMessage && values.size() == 4 && values.at(3).toInt() > 0)
            co_return QRect(values.at(0).toInt(), values.at(1).toInt(), std::max(1, values.at(2).toInt()),
                            values.at(3).toInt());
    }
    // Else the focused field itself.
    QDBusMessage frame = accessibleCall(*focused, QStringLiteral("org.a11y.atspi.Component"),
                                        QStringLiteral("GetExtents"));
    frame << uint(0);
    const QDBusMessage box = co_await bus.asyncCall(frame, int(kCallTimeout.count()));
    if (box.type() != QDBusMessage::ReplyMessage || box.arguments().isEmpty())
        co_return std::nullopt;
    const QDBusArgument rect = box.arguments().constFirst().value<QDBusArgument>();
    int x = 0, y = 0, w = 0, h = 0;
    rect.beginStructure();
    rect >> x >> y >> w >> h;
    rect.endStructure();
    if (w <= 0 || h <= 0)
        co_return std::nullopt;
    co_return QRect(x, y, w, h);
}
