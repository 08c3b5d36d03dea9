#pragma once

#include "AppMode.h"
#include "CapabilityStatus.h"
#include "SessionInfo.h"
#include "portal/PortalGlobalShortcuts.h"

#include <QObject>

#include <QCoroTask>

class ModeKeyBindings;

// The mode keys through the desktop's GlobalShortcuts portal: the three modes
// are bound as shortcuts, and a shortcut going down or up acts as its mode's
// key going down or up, through the desktop's key bindings' path (so the
// long-press delay and taps are as with every route). When the desktop does
// not bind them, the desktop's own key bindings (`quillwren hold`) are what
// is left, and the mode-keys line says so.
class GlobalShortcutsRoute final : public QObject
{
    Q_OBJECT

public:
    // fallback: the mode-keys line for when the shortcuts are not bound.
    GlobalShortcutsRoute(QDBusConnection bus, ModeKeyBindings &bindings, SessionInfo session, CapabilityStatus fallback,
                         QObject *parent = nullptr);

    // The shortcuts the application asks for: ids "voice", "chat", "reply"
    // (the names the commands use), a description and a suggested chord each.
    static QList<PortalGlobalShortcuts::Shortcut> shortcuts();

    // Binds the shortcuts (the desktop may ask the user); true when bound.
    QCoro::Task<bool> start();

    // The mode-keys line as things stand.
    CapabilityStatus status() const;
    // Each mode's keys as the desktop reports them, for the settings:
    // "语音输入法：Super+Alt+V" ...; or, when not bound, why.
    QStringList describe() const;

    PortalGlobalShortcuts &portal() { return m_portal; }

Q_SIGNALS:
    // What status() and describe() say changed.
    void changed();

private:
    void press(const QString &id, bool down);

    PortalGlobalShortcuts m_portal;
    ModeKeyBindings &m_bindings;
    SessionInfo m_session;
    CapabilityStatus m_fallback;
};
