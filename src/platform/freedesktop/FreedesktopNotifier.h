#pragma once

#include "DesktopNotifier.h"

#include <QDBusConnection>

#include <optional>

// Notifications through the desktop's notification server
// (org.freedesktop.Notifications on the session bus), which GNOME, KDE Plasma
// and the notification daemons of other desktops (dunst, mako) provide. Each
// new one replaces the last by its id; while a call is on its way, only the
// newest waiting one is sent after it, so two never stack up. A bus without
// a server (or one that does not answer within kReplyTimeoutMs) hands the
// notification back as undelivered.
class FreedesktopNotifier final : public DesktopNotifier
{
    Q_OBJECT

public:
    static constexpr int kReplyTimeoutMs = 5000;

    explicit FreedesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    void show(const QString &summary, const QString &body) override;

private:
    struct Notice
    {
        QString summary;
        QString body;
    };

    void send(const Notice &notice);

    QDBusConnection m_bus;
    uint m_lastId = 0;
    bool m_inFlight = false;
    std::optional<Notice> m_next;
};
