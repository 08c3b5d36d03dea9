#include "FakePortal.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTimer>
#include <QUrl>

namespace {
constexpr auto kPortalService = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";
constexpr auto kRemoteDesktopInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr auto kScreenshotInterface = "org.freedesktop.portal.Screenshot";
constexpr auto kShortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
using ShortcutList = QList<QPair<QString, QVariantMap>>;

QString portalSenderPart(QString sender)
{
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}

QVariantMap optionsOf(const QVariant &argument)
{
    if (argument.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(argument.value<QDBusArgument>());
    return argument.toMap();
}

QString sessionPath(const QDBusMessage &call, const QVariantMap &options)
{
    return QStringLiteral("%1/session/%2/%3")
        .arg(QString::fromLatin1(kPortalPath), portalSenderPart(call.service()),
             options.value(QStringLiteral("session_handle_token")).toString());
}
} // namespace

FakePortal::FakePortal(uint version)
    : version(version), m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
{
    qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
    qDBusRegisterMetaType<ShortcutList>();
}

FakePortal::~FakePortal()
{
    m_bus.unregisterObject(QString::fromLatin1(kPortalPath));
    m_bus.unregisterService(QString::fromLatin1(kPortalService));
    m_thread.quit();
    m_thread.wait();
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

bool FakePortal::start()
{
    moveToThread(&m_thread);
    m_thread.start();
    return m_bus.isConnected() && m_bus.registerService(QString::fromLatin1(kPortalService))
           && m_bus.registerVirtualObject(QString::fromLatin1(kPortalPath), this);
}

QStringList FakePortal::calls() const
{
    QMutexLocker locked(&m_lock);
    return m_calls;
}

QList<QVariantMap> FakePortal::selectOptions() const
{
    QMutexLocker locked(&m_lock);
    return m_selectOptions;
}

QList<QVariantMap> FakePortal::screenshotOptions() const
{
    QMutexLocker locked(&m_lock);
    return m_screenshotOptions;
}

QList<QPair<int, uint>> FakePortal::keys() const
{
    QMutexLocker locked(&m_lock);
    return m_keys;
}

void FakePortal::clearKeys()
{
    QMutexLocker locked(&m_lock);
    m_keys.clear();
}

QList<QPair<QString, QVariantMap>> FakePortal::boundShortcuts() const
{
    QMutexLocker locked(&m_lock);
    return m_boundShortcuts;
}

QString FakePortal::shortcutSession() const
{
    QMutexLocker locked(&m_lock);
    return m_shortcutSession;
}

void FakePortal::activate(const QString &id)
{
    sendShortcutSignal(QStringLiteral("Activated"), id);
}

void FakePortal::deactivate(const QString &id)
{
    sendShortcutSignal(QStringLiteral("Deactivated"), id);
}

void FakePortal::sendShortcutSignal(const QString &name, const QString &id)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(kPortalPath), QString::fromLatin1(kShortcutsInterface), name);
    signal << QVariant::fromValue(QDBusObjectPath(shortcutSession())) << id << qulonglong(0) << QVariantMap();
    m_bus.send(signal);
}

void FakePortal::changeTriggers(const QMap<QString, QString> &triggers)
{
    ShortcutList shortcuts;
    for (auto it = triggers.cbegin(); it != triggers.cend(); ++it)
        shortcuts << qMakePair(it.key(), QVariantMap{{QStringLiteral("trigger_description"), it.value()}});
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kPortalPath), QString::fromLatin1(kShortcutsInterface),
                                                     QStringLiteral("ShortcutsChanged"));
    signal << QVariant::fromValue(QDBusObjectPath(shortcutSession())) << QVariant::fromValue(shortcuts);
    m_bus.send(signal);
}

void FakePortal::closeShortcutSession()
{
    m_bus.send(QDBusMessage::createSignal(shortcutSession(), QStringLiteral("org.freedesktop.portal.Session"),
                                          QStringLiteral("Closed")));
}

QString FakePortal::introspect(const QString &) const
{
    return {};
}

