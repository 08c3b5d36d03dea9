#include "DesktopParts.h"

#include "AudioInputWatcher.h"
#include "CapabilityTexts.h"
#include "DesktopBackend.h"
#include "DesktopNotifier.h"
#include "GlobalShortcutsRoute.h"
#include "KeyEventSource.h"
#include "Log.h"
#include "MediaPlayers.h"
#include "MergedKeyEventSource.h"
#include "ModeKeyBindings.h"

#include <QApplication>
#include <QSettings>
#include <QSystemTrayIcon>

namespace {
const QString kPortalTokenKey = QStringLiteral("remoteDesktopRestoreToken");

// A way of reading the mode keys, as the settings name it.
QString keyRouteLabel(PlatformFactory::KeyRoute route)
{
    switch (route) {
    case PlatformFactory::KeyRoute::X11:
        return QCoreApplication::translate("KeyRoutes", "X11 键盘事件（XInput2）");
    case PlatformFactory::KeyRoute::Evdev:
        return QCoreApplication::translate("KeyRoutes", "键盘设备（evdev）");
    case PlatformFactory::KeyRoute::Portal:
        return QCoreApplication::translate("KeyRoutes", "桌面全局快捷键（按键在桌面设置中选择）");
    case PlatformFactory::KeyRoute::BindingsOnly:
        break;
    }
    return QCoreApplication::translate("KeyRoutes", "桌面按键绑定（quillwren hold/release 命令）");
}
} // namespace

DesktopParts::DesktopParts(std::function<QByteArray()> keyRouteSetting, std::function<ShortcutConfig()> shortcutConfig)
    : m_keyRouteSetting(std::move(keyRouteSetting))
    , m_shortcutConfig(std::move(shortcutConfig))
    , m_backend(PlatformFactory::detectBackend())
    , m_session(SessionInfo::fromEnvironment())
{
}

DesktopParts::~DesktopParts() = default;

KeyEventSource &DesktopParts::keyEventSource()
{
    if (!m_keySource)
        m_keySource = PlatformFactory::createKeyEventSource(m_session, m_keyRouteSetting());
    return *m_keySource->source;
}

PlatformFactory::KeyRoute DesktopParts::keyRoute()
{
    keyEventSource();
    return m_keySource->route;
}

ModeKeyBindings &DesktopParts::keyBindings()
{
    if (!m_keyBindings) {
        m_keyBindings = std::make_unique<ModeKeyBindings>(m_shortcutConfig);
    }
    return *m_keyBindings;
}

void DesktopParts::useGlobalShortcuts()
{
    if (!m_globalShortcuts && keyRoute() == PlatformFactory::KeyRoute::Portal) {
        m_globalShortcuts = std::make_unique<GlobalShortcutsRoute>(QDBusConnection::sessionBus(), keyBindings(),
                                                                   m_session, m_keySource->fallback);
    }
}

KeyEventSource &DesktopParts::modeKeyEvents()
{
    if (!m_modeKeyEvents) {
        m_modeKeyEvents =
            std::make_unique<MergedKeyEventSource>(keyEventSource(), localKeyEventSource(), keyBindings());
    }
    return *m_modeKeyEvents;
}

KeyEventSource &DesktopParts::localKeyEventSource()
{
    if (!m_localKeyEventSource)
        m_localKeyEventSource = PlatformFactory::createLocalKeyEventSource();
    return *m_localKeyEventSource;
}

DesktopBackend &DesktopParts::desktop()
{
    if (!m_desktop) {
        // The portal's permission is remembered beside the settings.
        PortalRemoteDesktop::TokenStore tokens{
            [] { return QSettings(QStringLiteral("orvo"), QStringLiteral("Quillwren")).value(kPortalTokenKey).toString(); },
            [](const QString &token) {
                QSettings(QStringLiteral("orvo"), QStringLiteral("Quillwren")).setValue(kPortalTokenKey, token);
            }};
        m_desktop = PlatformFactory::createDesktopBackend(m_backend, m_session, std::move(tokens));
    }
    return *m_desktop;
}

AudioInputWatcher &DesktopParts::audioInputWatcher()
{
    if (!m_audioInputWatcher)
        m_audioInputWatcher = PlatformFactory::createAudioInputWatcher();
    return *m_audioInputWatcher;
}

DesktopNotifier &DesktopParts::notifier()
{
    if (!m_notifier)
        m_notifier = PlatformFactory::createDesktopNotifier();
    return *m_notifier;
}

MediaPlayers &DesktopParts::mediaPlayers()
{
    if (!m_mediaPlayers)
        m_mediaPlayers = PlatformFactory::createMediaPlayers();
    return *m_mediaPlayers;
}

QString DesktopParts::accessibilityProblem()
{
    QStringList missing;
    for (const CapabilityStatus &status : capabilities()) {
        const bool essential =
            status.capability == CapabilityTexts::kModeKeys || status.capability == CapabilityTexts::kPaste;
        if (essential && !status.works)
            missing << status.capability + QStringLiteral(": ") + status.fix;
    }
    return missing.join(QStringLiteral("；"));
}

CapabilityReport DesktopParts::capabilities()
{
    keyEventSource();
    CapabilityStatus keys = globalShortcuts() ? globalShortcuts()->status() : m_keySource->status;
    // Where only the desktop's bindings serve, a binding that arrived proves them.
    const bool bindingsOnly = m_keySource->route == PlatformFactory::KeyRoute::BindingsOnly
                              || (globalShortcuts() && !keys.works && !globalShortcuts()->portal().problem().isEmpty());
    if (bindingsOnly && m_keyBindings && m_keyBindings->lastUsed().isValid()) {
        keys.works = true;
        keys.backend = QStringLiteral("the desktop's key bindings (last used %1)")
                           .arg(m_keyBindings->lastUsed().toString(QStringLiteral("HH:mm:ss")));
        keys.fix.clear();
    }
    const bool trayShown = qobject_cast<QApplication *>(QCoreApplication::instance())
                           && QSystemTrayIcon::isSystemTrayAvailable();
    return CapabilityReport{keys} + PlatformFactory::probeDesktop(m_session, m_backend, desktop(), trayShown);
}

void DesktopParts::logCapabilities()
{
    Log::line(QStringLiteral("🖥️ [Platform] 会话：") + m_session.describe());
    for (const CapabilityStatus &status : capabilities())
        Log::line((status.works ? QStringLiteral("✅ [Platform] ") : QStringLiteral("⚠️ [Platform] ")) + status.line());
}

KeyRouteChoices DesktopParts::keyRouteChoices()
{
    KeyRouteChoices routes;
    keyEventSource();
    for (PlatformFactory::KeyRoute route : std::as_const(m_keySource->working))
        routes.working << qMakePair(PlatformFactory::keyRouteKey(route), keyRouteLabel(route));
    routes.describe = [this] {
        QStringList lines{
            QCoreApplication::translate("KeyRoutes", "正在使用：%1").arg(keyRouteLabel(m_keySource->route))};
        if (m_globalShortcuts)
            lines += m_globalShortcuts->describe();
        return lines;
    };
    routes.events = m_globalShortcuts.get();
    return routes;
}
