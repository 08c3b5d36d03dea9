#include "FakeMediaPlayer.h"

#include <QDBusMessage>
#include <QDateTime>
#include <QVariantMap>

namespace {
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
} // namespace

FakeMediaPlayer::FakeMediaPlayer(const QString &name, const QString &status)
    : m_connection(QStringLiteral("fake-media-player-") + name)
    , m_service(QStringLiteral("org.mpris.MediaPlayer2.") + name)
    , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connection))
    , m_status(status)
{
    m_serving = m_bus.isConnected()
                && m_bus.registerObject(kPath, this,
                                        QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties)
                && m_bus.registerService(m_service);
}

FakeMediaPlayer::~FakeMediaPlayer()
{
    close();
}

void FakeMediaPlayer::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    QDBusMessage changed = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("PropertiesChanged"));
    changed << QStringLiteral("org.mpris.MediaPlayer2.Player")
            << QVariantMap{{QStringLiteral("PlaybackStatus"), status}} << QStringList();
    m_bus.send(changed);
}

void FakeMediaPlayer::close()
{
    if (!m_serving)
        return;
    m_serving = false;
    m_bus.unregisterService(m_service);
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(m_connection);
}

void FakeMediaPlayer::called(const QString &method, const QString &status)
{
    m_calls << method;
    m_callTimes << QDateTime::currentMSecsSinceEpoch();
    setStatus(status);
}

void FakeMediaPlayer::Play()
{
    called(QStringLiteral("Play"), QStringLiteral("Playing"));
}

void FakeMediaPlayer::Pause()
{
    called(QStringLiteral("Pause"), QStringLiteral("Paused"));
}

void FakeMediaPlayer::PlayPause()
{
    called(QStringLiteral("PlayPause"),
           m_status == QLatin1String("Playing") ? QStringLiteral("Paused") : QStringLiteral("Playing"));
}

void FakeMediaPlayer::Stop()
{
    called(QStringLiteral("Stop"), QStringLiteral("Stopped"));
}
