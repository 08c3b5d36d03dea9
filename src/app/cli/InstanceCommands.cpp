#include "InstanceCommands.h"

#include "Console.h"
#include "DBusService.h"
#include "ModeKeyBindings.h"

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
std::optional<QDBusReply<T>> call(const char *method, const QVariantList &arguments = {},
                                  int timeoutMs = kCallTimeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!instanceRunning()) {
        Console::err(QStringLiteral("quillwren: Quillwren is not running in this session"));
        return std::nullopt;
    }
    QDBusInterface instance(QString::fromLatin1(DBusService::kServiceName), QString::fromLatin1(DBusService::kObjectPath),
                            QString::fromLatin1(DBusService::kInterface), bus);
    instance.setTimeout(timeoutMs);
    QDBusReply<T> reply = instance.callWithArgumentList(QDBus::Block, QString::fromLatin1(method), arguments);
    if (!reply.isValid()) {
        // A refusal of the instance's own carries its reason.
        Console::err(reply.error().type() == QDBusError::Failed
                         ? QStringLiteral("quillwren: ") + reply.error().message()
                         : QStringLiteral("quillwren: the running instance did not answer: ") + reply.error().message());
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

int binding(const QString &command, const QStringList &args)
{
    const bool release = command == QLatin1String("release");
    const QString usage = release ? QStringLiteral("usage: quillwren release [voice|chat|reply]")
                                  : QStringLiteral("usage: quillwren %1 voice|chat|reply").arg(command);
    if (args.size() > 1 || (args.isEmpty() && !release)) {
        Console::err(usage);
        return Console::UsageError;
    }
    const QString mode = args.value(0);
    if (!(release && mode.isEmpty()) && !ModeKeyBindings::modeFromName(mode)) {
        Console::err(QStringLiteral("quillwren: unknown mode \"%1\": the modes are voice, chat and reply").arg(mode));
        return Console::UsageError;
    }
    const char *method = release ? "Release" : command == QLatin1String("hold") ? "Hold" : "Toggle";
    return call<void>(method, {mode}) ? Console::Success : Console::Failure;
}

int retry(const QStringList &args)
{
    bool ok = args.isEmpty();
    const int n = args.size() == 1 ? args.first().toInt(&ok) : 0;
    if (!ok || n < 0 || args.size() > 1) {
        Console::err(QStringLiteral("usage: quillwren retry [N]   (N as `quillwren history` numbers the takes; "
                                    "default: the newest failed or cancelled take with its audio)"));
        return Console::UsageError;
    }
    // The answer comes once the take has been sent again, at the pace it
    // was spoken, and finished: as long as the longest take, and then some.
    constexpr int kRetryTimeoutMs = 2 * 3600 * 1000;
    const auto reply = call<QString>("Retry", {n}, kRetryTimeoutMs);
    if (!reply)
        return Console::Failure;
    Console::out(reply->value());
    return Console::Success;
}

std::optional<QStringList> instanceCapabilities()
{
    if (!instanceRunning())
        return std::nullopt;
    QDBusInterface instance(QString::fromLatin1(DBusService::kServiceName), QString::fromLatin1(DBusService::kObjectPath),
                            QString::fromLatin1(DBusService::kInterface), QDBusConnection::sessionBus());
    instance.setTimeout(kCallTimeoutMs);
    const QDBusReply<QStringList> reply = instance.call(QStringLiteral("Capabilities"));
    if (!reply.isValid())
        return std::nullopt;
    return reply.value();
}

} // namespace InstanceCommands
