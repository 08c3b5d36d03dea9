#include "FreedesktopNotifier.h"

#include "Log.h"
#include "UserText.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// Urgency "normal": shown as a banner, kept in the desktop's list.
constexpr uchar kNormalUrgency = 1;
// The server's own default display time.
constexpr qint32 kDefaultExpiry = -1;
} // namespace

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection bus, QObject *parent)
    : DesktopNotifier(parent), m_bus(std::move(bus))
{
}

void FreedesktopNotifier::show(const QString &summary, const QString &body)
{
    if (m_inFlight) {
        // The id to replace is not known yet: wait for it, newest only.
        m_next = Notice{summary, body};
        return;
    }
    send({summary, body});
}

void FreedesktopNotifier::send(const Notice &notice)
{
    if (!m_bus.isConnected()) {
        Q_EMIT undelivered(notice.summary, notice.body);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quillwren"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kNormalUrgency));
    call << QStringLiteral("Quillwren") << m_lastId << QStringLiteral("quillwren") << UserText::shown(notice.summary)
         << UserText::shown(notice.body) << QStringList() << hints << kDefaultExpiry;
    m_inFlight = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, notice] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        m_inFlight = false;
        if (reply.isError()) {
            Log::line(QStringLiteral("⚠️ [通知] 通知服务不可用：") + reply.error().message());
            Q_EMIT undelivered(notice.summary, notice.body);
        } else {
            m_lastId = reply.value();
        }
        if (auto next = std::exchange(m_next, std::nullopt))
            send(*next);
    });
}
