#include "PlatformFactory.h"

#include "freedesktop/FreedesktopNotifier.h"
#include "qt/LocalKeyEventSource.h"
#include "null/NullDesktopBackend.h"
#include "null/NullDesktopNotifier.h"
#include "null/NullKeyEventSource.h"
#include "pulse/PulseAudioInputWatcher.h"
#include "x11/X11DesktopBackend.h"
#include "x11/X11KeyEventSource.h"

#include <QtGlobal>

namespace PlatformFactory {

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

std::unique_ptr<KeyEventSource> createKeyEventSource(Backend backend)
{
    if (backend == Backend::X11)
        return std::make_unique<X11KeyEventSource>();
    return std::make_unique<NullKeyEventSource>(
        QStringLiteral("no supported desktop: global keys need an X11 session"));
}

std::unique_ptr<KeyEventSource> createLocalKeyEventSource()
{
    return std::make_unique<LocalKeyEventSource>();
}

std::unique_ptr<DesktopBackend> createDesktopBackend(Backend backend)
{
    if (backend == Backend::X11)
        return std::make_unique<X11DesktopBackend>();
    return std::make_unique<NullDesktopBackend>();
}

std::unique_ptr<DesktopNotifier> createDesktopNotifier()
{
    // The notification server is the desktop's, X11 or Wayland alike.
    if (QDBusConnection::sessionBus().isConnected())
        return std::make_unique<FreedesktopNotifier>();
    return std::make_unique<NullDesktopNotifier>();
}

std::unique_ptr<AudioInputWatcher> createAudioInputWatcher()
{
    // The audio server is the same whatever the desktop: PulseAudio or
    // PipeWire's PulseAudio service. Without one the watcher stays silent.
    return std::make_unique<PulseAudioInputWatcher>();
}

} // namespace PlatformFactory
