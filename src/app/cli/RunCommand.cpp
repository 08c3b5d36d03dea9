#include "RunCommand.h"

#include "AppDelegate.h"
#include "AppViewModel.h"
#include "Application.h"
#include "Console.h"
#include "DBusService.h"
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
        Console::err(QStringLiteral("quillwren: no supported desktop: the mode keys need an X11 session ($DISPLAY)"));
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

    // The windows come and go; the application stays until asked to quit.
    if (auto *gui = qobject_cast<QGuiApplication *>(&app))
        gui->setQuitOnLastWindowClosed(false);
    AppDelegate delegate({[this]() -> AppViewModel & { return m_application.controller(); },
                          [this]() -> FloatingBallWindowManager & { return m_application.indicator(); },
                          [this] { return m_application.settingsServices(); },
                          [this]() -> DesktopNotifier & { return m_application.notifier(); },
                          [this] { return m_application.accessibilityProblem(); }});
    delegate.applicationDidFinishLaunching();
    dbus.setController(&m_application.controller());
    QObject::connect(&dbus, &DBusService::settingsRequested, delegate.statusBarController(),
                     &StatusBarController::showSettings);
    const int status = app.exec();
    dbus.setController(nullptr);
    return status;
}
