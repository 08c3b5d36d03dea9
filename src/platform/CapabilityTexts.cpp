#include "CapabilityTexts.h"

#include "DesktopBackend.h"
#include "KeyEventSource.h"
#include "evdev/EvdevKeyEventSource.h"
#include "portal/PortalRemoteDesktop.h"
#include "wayland/WaylandDesktopBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace CapabilityTexts {
namespace {

const QString kNativeNotYet = QStringLiteral("native Wayland windows are not reached on this desktop yet, only X11 "
                                             "(XWayland) windows");

bool statusNotifierWatcherRuns()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

QString trayFix(const SessionInfo &session)
{
    QString fix;
    switch (session.desktop) {
    case SessionInfo::Desktop::Gnome:
        fix = QStringLiteral("install and enable the AppIndicator extension (Debian: gnome-shell-extension-appindicator)");
        break;
    case SessionInfo::Desktop::Wlroots:
        fix = QStringLiteral("give the bar a tray (swaybar: `tray_output *`; waybar: the \"tray\" module)");
        break;
    case SessionInfo::Desktop::Kde:
    case SessionInfo::Desktop::Other:
        fix = QStringLiteral("add a system tray to the panel");
        break;
    }
    return fix + QStringLiteral("; meanwhile `quillwren settings` opens the settings");
}

QString needsXDisplay(const SessionInfo &session)
{
    if (session.isWayland())
        return QStringLiteral("this Wayland session has no XWayland ($DISPLAY is not set): enable XWayland in the "
                              "compositor (sway: `xwayland enable`)");
    return QStringLiteral("no X display ($DISPLAY is not set)");
}

CapabilityStatus portalPaste(const PortalRemoteDesktop &portal)
{
    using State = PortalRemoteDesktop::State;
    const QString backend = QStringLiteral("RemoteDesktop portal (Ctrl+V; terminals by the accessibility bus)");
    switch (portal.state()) {
    case State::Started:
        return {kPaste, backend, true, {}};
    case State::NotStarted:
    case State::Starting:
        return {kPaste, backend + QStringLiteral("; the permission is asked once when Quillwren starts"), true, {}};
    case State::Refused:
    case State::Cancelled:
    case State::Missing:
    case State::Failed:
        break;
    }
    return {kPaste, backend, false,
            portal.problem() + QStringLiteral(": quit and start Quillwren again and allow it to control the keyboard "
                                              "(or allow it in the desktop's privacy settings); until then the text "
                                              "stays on the clipboard")};
}

} // namespace

CapabilityStatus x11Keys(const SessionInfo &session, const PlatformFactory::KeyRouteProbe &probe,
                         const KeyEventSource &source)
{
    QString backend = QStringLiteral("x11 (XInput2 raw keys)");
    if (session.isWayland()) {
        backend = session.desktop == SessionInfo::Desktop::Kde
                      ? QStringLiteral("XWayland XInput2 (KWin XwaylandEavesdrops=%1)")
                            .arg(KWinEavesdropSetting::name(probe.kwinEavesdrop))
                      : QStringLiteral("XWayland XInput2 (sees keys only while an X11 window has the focus)");
    }
    return {kModeKeys, backend, source.isTrusted(), source.untrustedReason()};
}

CapabilityStatus evdevKeys(const EvdevKeyEventSource &source)
{
    const int count = source.keyboardCount();
    return {kModeKeys,
            QStringLiteral("evdev (%1 keyboard%2 under /dev/input)").arg(count).arg(count == 1 ? "" : "s"),
            source.isTrusted(), source.untrustedReason()};
}

QString bindingAdvice(const SessionInfo &session)
{
    switch (session.desktop) {
    case SessionInfo::Desktop::Gnome:
        return QStringLiteral("add custom shortcuts that run `quillwren toggle voice` (chat, reply) in Settings → "
                              "Keyboard → Custom Shortcuts (see the README)");
    case SessionInfo::Desktop::Wlroots:
        return QStringLiteral("bind the keys in the compositor to `quillwren hold voice` on press and `quillwren "
                              "release voice` on release (chat, reply alike; the README has the sway and Hyprland "
                              "lines)");
    case SessionInfo::Desktop::Kde:
    case SessionInfo::Desktop::Other:
        break;
    }
    return QStringLiteral("bind keys in the desktop to `quillwren hold MODE` on press and `quillwren release MODE` on "
                          "release, or `quillwren toggle MODE` (MODE: voice, chat, reply; see the README)");
}

CapabilityStatus portalKeys(uint version)
{
    return {kModeKeys, QStringLiteral("the desktop's global shortcuts (GlobalShortcuts portal, version %1)").arg(version),
            false,
            QStringLiteral("start Quillwren (`quillwren run`): the desktop then asks once which keys to use, and "
                           "holding such a key combination works as holding the mode key")};
}

QString shortcutSettingsAdvice(const SessionInfo &session)
{
    switch (session.desktop) {
    case SessionInfo::Desktop::Gnome:
        return QStringLiteral("pick the keys in Settings → Apps → Quillwren → Global Shortcuts");
    case SessionInfo::Desktop::Kde:
        return QStringLiteral("pick the keys in System Settings → Keyboard → Shortcuts → Quillwren");
    case SessionInfo::Desktop::Wlroots:
    case SessionInfo::Desktop::Other:
        break;
    }
    return QStringLiteral("pick the keys in the desktop's shortcut settings, under Quillwren");
}

