#include "MprisMediaPlayers.h"

#include "Log.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString kMprisPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString kMprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kMprisPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kDBusProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kPlaybackStatus = QStringLiteral("PlaybackStatus");
const QString kStatusPlaying = QStringLiteral("Playing");
const QString kStatusPaused = QStringLiteral("Paused");
} // namespace

MprisMediaPlayers::MprisMediaPlayers(QDBusConnection bus, QObject *parent)
    : MediaPlayers(parent), m_bus(std::move(bus))
{
}

MprisMediaPlayers::~MprisMediaPlayers()
{
    watchPlayers(false);
}

void MprisMediaPlayers::pausePlaying()
{
    if (!m_bus.isConnected())
        return;
    m_holding = true;
    const quint64 round = ++m_round;
    watchPlayers(true);
    const QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(list, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, round] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> names = *watcher;
        if (round != m_round || names.isError())
            return;
        for (const QString &name : names.value()) {
            if (!name.startsWith(kMprisPrefix))
                continue;
            askStatus(name, [this, round, name](const QString &status, const QString &owner) {
                if (round != m_round || status != kStatusPlaying || m_held.contains(owner))
                    return;
                send(owner, QStringLiteral("Pause"));
                m_held.insert(owner);
                Log::line(QStringLiteral("⏸️ [媒体] 暂停正在播放的播放器：") + name.mid(kMprisPrefix.size()));
            });
        }
    });
}

void MprisMediaPlayers::resumePaused()
{
    m_holding = false;
    ++m_round;
    const QSet<QString> held = std::exchange(m_held, {});
    watchPlayers(false);
    for (const QString &owner : held) {
        askStatus(owner, [this, owner](const QString &status, const QString &) {
            if (status != kStatusPaused)
                return; // closed, stopped, or playing again by the user's hand
            if (m_holding) {
                // A new take began meanwhile: the player stays paused for it.
                m_held.insert(owner);
                watchPlayers(true);
                return;
            }
            send(owner, QStringLiteral("Play"));
            Log::line(QStringLiteral("▶️ [媒体] 恢复播放：") + owner);
        });
    }
}

void MprisMediaPlayers::askStatus(const QString &player,
                                  std::function<void(const QString &, const QString &)> done)
{
    QDBusMessage get = QDBusMessage::createMethodCall(player, kMprisPath, kDBusProperties, QStringLiteral("Get"));
    get << kMprisPlayer << kPlaybackStatus;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *watcher;
        if (reply.isError()) {
            done(QString(), QString());
            return;
        }
        // The answer comes from the player's unique name, whatever name it was asked by.
        done(reply.value().variant().toString(), reply.reply().service());
    });
}

void MprisMediaPlayers::send(const QString &player, const QString &method)
{
    const QDBusMessage call = QDBusMessage::createMethodCall(player, kMprisPath, kMprisPlayer, method);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, player, method] {
        watcher->deleteLater();
        if (watcher->isError())
            Log::line(QStringLiteral("⚠️ [媒体] 播放器 %1 未接受 %2：%3").arg(player, method, watcher->error().message()));
    });
}

void MprisMediaPlayers::watchPlayers(bool watch)
{
    if (watch == m_watching)
        return;
    m_watching = watch;
    const auto slot = SLOT(playerPropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage));
    if (watch)
        m_bus.connect(QString(), kMprisPath, kDBusProperties, QStringLiteral("PropertiesChanged"), this, slot);
    else
        m_bus.disconnect(QString(), kMprisPath, kDBusProperties, QStringLiteral("PropertiesChanged"), this, slot);
}

void MprisMediaPlayers::playerPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                                const QStringList &, const QDBusMessage &message)
{
    if (interface != kMprisPlayer || changed.value(kPlaybackStatus).toString() != kStatusPlaying)
        return;
    if (m_held.remove(message.service()))
        Log::line(QStringLiteral("▶️ [媒体] 播放器已由用户恢复，结束时不再发送 Play：") + message.service());
}
