#pragma once

#include <QString>

#include <memory>

class AudioInputWatcher;
class DesktopBackend;
class DesktopNotifier;
class KeyEventSource;

// Chooses the platform backends at run time: X11 when $DISPLAY names an X
// server, else the null backends that report "unavailable". The environment
// variable QUILLWREN_PLATFORM ("x11" or "null") forces a choice.
namespace PlatformFactory {

enum class Backend { X11, Null };

Backend detectBackend();
QString backendName(Backend backend);

// The global key-event source of the backend.
std::unique_ptr<KeyEventSource> createKeyEventSource(Backend backend = detectBackend());
// The application's own key events (the fallback of the global source).
std::unique_ptr<KeyEventSource> createLocalKeyEventSource();
// Paste, focus and capture of the backend.
std::unique_ptr<DesktopBackend> createDesktopBackend(Backend backend = detectBackend());
// Notifications through the session bus's notification server.
std::unique_ptr<DesktopNotifier> createDesktopNotifier();
// Microphones coming and going, and the user's default one.
std::unique_ptr<AudioInputWatcher> createAudioInputWatcher();

} // namespace PlatformFactory
