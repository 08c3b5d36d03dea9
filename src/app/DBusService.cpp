#include "DBusService.h"

#include "AppViewModel.h"
#include "Json.h"
#include "Log.h"
#include "ModeKeyBindings.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

DBusService::DBusService(QObject *parent) : QObject(parent) {}

DBusService::~DBusService()
{
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    bus.unregisterService(QString::fromLatin1(kServiceName));
}

DBusService::Registration DBusService::registerInstance()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_busError = bus.lastError().message();
        return Registration::NoBus;
    }
    const auto reply = bus.interface()->registerService(QString::fromLatin1(kServiceName),
                                                        QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return Registration::AlreadyRunning;
    bus.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAllSlots);
    m_registered = true;
    return Registration::Registered;
}

QString DBusService::statusJson(const AppViewModel *controller)
{
    const std::optional<AppMode> mode = controller ? controller->currentMode() : std::nullopt;
    return QString::fromUtf8(
        Json::ObjectWriter()
            .add(QStringLiteral("currentMode"), mode ? QJsonValue(AppModes::rawValue(*mode)) : QJsonValue(QJsonValue::Null))
            .add(QStringLiteral("isProcessing"), controller && controller->isProcessing())
            .add(QStringLiteral("statusMessage"), controller ? controller->statusMessage() : QString())
            .add(QStringLiteral("hasApiKey"), controller && controller->hasApiKey())
            .add(QStringLiteral("inputNotice"), controller ? controller->inputNotice() : QString())
            .bytes());
}

QString DBusService::Status() const
{
    return statusJson(m_controller);
}

void DBusService::OpenSettings()
{
    Q_EMIT settingsRequested();
}

void DBusService::Quit()
{
    Q_EMIT quitRequested();
}

void DBusService::Hold(const QString &mode)
{
    binding(BindingAction::Hold, mode);
}

void DBusService::Release(const QString &mode)
{
    binding(BindingAction::Release, mode);
}

void DBusService::Toggle(const QString &mode)
{
    binding(BindingAction::Toggle, mode);
}

void DBusService::binding(BindingAction action, const QString &name)
{
    const std::optional<AppMode> mode = ModeKeyBindings::modeFromName(name);
    QString refusal;
    if (!m_bindings)
        refusal = QStringLiteral("Quillwren is still starting");
    else if (!mode && !(action == BindingAction::Release && name.isEmpty()))
        refusal = QStringLiteral("unknown mode \"%1\" (voice, chat or reply)").arg(name);
    else if (action == BindingAction::Hold)
        refusal = m_bindings->hold(*mode);
    else if (action == BindingAction::Release)
        refusal = m_bindings->release(mode);
    else
        refusal = m_bindings->toggle(*mode);
    if (refusal.isEmpty())
        return;
    Log::line(QStringLiteral("⚠️ [Bindings] 快捷键绑定被拒绝：") + refusal);
    if (calledFromDBus())
        sendErrorReply(QDBusError::Failed, refusal);
}

QString DBusService::Retry(int n)
{
    if (!m_retry) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("Quillwren is still starting"));
        return {};
    }
    // The answer waits for the take to be recognised (and answered) again.
    setDelayedReply(true);
    answerRetry(n, message(), connection());
    return {};
}

QCoro::Task<> DBusService::answerRetry(int n, QDBusMessage call, QDBusConnection bus)
{
    const TakeRetry::Outcome outcome = co_await m_retry(n);
    bus.send(outcome.succeeded ? call.createReply(outcome.status)
                               : call.createErrorReply(QDBusError::Failed, outcome.status));
}

QStringList DBusService::Capabilities() const
{
    return m_capabilities ? m_capabilities() : QStringList();
}
