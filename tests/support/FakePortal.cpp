#include "FakePortal.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTimer>
#include <QUrl>

namespace {
constexpr auto kPortalService = "org.freedesktop.portal.Desktop";
constexpr auto kPortalPath = "/org/freedesktop/portal/desktop";
constexpr auto kRemoteDesktopInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr auto kScreenshotInterface = "org.freedesktop.portal.Screenshot";

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
} // namespace

FakePortal::FakePortal(uint version)
    : version(version), m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
{
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
    if (message.interface() != QLatin1String(kRemoteDesktopInterface))
        return false;
    if (member == QLatin1String("CreateSession")) {
        const QVariantMap options = optionsOf(args.value(0));
        const QString session = QStringLiteral("%1/session/%2/%3")
                                    .arg(QString::fromLatin1(kPortalPath), portalSenderPart(message.service()),
                                         options.value(QStringLiteral("session_handle_token")).toString());
        answer(message, options, createResponse, {{QStringLiteral("session_handle"), session}});
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