void FakePortal::answer(const QDBusMessage &call, const QVariantMap &options, uint response, const QVariantMap &results,
                        int delayMs)
{
    const QString request = QStringLiteral("%1/request/%2/%3")
                                .arg(QString::fromLatin1(kPortalPath), portalSenderPart(call.service()),
                                     options.value(QStringLiteral("handle_token")).toString());
    m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    // The Response comes a moment later, as from a dialog.
    QTimer::singleShot(delayMs, this, [this, request, response, results] {
        QDBusMessage signal =
            QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        m_bus.send(signal);
    });
}

bool FakePortal::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    const QString member = message.member();
    const QVariantList args = message.arguments();
    QMutexLocker locked(&m_lock);
    m_calls << member;
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties") && member == QLatin1String("Get")) {
        const QString interface = args.value(0).toString();
        if (interface == QLatin1String(kRemoteDesktopInterface) && version > 0)
            m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(version))));
        else if (interface == QLatin1String(kScreenshotInterface) && screenshotVersion > 0)
            m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(screenshotVersion))));
        else if (interface == QLatin1String(kShortcutsInterface) && globalShortcutsVersion > 0)
            m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(globalShortcutsVersion))));
        else
            m_bus.send(message.createErrorReply(QDBusError::UnknownProperty, QStringLiteral("no such property")));
        return true;
    }
    if (message.interface() == QLatin1String(kScreenshotInterface) && member == QLatin1String("Screenshot")
        && screenshotVersion > 0) {
        const QVariantMap options = optionsOf(args.value(1));
        m_screenshotOptions << options;
        QVariantMap results;
        if (screenshotResponse == 0) {
            screenshot.save(screenshotFile, "PNG");
            results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(screenshotFile).toString());
        }
        answer(message, options, screenshotResponse, results);
        return true;
    }
    if (message.interface() == QLatin1String(kShortcutsInterface) && globalShortcutsVersion > 0)
        return handleShortcuts(message);
    if (message.interface() != QLatin1String(kRemoteDesktopInterface))
        return false;
    if (member == QLatin1String("CreateSession")) {
        const QVariantMap options = optionsOf(args.value(0));
        answer(message, options, createResponse, {{QStringLiteral("session_handle"), sessionPath(message, options)}});
    } else if (member == QLatin1String("SelectDevices")) {
        const QVariantMap options = optionsOf(args.value(1));
        m_selectOptions << options;
        answer(message, options, selectResponse, {});
    } else if (member == QLatin1String("Start")) {
        QVariantMap results{{QStringLiteral("devices"), uint(1)}};
        if (version >= 2)
            results.insert(QStringLiteral("restore_token"), issuedToken);
        answer(message, optionsOf(args.value(2)), startResponse, results, startDelayMs);
    } else if (member == QLatin1String("NotifyKeyboardKeycode")) {
        m_keys << qMakePair(args.value(2).toInt(), args.value(3).toUInt());
        if (onKey)
            onKey(args.value(2).toInt(), args.value(3).toUInt());
        m_bus.send(message.createReply());
    } else {
        return false;
    }
    return true;
}

// Called with the lock held.
bool FakePortal::handleShortcuts(const QDBusMessage &message)
{
    const QString member = message.member();
    const QVariantList args = message.arguments();
    if (member == QLatin1String("CreateSession")) {
        const QVariantMap options = optionsOf(args.value(0));
        m_shortcutSession = sessionPath(message, options);
        // A string, as the portal sends it.
        answer(message, options, createResponse, {{QStringLiteral("session_handle"), m_shortcutSession}});
        return true;
    }
    if (member == QLatin1String("BindShortcuts")) {
        m_boundShortcuts = qdbus_cast<ShortcutList>(args.value(1).value<QDBusArgument>());
        ShortcutList bound;
        for (const auto &[id, properties] : std::as_const(m_boundShortcuts)) {
            const QString trigger = assignedTriggers.value(id, properties.value(QStringLiteral("preferred_trigger")).toString());
            bound << qMakePair(id, QVariantMap{{QStringLiteral("description"), properties.value(QStringLiteral("description"))},
                                               {QStringLiteral("trigger_description"), trigger}});
        }
        QVariantMap results;
        if (bindResponse == 0)
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(bound));
        answer(message, optionsOf(args.value(3)), bindResponse, results, startDelayMs);
        return true;
    }
    return false;
}
