#include "DBusService.h"

#include "AppViewModel.h"
#include "Json.h"

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
