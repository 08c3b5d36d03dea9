#include "RunCommand.h"

#include "AppDelegate.h"
#include "AppViewModel.h"
#include "Application.h"
#include "Console.h"
#include "DBusService.h"
#include "HistoryRetry.h"
#include "InterruptWatcher.h"
#include "Log.h"

#include <QCoreApplication>
#include <QGuiApplication>

RunCommand::RunCommand(Application &application) : m_application(application) {}

int RunCommand::run(QCoreApplication &app, const QStringList &args)
{
    if (!args.isEmpty()) {
        Console::err(QStringLiteral("usage: quillwren [run]  (runs until `quillwren quit`, Ctrl+C or SIGTERM)"));
        return Console::UsageError;
    }
    Log::useStandardError();
    if (m_application.backend() == PlatformFactory::Backend::Null) {
        // The windows, the clipboard and the paste go through X: the X server,
        // or XWayland in a Wayland session.
        Console::err(m_application.session().isWayland()
                         ? QStringLiteral("quillwren: this Wayland session has no XWayland ($DISPLAY is not set); "
                                          "Quillwren's windows need it: enable XWayland in the compositor (sway: "
                                          "`xwayland enable`)")
                         : QStringLiteral("quillwren: no graphical session: Quillwren needs an X11 or Wayland "
                                          "session ($DISPLAY)"));
        return Console::Failure;
    }

    // The name is claimed before anything else starts, so that a second
    // instance leaves without touching the keys or the microphone.
    DBusService dbus;
    switch (dbus.registerInstance()) {
    case DBusService::Registration::AlreadyRunning:
        Console::err(QStringLiteral("Quillwren is already running in this session."));
        return Console::Success;
    case DBusService::Registration::NoBus:
        Log::line(QStringLiteral("⚠️ [Quillwren] 没有 D-Bus 会话总线，`quillwren status` 与 `quillwren quit` 不可用：")
                  + dbus.busError());
        break;
    case DBusService::Registration::Registered:
        break;
    }
    QObject::connect(&dbus, &DBusService::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &app, &QCoreApplication::quit);

    m_application.useGlobalShortcuts();
    // The windows come and go; the application stays until asked to quit.
    if (auto *gui = qobject_cast<QGuiApplication *>(&app))
        gui->setQuitOnLastWindowClosed(false);
    AppDelegate delegate({[this]() -> AppViewModel & { return m_application.controller(); },
                          [this]() -> FloatingBallWindowManager & { return m_application.indicator(); },
                          [this] { return m_application.settingsServices(); },
                          [this]() -> DesktopNotifier & { return m_application.notifier(); },
                          [this] { return m_application.accessibilityProblem(); },
                          [this] { return capabilityLines(m_application.capabilities()); },
                          [this] { return m_application.explainRefusedKey(); }});
    delegate.applicationDidFinishLaunching();
    m_application.logCapabilities();
    m_application.prepareDesktop();
    m_application.syncHotWords();
    dbus.setController(&m_application.controller());
    dbus.setKeyBindings(&m_application.keyBindings());
    dbus.setCapabilities([this] { return capabilityLines(m_application.capabilities()); });
    dbus.setRetry([this](int n) { return m_application.historyRetry().retry(n); });
    QObject::connect(&dbus, &DBusService::settingsRequested, delegate.statusBarController(),
                     &StatusBarController::showSettings);
    const int status = app.exec();
    dbus.setController(nullptr);
    dbus.setKeyBindings(nullptr);
    dbus.setCapabilities({});
    dbus.setRetry({});
    return status;
}
