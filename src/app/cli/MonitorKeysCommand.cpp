#include "MonitorKeysCommand.h"

#include "Application.h"
#include "Console.h"
#include "GlobalShortcutsRoute.h"
#include "HotkeyMonitorService.h"
#include "InterruptWatcher.h"
#include "KeyEventSource.h"
#include "ModeKeyBindings.h"
#include "PlatformFactory.h"
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>

MonitorKeysCommand::MonitorKeysCommand(Application &application) : m_application(application) {}

int MonitorKeysCommand::run(QCoreApplication &app, const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren monitor-keys  (runs until interrupted)"));
        return Console::UsageError;
    }

    // On the portal route the keys are the desktop's shortcuts, bound for
    // this command too, and reported through the bindings' path.
    const bool portal = m_application.keyRoute() == PlatformFactory::KeyRoute::Portal;
    if (portal)
        m_application.useGlobalShortcuts();
    KeyEventSource &source = portal ? static_cast<KeyEventSource &>(m_application.keyBindings())
                                    : m_application.keyEventSource();
    const QString route = PlatformFactory::keyRouteName(m_application.keyRoute());

    // Press times per modifier bit, taken before the monitor sees the change.
    QElapsedTimer clock;
    clock.start();
    QHash<std::uint64_t, qint64> pressedAt;
    std::uint64_t lastFlags = 0;
    QObject scope; // the source outlives this command: its handlers go with the scope
    QObject::connect(&source, &KeyEventSource::flagsChanged, &scope, [&](std::uint64_t flags) {
        for (ModifierKey key : allModifierKeys) {
            const std::uint64_t mask = ModifierKeys::mask(key);
            if ((flags & mask) && !(lastFlags & mask))
                pressedAt[mask] = clock.nsecsElapsed();
        }
        lastFlags = flags;
    });

    HotkeyMonitorService monitor(source, m_application.localKeyEventSource(),
                                 m_application.settings().loadShortcutConfig());
    monitor.setHandsFreeSettings(m_application.handsFreeSettings());
    QObject::connect(&monitor, &HotkeyMonitorService::handsFreeModeChanged, [](std::optional<AppMode> mode) {
        Console::out(QStringLiteral("handsFree ") + (mode ? AppModes::rawValue(*mode) : QStringLiteral("none")));
    });
    QObject::connect(&monitor, &HotkeyMonitorService::keyDown,
                     [](AppMode mode) { Console::out(QStringLiteral("onKeyDown ") + AppModes::rawValue(mode)); });
    QObject::connect(&monitor, &HotkeyMonitorService::keyDownCancelled, [](AppMode mode) {
        Console::out(QStringLiteral("onKeyDownCancelled ") + AppModes::rawValue(mode));
    });
    QObject::connect(&monitor, &HotkeyMonitorService::currentModeChanged, [&](std::optional<AppMode> mode) {
        if (!mode) {
            Console::out(QStringLiteral("currentMode none"));
            return;
        }
        const std::uint64_t mask = ModifierKeys::mask(monitor.shortcutConfig().config(*mode).modifier);
        const double afterMs = (clock.nsecsElapsed() - pressedAt.value(mask)) / 1e6;
        Console::out(QStringLiteral("currentMode %1 (+%2 ms after the press)")
                         .arg(AppModes::rawValue(*mode))
                         .arg(afterMs, 0, 'f', 1));
    });

    int status = Console::Success;
    QObject::connect(&monitor, &HotkeyMonitorService::monitoringStateChanged,
                     [&](HotkeyMonitorService::MonitoringState state) {
                         using State = HotkeyMonitorService::MonitoringState;
                         // Bound once the monitor listens, so that no shortcut goes unheard.
                         if (portal && state == State::Tapping)
                             m_application.globalShortcuts()->start();
                         if (state != State::GivenUp && state != State::LocalFallback)
                             return;
                         // This command has no window of its own, so the local fallback sees nothing either.
                         Console::err(QStringLiteral("Global key events are unavailable on this desktop (%1): %2")
                                          .arg(route, source.untrustedReason()));
                         status = Console::Failure;
                         QCoreApplication::exit(status);
                     });

    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, [] { QCoreApplication::exit(0); });

    Console::err(QStringLiteral("Watching the keyboard (%1); hold a mode's key. Ctrl+C stops.").arg(route));
    status = app.exec();
    return status;
}
