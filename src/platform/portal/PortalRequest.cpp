#include "PortalRequest.h"

#include <QCoroDBusPendingCall>
#include <QCoroSignal>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>

#include <atomic>
#include <memory>

namespace {
constexpr auto kRequestInterface = "org.freedesktop.portal.Request";
} // namespace

PortalRequest::PortalRequest(QDBusConnection bus) : m_bus(std::move(bus)) {}

uint PortalRequest::interfaceVersion(const QDBusConnection &bus, const QString &interface)
{
    if (!bus.isConnected())
        return 0;
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << QStringLiteral("version");
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 3000);
    return reply.isValid() ? reply.value().variant().toUInt() : 0;
}

QString PortalRequest::senderPart(const QDBusConnection &bus)
{
    QString name = bus.baseService();
    if (name.startsWith(QLatin1Char(':')))
        name.remove(0, 1);
    return name.replace(QLatin1Char('.'), QLatin1Char('_'));
}

QString PortalRequest::newToken()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("quillwren%1").arg(++counter);
}

bool PortalRequest::listen(const QString &path)
{
    stopListening();
    m_path = path;
    return m_bus.connect(QString::fromLatin1(kService), path, QString::fromLatin1(kRequestInterface),
                         QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::stopListening()
{
    if (m_path.isEmpty())
        return;
    m_bus.disconnect(QString::fromLatin1(kService), m_path, QString::fromLatin1(kRequestInterface),
                     QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    m_path.clear();
}

void PortalRequest::onResponse(uint response, const QVariantMap &results)
{
    if (m_answered)
        return;
    m_answered = true;
    m_response = response;
    m_results = results;
    Q_EMIT answered();
}

QCoro::Task<PortalRequest::Result> PortalRequest::call(QDBusConnection bus, QString interface, QString method,
                                                       QVariantList arguments, std::chrono::milliseconds timeout)
{
    std::unique_ptr<PortalRequest> request(new PortalRequest(bus));
    const QString token = newToken();
    QVariantMap options = arguments.isEmpty() ? QVariantMap() : arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    request->listen(QStringLiteral("%1/request/%2/%3").arg(QString::fromLatin1(kPath), senderPart(bus), token));

    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                          interface, method);
    message.setArguments(arguments);
    const QDBusPendingReply<QDBusObjectPath> reply = co_await bus.asyncCall(message, int(timeout.count()));
    if (reply.isError()) {
        request->stopListening();
        co_return Result{Outcome::Failed, {}, reply.error().name() + QStringLiteral(": ") + reply.error().message()};
    }
    // Portals older than the handle token's convention answer on a path of their own.
    if (const QString path = reply.value().path(); path != request->m_path && !request->m_answered)
        request->listen(path);
    if (!request->m_answered)
        co_await qCoro(request.get(), &PortalRequest::answered, timeout);
    request->stopListening();
    if (!request->m_answered)
        co_return Result{Outcome::Failed, {}, QStringLiteral("the portal did not answer in time")};
    const Outcome outcome = request->m_response == 0   ? Outcome::Granted
                            : request->m_response == 1 ? Outcome::Refused
                                                       : Outcome::Cancelled;
    co_return Result{outcome, request->m_results, {}};
}

QCoro::Task<PortalRequest::Result> PortalRequest::createSession(QDBusConnection bus, QString interface,
                                                                std::chrono::milliseconds timeout, QString *session)
{
    // Arguments built before the co_await: g++ 12 miscompiles string
    // literals in a co_await's operands.
    QVariantMap options;
    options.insert(QString::fromLatin1("session_handle_token"), newToken());
    const QVariantList arguments{options};
    const QString method = QString::fromLatin1("CreateSession");
    Result created = co_await call(bus, interface, method, arguments, timeout);
    if (created.outcome == Outcome::Granted) {
        // An object path the portal sends as a string, for compatibility;
        // either is taken.
        const QVariant handle = created.results.value(QStringLiteral("session_handle"));
        *session = handle.canConvert<QDBusObjectPath>() && !handle.value<QDBusObjectPath>().path().isEmpty()
                       ? handle.value<QDBusObjectPath>().path()
                       : handle.toString();
    }
    co_return created;
}

QString PortalRequest::describe(const Result &result, const QString &refused, const QString &cancelled)
{
    switch (result.outcome) {
    case Outcome::Refused:
        return refused;
    case Outcome::Cancelled:
        return cancelled;
    case Outcome::Failed:
        return result.error;
    case Outcome::Granted:
        break;
    }
    return {};
}
