#pragma once

#include "CapabilityStatus.h"
#include "SessionInfo.h"
#include "portal/PortalRemoteDesktop.h"
#include "x11/KWinEavesdropSetting.h"

#include <QString>

#include <memory>

class AudioInputWatcher;
class DesktopBackend;
class DesktopNotifier;
class MediaPlayers;
class KeyEventSource;

// Chooses the platform backends at run time, from the session and probes.
// The windows, clipboard, paste and capture go through X: the X server, or
// XWayland in a Wayland session; without an X display the null backend
// reports "unavailable". QUILLWREN_PLATFORM ("x11" or "null") forces that
// choice. The mode keys have their own route (see chooseKeyRoute).
namespace PlatformFactory {

enum class Backend { X11, Null };

Backend detectBackend();
QString backendName(Backend backend);

// How the mode keys reach the monitor besides the desktop's key bindings,
// which work everywhere: X11's XInput2 (on X11, and on KDE through XWayland
// when KWin lets X11 clients see combinations), the kernel's keyboards
// (evdev), the desktop's GlobalShortcuts portal (chords the user picks in the
// desktop's settings, reported down and up), or nothing else.
enum class KeyRoute { X11, Evdev, Portal, BindingsOnly };

// "x11", "evdev", "portal", "bindings only".
QString keyRouteName(KeyRoute route);

struct KeyRouteProbe
{
    // What KWin lets XWayland see (read on KDE only).
    KWinEavesdropSetting::Mode kwinEavesdrop = KWinEavesdropSetting::Mode::NotSet;
    bool evdevReadable = false;
    // The GlobalShortcuts portal's version (0: none).
    uint globalShortcutsVersion = 0;
};

// "x11", "evdev", "portal", "bindings": the names a route is asked for by
// ($QUILLWREN_KEYS, the keyRoute setting).
QString keyRouteKey(KeyRoute route);
// The routes that serve the mode keys here, in the order the automatic
// choice prefers them; the desktop's key bindings always.
QList<KeyRoute> workingKeyRoutes(const SessionInfo &session, const KeyRouteProbe &probe);
// The route for this session: forced ($QUILLWREN_KEYS) whatever the probes
// say; else the preferred one (the setting) where it works; else the first
// that works.
KeyRoute chooseKeyRoute(const SessionInfo &session, const KeyRouteProbe &probe, const QByteArray &forced = {},
                        const QByteArray &preferred = {});

struct KeySource
{
    KeyRoute route;
    // On the portal route the keys come through the portal's shortcuts (see
    // PortalGlobalShortcuts), and this source delivers nothing.
    std::unique_ptr<KeyEventSource> source;
    // The "mode keys" line, as far as the probe knows (the bindings' use is
    // known only to the running application).
    CapabilityStatus status;
    // On the portal route: the line for when the desktop does not bind the
    // shortcuts, and the desktop's key bindings are all that is left.
    CapabilityStatus fallback;
    // Every route that works here (for the user to pick from).
    QList<KeyRoute> working;
};

// Probes the session and makes the global key-event source of its route;
// preferred: the keyRoute setting ("auto" or empty: none).
KeySource createKeyEventSource(const SessionInfo &session = SessionInfo::fromEnvironment(),
                               const QByteArray &preferred = {});
// The application's own key events (the fallback of the global source).
std::unique_ptr<KeyEventSource> createLocalKeyEventSource();
// Paste, focus and capture of the backend: in a Wayland session, the
// compositor's protocols where it offers them, beside XWayland.
// tokens: where the RemoteDesktop portal's permission is remembered.
std::unique_ptr<DesktopBackend> createDesktopBackend(Backend backend = detectBackend(),
                                                     const SessionInfo &session = SessionInfo::fromEnvironment(),
                                                     PortalRemoteDesktop::TokenStore tokens = {});
// Notifications through the session bus's notification server.
std::unique_ptr<DesktopNotifier> createDesktopNotifier();
// Media players to pause while the user speaks or is spoken to.
std::unique_ptr<MediaPlayers> createMediaPlayers();
// Microphones coming and going, and the user's default one.
std::unique_ptr<AudioInputWatcher> createAudioInputWatcher();

// The lines of every capability but the mode keys: clipboard, paste
// keystroke, screen capture, indicator window, tray (trayShown: whether Qt
// found a tray to show the icon in).
CapabilityReport probeDesktop(const SessionInfo &session, Backend backend, DesktopBackend &desktop, bool trayShown);

} // namespace PlatformFactory
