#include "GlobalShortcutsRoute.h"

#include "CapabilityTexts.h"
#include "Log.h"
#include "ModeKeyBindings.h"
#include "UserText.h"

GlobalShortcutsRoute::GlobalShortcutsRoute(QDBusConnection bus, ModeKeyBindings &bindings, SessionInfo session,
                                           CapabilityStatus fallback, QObject *parent)
    : QObject(parent)
    , m_portal(std::move(bus), shortcuts())
    , m_bindings(bindings)
    , m_session(std::move(session))
    , m_fallback(std::move(fallback))
{
    connect(&m_portal, &PortalGlobalShortcuts::activated, this, [this](const QString &id) { press(id, true); });
    connect(&m_portal, &PortalGlobalShortcuts::deactivated, this, [this](const QString &id) { press(id, false); });
    connect(&m_portal, &PortalGlobalShortcuts::triggersChanged, this, &GlobalShortcutsRoute::changed);
    connect(&m_portal, &PortalGlobalShortcuts::stateChanged, this, &GlobalShortcutsRoute::changed);
}

QList<PortalGlobalShortcuts::Shortcut> GlobalShortcutsRoute::shortcuts()
{
    // Super+Alt with a letter: hardly any desktop or application uses these,
    // and none is a text-editing chord. The desktop may offer others.
    return {{ModeKeyBindings::nameOf(AppMode::VoiceInput),
             QCoreApplication::translate("GlobalShortcutsRoute", "语音输入法：按住说话，松开后粘贴文字"),
             QStringLiteral("LOGO+ALT+v")},
            {ModeKeyBindings::nameOf(AppMode::ChatAssistant),
             QCoreApplication::translate("GlobalShortcutsRoute", "聊天助手：按住提问，松开后听回答"),
             QStringLiteral("LOGO+ALT+c")},
            {ModeKeyBindings::nameOf(AppMode::BffReply),
             QCoreApplication::translate("GlobalShortcutsRoute", "BFF 智能回复：按住后松开，起草聊天回复"),
             QStringLiteral("LOGO+ALT+r")}};
}

QCoro::Task<bool> GlobalShortcutsRoute::start()
{
    const bool bound = co_await m_portal.bind();
    if (!bound)
        Log::line(QStringLiteral("⚠️ [快捷键] 改用桌面的按键绑定（quillwren hold/release）：") + m_portal.problem());
    co_return bound;
}

void GlobalShortcutsRoute::press(const QString &id, bool down)
{
    const std::optional<AppMode> mode = ModeKeyBindings::modeFromName(id);
    if (!mode)
        return;
    const QString refusal = down ? m_bindings.hold(*mode, ModeKeyBindings::Via::Shortcut)
                                 : m_bindings.release(*mode, ModeKeyBindings::Via::Shortcut);
    if (!refusal.isEmpty())
        Log::line(QStringLiteral("ℹ️ [快捷键] 全局快捷键 %1 未生效：%2").arg(id, refusal));
}

CapabilityStatus GlobalShortcutsRoute::status() const
{
    switch (m_portal.state()) {
    case PortalGlobalShortcuts::State::Bound: {
        QList<QPair<QString, QString>> triggers;
        for (const PortalGlobalShortcuts::Shortcut &shortcut : shortcuts())
            triggers << qMakePair(shortcut.id, m_portal.triggers().value(shortcut.id));
        CapabilityStatus status = CapabilityTexts::boundPortalKeys(triggers);
        if (!status.works)
            status.fix += QStringLiteral(": ") + CapabilityTexts::shortcutSettingsAdvice(m_session);
        return status;
    }
    case PortalGlobalShortcuts::State::NotStarted:
    case PortalGlobalShortcuts::State::Binding: {
        // Not a fault yet: the desktop may be asking the user for the keys.
        CapabilityStatus status = CapabilityTexts::portalKeys(m_portal.version());
        status.backend += QStringLiteral(", being bound");
        status.works = true;
        status.fix.clear();
        return status;
    }
    case PortalGlobalShortcuts::State::Refused:
    case PortalGlobalShortcuts::State::Cancelled:
    case PortalGlobalShortcuts::State::Missing:
    case PortalGlobalShortcuts::State::Failed:
    case PortalGlobalShortcuts::State::Lost:
        break;
    }
    CapabilityStatus status = m_fallback;
    status.fix = QStringLiteral("the global shortcuts are not bound (%1); ").arg(m_portal.problem()) + status.fix;
    return status;
}

QStringList GlobalShortcutsRoute::describe() const
{
    if (m_portal.state() != PortalGlobalShortcuts::State::Bound)
        return {QCoreApplication::translate("KeyRoutes", "桌面全局快捷键未绑定：%1").arg(m_portal.problem())};
    QStringList lines;
    for (AppMode mode : allAppModes) {
        const QString trigger = m_portal.triggers().value(ModeKeyBindings::nameOf(mode));
        lines << QCoreApplication::translate("KeyRoutes", "%1：%2")
                     .arg(UserText::shown(AppModes::messageName(mode)),
                          trigger.isEmpty() ? QCoreApplication::translate("KeyRoutes", "未设置按键") : trigger);
    }
    return lines;
}