CapabilityStatus boundPortalKeys(const QList<QPair<QString, QString>> &triggers)
{
    QStringList shown;
    bool any = false;
    for (const auto &[mode, trigger] : triggers) {
        shown << mode + QStringLiteral(": ") + (trigger.isEmpty() ? QStringLiteral("no keys yet") : trigger);
        any = any || !trigger.isEmpty();
    }
    return {kModeKeys, QStringLiteral("the desktop's global shortcuts (%1)").arg(shown.join(QStringLiteral(", "))), any,
            any ? QString() : QStringLiteral("no keys are assigned to Quillwren's shortcuts yet")};
}

CapabilityStatus bindingKeys(const SessionInfo &session, const PlatformFactory::KeyRouteProbe &probe,
                             const QString &evdevProblem)
{
    if (session.type == SessionInfo::Type::None)
        return {kModeKeys, QStringLiteral("none"), false,
                QStringLiteral("no graphical session: run Quillwren in an X11 session, or a Wayland one with XWayland")};
    QStringList fixes;
    if (session.desktop == SessionInfo::Desktop::Kde && session.hasXDisplay)
        fixes << KWinEavesdropSetting::fix(probe.kwinEavesdrop);
    if (!evdevProblem.isEmpty())
        fixes << evdevProblem;
    fixes << bindingAdvice(session);
    return {kModeKeys, QStringLiteral("the desktop's key bindings only (`quillwren hold`/`release`/`toggle`)"), false,
            fixes.join(QStringLiteral("; or ")) + QStringLiteral("; a binding that reaches the running Quillwren "
                                                                 "shows here as working")};
}

CapabilityReport desktop(const SessionInfo &session, PlatformFactory::Backend backend, DesktopBackend &desktop,
                         bool trayShown)
{
    CapabilityReport report;
    const bool x = backend == PlatformFactory::Backend::X11;
    const bool wayland = session.isWayland();
    if (!x) {
        const QString why = needsXDisplay(session);
        report << CapabilityStatus{kClipboard, QStringLiteral("none"), false, why}
               << CapabilityStatus{kPaste, QStringLiteral("none"), false, why}
               << CapabilityStatus{kCapture, QStringLiteral("none"), false, why}
               << CapabilityStatus{kWindow, QStringLiteral("none"), false, why};
    } else if (!wayland) {
        report << CapabilityStatus{kClipboard, QStringLiteral("x11 (CLIPBOARD selection)"), true, {}}
               << CapabilityStatus{kPaste, QStringLiteral("x11 (XTest Ctrl+V)"), desktop.canPaste(),
                                   QStringLiteral("the X server does not offer XTest; the text stays on the clipboard")}
               << CapabilityStatus{kCapture, QStringLiteral("x11 (root window)"), desktop.canCapture(), {}}
               << CapabilityStatus{kWindow, QStringLiteral("x11 window"), true, {}};
    } else {
        // mutter hands XWayland's clipboard to Wayland windows; KWin and
        // wlroots compositors do not, but offer data-control.
        const auto *native = dynamic_cast<const WaylandDesktopBackend *>(&desktop);
        const bool bridged = session.desktop == SessionInfo::Desktop::Gnome;
        if (native && native->hasDataControl())
            report << CapabilityStatus{kClipboard, QStringLiteral("wlr data-control"), true, {}};
        else
            report << CapabilityStatus{kClipboard,
                                       bridged ? QStringLiteral("XWayland CLIPBOARD (mutter passes it to Wayland windows)")
                                               : QStringLiteral("XWayland CLIPBOARD"),
                                       bridged, kNativeNotYet};
        if (native && native->hasVirtualKeyboard())
            report << CapabilityStatus{kPaste,
                                       native->knowsActiveWindow()
                                           ? QStringLiteral("zwp_virtual_keyboard_v1 (Ctrl+V; terminals by app_id)")
                                           : QStringLiteral("zwp_virtual_keyboard_v1 (Ctrl+V)"),
                                       true, {}};
        else if (const PortalRemoteDesktop *portal = native ? native->portal() : nullptr; portal && portal->version() > 0)
            report << portalPaste(*portal);
        else
            report << CapabilityStatus{kPaste, QStringLiteral("none (XTest reaches only XWayland windows)"), false,
                                       QStringLiteral("this compositor offers no virtual keyboard and no RemoteDesktop "
                                                      "portal answers (install xdg-desktop-portal and the desktop's "
                                                      "backend): the text stays on the clipboard to paste with Ctrl+V")};
        if (native && native->hasScreencopy())
            report << CapabilityStatus{kCapture, QStringLiteral("wlr-screencopy"), true, {}};
        else if (native && native->capturesThroughPortal())
            report << CapabilityStatus{kCapture, QStringLiteral("Screenshot portal (the desktop may ask the first time)"),
                                       true, {}};
        else
            report << CapabilityStatus{kCapture, QStringLiteral("none (XWayland's screen shows only X11 windows)"),
                                       false,
                                       QStringLiteral("this compositor offers no screencopy and no Screenshot portal "
                                                      "answers (install xdg-desktop-portal and the desktop's backend)")};
        report << CapabilityStatus{kWindow, QStringLiteral("XWayland window"), true, {}};
    }
    if (trayShown) {
        report << CapabilityStatus{kTray,
                                   statusNotifierWatcherRuns() ? QStringLiteral("StatusNotifierItem")
                                                               : QStringLiteral("XEmbed system tray"),
                                   true, {}};
    } else {
        report << CapabilityStatus{kTray, QStringLiteral("none"), false, trayFix(session)};
    }
    return report;
}

} // namespace CapabilityTexts
