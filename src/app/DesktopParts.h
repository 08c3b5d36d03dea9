#pragma once

#include "CapabilityStatus.h"
#include "PlatformFactory.h"
#include "SettingsViewModel.h"
#include "ShortcutConfig.h"

#include <functional>
#include <memory>
#include <optional>

class AudioInputWatcher;
class DesktopBackend;
class DesktopNotifier;
class GlobalShortcutsRoute;
class KeyEventSource;
class MediaPlayers;
class MergedKeyEventSource;
class ModeKeyBindings;

// The session's side of the composition root: the platform backends that
// serve this desktop (the mode keys' routes, the desktop backend, the audio
// server's watcher, notifications, media players) and what they can do
// here. Everything is made on first use.
class DesktopParts
{
public:
    // keyRouteSetting: the route the settings ask for; shortcutConfig: the
    // mode keys as they stand now.
    DesktopParts(std::function<QByteArray()> keyRouteSetting, std::function<ShortcutConfig()> shortcutConfig);
    ~DesktopParts();
    DesktopParts(const DesktopParts &) = delete;
    DesktopParts &operator=(const DesktopParts &) = delete;

    PlatformFactory::Backend backend() const { return m_backend; }
    const SessionInfo &session() const { return m_session; }
    // The desktop-wide key source of the session's route (X11, evdev, or none).
    KeyEventSource &keyEventSource();
    PlatformFactory::KeyRoute keyRoute();
    KeyEventSource &localKeyEventSource();
    // The mode keys as the desktop's key bindings report them (D-Bus Hold, Release, Toggle).
    ModeKeyBindings &keyBindings();
    // The global source (or the local one when it cannot start) and the bindings, as one.
    KeyEventSource &modeKeyEvents();
    DesktopBackend &desktop();
    AudioInputWatcher &audioInputWatcher();
    DesktopNotifier &notifier();
    MediaPlayers &mediaPlayers();
    // The global shortcuts, made on the portal route only.
    void useGlobalShortcuts();
    GlobalShortcutsRoute *globalShortcuts() const { return m_globalShortcuts.get(); }
    // The routes that work here, and which one serves, for the settings.
    KeyRouteChoices keyRouteChoices();

    // Empty when global keys and synthetic paste work here, else what is missing.
    QString accessibilityProblem();
    // One line per capability: the backend serving it, whether it works, the fix.
    CapabilityReport capabilities();
    // Logs the session and the capability lines.
    void logCapabilities();

private:
    std::function<QByteArray()> m_keyRouteSetting;
    std::function<ShortcutConfig()> m_shortcutConfig;
    PlatformFactory::Backend m_backend;
    SessionInfo m_session;
    std::optional<PlatformFactory::KeySource> m_keySource;
    std::unique_ptr<KeyEventSource> m_localKeyEventSource;
    std::unique_ptr<ModeKeyBindings> m_keyBindings;
    std::unique_ptr<GlobalShortcutsRoute> m_globalShortcuts;
    std::unique_ptr<MergedKeyEventSource> m_modeKeyEvents;
    std::unique_ptr<DesktopBackend> m_desktop;
    std::unique_ptr<AudioInputWatcher> m_audioInputWatcher;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<MediaPlayers> m_mediaPlayers;
};
