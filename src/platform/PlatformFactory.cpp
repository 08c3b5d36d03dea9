#include "PlatformFactory.h"

#include "CapabilityTexts.h"
#include "evdev/DevInputDirectory.h"
#include "evdev/EvdevKeyEventSource.h"
#include "freedesktop/FreedesktopNotifier.h"
#include "freedesktop/MprisMediaPlayers.h"
#include "null/NullDesktopBackend.h"
#include "null/NullDesktopNotifier.h"
#include "null/NullMediaPlayers.h"
#include "null/NullKeyEventSource.h"
#include "pulse/PulseAudioInputWatcher.h"
#include "qt/LocalKeyEventSource.h"
#include "freedesktop/AccessibleFocus.h"
#include "portal/PortalGlobalShortcuts.h"
#include "portal/PortalRequest.h"
#include "portal/PortalScreenshot.h"
#include "wayland/WaylandDesktopBackend.h"
#include "wayland/WaylandDisplay.h"
#include "x11/X11DesktopBackend.h"
#include "x11/X11KeyEventSource.h"

#include <QtGlobal>

namespace PlatformFactory {

// The source of a route chosen, with its mode-keys line.
static KeySource makeKeySource(KeyRoute route, const SessionInfo &session, const KeyRouteProbe &probe,
                               std::unique_ptr<EvdevKeyEventSource> evdev);

Backend detectBackend()
{
    const QByteArray forced = qgetenv("QUILLWREN_PLATFORM");
    if (forced == "x11")
        return Backend::X11;
    if (forced == "null")
        return Backend::Null;
    return qEnvironmentVariableIsEmpty("DISPLAY") ? Backend::Null : Backend::X11;
}

QString backendName(Backend backend)
{
    return backend == Backend::X11 ? QStringLiteral("x11") : QStringLiteral("null");
}

QString keyRouteName(KeyRoute route)
{
    switch (route) {
    case KeyRoute::X11:
        return QStringLiteral("x11");
    case KeyRoute::Evdev:
        return QStringLiteral("evdev");
    case KeyRoute::Portal:
        return QStringLiteral("portal");
    case KeyRoute::BindingsOnly:
        break;
    }
    return QStringLiteral("bindings only");
}

QString keyRouteKey(KeyRoute route)
{
    return route == KeyRoute::BindingsOnly ? QStringLiteral("bindings") : keyRouteName(route);
}

QList<KeyRoute> workingKeyRoutes(const SessionInfo &session, const KeyRouteProbe &probe)
{
    QList<KeyRoute> routes;
    // In a Wayland session XWayland's clients see the keys only while an X11
    // window has the focus, unless KWin forwards them.
    if (session.type == SessionInfo::Type::X11
        || (session.isWayland() && session.hasXDisplay && session.desktop == SessionInfo::Desktop::Kde
            && KWinEavesdropSetting::enoughForModeKeys(probe.kwinEavesdrop)))
        routes << KeyRoute::X11;
    if (probe.evdevReadable && session.type != SessionInfo::Type::X11)
        routes << KeyRoute::Evdev;
    if (session.isWayland() && probe.globalShortcutsVersion > 0)
        routes << KeyRoute::Portal;
    routes << KeyRoute::BindingsOnly;
    return routes;
}

KeyRoute chooseKeyRoute(const SessionInfo &session, const KeyRouteProbe &probe, const QByteArray &forced,
                        const QByteArray &preferred)
{
    for (KeyRoute route : {KeyRoute::X11, KeyRoute::Evdev, KeyRoute::Portal, KeyRoute::BindingsOnly}) {
        if (forced == keyRouteKey(route).toLatin1())
            return route;
    }
    const QList<KeyRoute> working = workingKeyRoutes(session, probe);
    for (KeyRoute route : working) {
        if (preferred == keyRouteKey(route).toLatin1())
            return route;
    }
    return working.first();
}

KeySource createKeyEventSource(const SessionInfo &session, const QByteArray &preferred)
{
    KeyRouteProbe probe;
    if (session.desktop == SessionInfo::Desktop::Kde)
        probe.kwinEavesdrop = KWinEavesdropSetting::read();
    // Probed only where it may serve: on X11 XInput2 sees every key anyway.
    std::unique_ptr<EvdevKeyEventSource> evdev;
    if (session.type != SessionInfo::Type::X11) {
        evdev = std::make_unique<EvdevKeyEventSource>(std::make_unique<DevInputDirectory>());
        probe.evdevReadable = evdev->isTrusted();
    }
    const QByteArray forced = qgetenv("QUILLWREN_KEYS");
    // Asked only where it may serve (Wayland) or is asked for: a round trip
    // on the bus.
    if (forced == "portal" || session.isWayland())
        probe.globalShortcutsVersion = PortalRequest::interfaceVersion(
            QDBusConnection::sessionBus(), QString::fromLatin1(PortalGlobalShortcuts::kInterface));
    const KeyRoute route = chooseKeyRoute(session, probe, forced, preferred);
    KeySource made = makeKeySource(route, session, probe, std::move(evdev));
    made.working = workingKeyRoutes(session, probe);
    return made;
}

static KeySource makeKeySource(KeyRoute route, const SessionInfo &session, const KeyRouteProbe &probe,
                               std::unique_ptr<EvdevKeyEventSource> evdev)
{
    switch (route) {
    case KeyRoute::X11: {
        auto x11 = std::make_unique<X11KeyEventSource>();
        CapabilityStatus status = CapabilityTexts::x11Keys(session, probe, *x11);
        return {route, std::move(x11), std::move(status), {}, {}};
    }
    case KeyRoute::Evdev:
        if (!evdev)
            evdev = std::make_unique<EvdevKeyEventSource>(std::make_unique<DevInputDirectory>());
        {
            CapabilityStatus status = CapabilityTexts::evdevKeys(*evdev);
            return {route, std::move(evdev), std::move(status), {}, {}};
        }
    case KeyRoute::Portal: {
        CapabilityStatus status = CapabilityTexts::portalKeys(probe.globalShortcutsVersion);
        CapabilityStatus fallback =
            CapabilityTexts::bindingKeys(session, probe, evdev ? evdev->untrustedReason() : QString());
        return {route, std::make_unique<NullKeyEventSource>(status.fix), std::move(status), std::move(fallback), {}};
    }
    case KeyRoute::BindingsOnly:
        break;
    }
    CapabilityStatus status = CapabilityTexts::bindingKeys(session, probe, evdev ? evdev->untrustedReason() : QString());
    return {route, std::make_unique<NullKeyEventSource>(status.fix), std::move(status), {}, {}};
}

std::unique_ptr<KeyEventSource> createLocalKeyEventSource()
{
    return std::make_unique<LocalKeyEventSource>();
}

std::unique_ptr<DesktopBackend> createDesktopBackend(Backend backend, const SessionInfo &session,
                                                     PortalRemoteDesktop::TokenStore tokens)
{
    if (backend != Backend::X11)
        return std::make_unique<NullDesktopBackend>();
    // In a Wayland session the compositor's own protocols reach native windows.
    if (session.isWayland() && session.hasWaylandDisplay && qgetenv("QUILLWREN_PLATFORM") != "x11") {
        auto wayland = std::make_unique<WaylandDisplay>();
        if (wayland->isConnected()) {
            auto x11 = std::make_unique<X11DesktopBackend>();
            // Used only where the compositor has no virtual keyboard of its own.
            auto portal = std::make_unique<PortalRemoteDesktop>(QDBusConnection::sessionBus(), std::move(tokens));
            auto screenshots = std::make_unique<PortalScreenshot>(QDBusConnection::sessionBus());
            return std::make_unique<WaylandDesktopBackend>(
                std::move(x11), std::move(wayland), std::move(portal), std::move(screenshots),
                std::make_unique<AccessibleFocus>(QDBusConnection::sessionBus()));
        }
    }
    // Toolkits tell the accessibility bus where their caret is, in desktop
    // coordinates on X11 (Wayland clients only know their own surface).
    return std::make_unique<X11DesktopBackend>(std::make_unique<AccessibleFocus>(QDBusConnection::sessionBus()));
}

std::unique_ptr<DesktopNotifier> createDesktopNotifier()
{
    // The notification server is the desktop's, X11 or Wayland alike.
    if (QDBusConnection::sessionBus().isConnected())
        return std::make_unique<FreedesktopNotifier>();
    return std::make_unique<NullDesktopNotifier>();
}

std::unique_ptr<MediaPlayers> createMediaPlayers()
{
    if (QDBusConnection::sessionBus().isConnected())
        return std::make_unique<MprisMediaPlayers>();
    return std::make_unique<NullMediaPlayers>();
}

std::unique_ptr<AudioInputWatcher> createAudioInputWatcher()
{
    // The audio server is the same whatever the desktop: PulseAudio or
    // PipeWire's PulseAudio service. Without one the watcher stays silent.
    return std::make_unique<PulseAudioInputWatcher>();
}

CapabilityReport probeDesktop(const SessionInfo &session, Backend backend, DesktopBackend &desktop, bool trayShown)
{
    return CapabilityTexts::desktop(session, backend, desktop, trayShown);
}

} // namespace PlatformFactory
