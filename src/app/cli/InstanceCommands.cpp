#include "InstanceCommands.h"

#include "Console.h"
#include "DBusService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QDBusInterface>
#include <QDBusReply>

namespace InstanceCommands {
namespace {

constexpr int kCallTimeoutMs = 5000;

bool instanceRunning()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QString::fromLatin1(DBusService::kServiceName));
}

// The running instance's reply to a method, or why there is none.
template <typename T>
std::optional<QDBusReply<T>> call(const char *method)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!instanceRunning()) {
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

int settings(const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren settings"));
        return Console::UsageError;
    }
    if (!QDBusConnection::sessionBus().isConnected()) {
        Console::err(QStringLiteral("quillwren: no D-Bus session bus: start Quillwren and use its tray menu"));
        return Console::Failure;
    }
    if (!instanceRunning()) {
        // None runs yet: start one, on its own (its log is not this
        // terminal's business), and wait until it answers.
        QProcess application;
        application.setProgram(QCoreApplication::applicationFilePath());
        application.setArguments({QStringLiteral("run")});
        application.setStandardInputFile(QProcess::nullDevice());
        application.setStandardOutputFile(QProcess::nullDevice());
        application.setStandardErrorFile(QProcess::nullDevice());
        if (!application.startDetached()) {
            Console::err(QStringLiteral("quillwren: could not start Quillwren"));
            return Console::Failure;
        }
        QElapsedTimer waited;
        waited.start();
        while (!instanceRunning() && waited.elapsed() < kStartWaitMs)
            QThread::msleep(50);
    }
    if (!call<void>("OpenSettings"))
        return Console::Failure;
    Console::out(QStringLiteral("Settings opened."));
    return Console::Success;
}

} // namespace InstanceCommands
