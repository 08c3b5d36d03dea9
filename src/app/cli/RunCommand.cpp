#include "RunCommand.h"

#include "AppViewModel.h"
#include "Application.h"
#include "Console.h"
#include "DBusService.h"
#include "InterruptWatcher.h"
#include "Log.h"
#include "SettingsOpener.h"

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

    dbus.setController(&m_application.controller());
    m_application.indicator();
    // The windows come and go; the application stays until asked to quit.
    if (auto *gui = qobject_cast<QGuiApplication *>(&app))
        gui->setQuitOnLastWindowClosed(false);
    SettingsOpener settings([this] { return m_application.settingsServices(); });
    QObject::connect(&dbus, &DBusService::settingsRequested, &settings, &SettingsOpener::showSettings);
    Log::line(QStringLiteral("✅ [Quillwren] 已启动：长按 Option 说话输入，Control 语音问答，Command 智能回复"));
    const int status = app.exec();
    dbus.setController(nullptr);
    Log::line(QStringLiteral("👋 [Quillwren] 已退出"));
    return status;
}
