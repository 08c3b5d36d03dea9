#pragma once

#include "MediaPlayers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// Media players through MPRIS (org.mpris.MediaPlayer2.* on the session bus):
// each one whose PlaybackStatus is "Playing" is sent Pause, and at the end
// those of them still "Paused" are sent Play, never PlayPause, so that a
// player is never started that was not playing. Players are addressed by
// their unique bus name, so one closed and opened again is a stranger. A
// paused player that reports "Playing" meanwhile (the user resumed it) is
// forgotten. Every call is asynchronous with a kReplyTimeoutMs timeout; the
// players' signals are listened to only while some are held paused.
class MprisMediaPlayers final : public MediaPlayers
{
    Q_OBJECT

public:
    static constexpr int kReplyTimeoutMs = 200;

    explicit MprisMediaPlayers(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~MprisMediaPlayers() override;

    void pausePlaying() override;
    void resumePaused() override;

    // The unique bus names of the players held paused now.
    QStringList heldPlayers() const { return m_held.values(); }

private Q_SLOTS:
    void playerPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                 const QStringList &invalidated, const QDBusMessage &message);

private:
    // Asks a player its PlaybackStatus; done gets the status (empty when it
    // did not answer) and the player's unique name.
    void askStatus(const QString &player, std::function<void(const QString &, const QString &)> done);
    void send(const QString &player, const QString &method);
    void watchPlayers(bool watch);

    QDBusConnection m_bus;
    // Whether players should be paused now (between pausePlaying and resumePaused).
    bool m_holding = false;
    // Counts pausePlaying/resumePaused calls: an answer to an older one is stale.
    quint64 m_round = 0;
    QSet<QString> m_held;
    bool m_watching = false;
};
