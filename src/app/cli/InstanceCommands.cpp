#include "InstanceCommands.h"

#include "Console.h"
#include "DBusService.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>

namespace InstanceCommands {
namespace {

constexpr int kCallTimeoutMs = 5000;

// The running instance's reply to a method, or why there is none.
template <typename T>
std::optional<QDBusReply<T>> call(const char *method)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QString::fromLatin1(DBusService::kServiceName))) {
        Console::err(QStringLiteral("quillwren: Quillwren is not running in this session"));
        return std::nullopt;
    }
    QDBusInterface instance(QString::fromLatin1(DBusService::kServiceName), QString::fromLatin1(DBusService::kObjectPath),
                            QString::fromLatin1(DBusService::kInterface), bus);
    instance.setTimeout(kCallTimeoutMs);
    QDBusReply<T> reply = instance.call(QString::fromLatin1(method));
    if (!reply.isValid()) {
        Console::err(QStringLiteral("quillwren: the running instance did not answer: ") + reply.error().message());
        return std::nullopt;
    }
    return reply;
}

} // namespace

int status(const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren status"));
        return Console::UsageError;
    }
    const auto reply = call<QString>("Status");
    if (!reply)
        return Console::Failure;
    Console::out(reply->value());
    return Console::Success;
}

int quit(const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren quit"));
        return Console::UsageError;
    }
    if (!call<void>("Quit"))
        return Console::Failure;
    Console::out(QStringLiteral("Quillwren is quitting."));
    return Console::Success;
}

} // namespace InstanceCommands
