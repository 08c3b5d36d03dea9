#include "HotkeyMonitorService.h"

#include "KeyEventSource.h"
#include "Log.h"
#include "Scheduler.h"

#include <QStringList>

#include <algorithm>

namespace {
QString name(AppMode mode)
{
    return AppModes::messageName(mode);
}
} // namespace

HotkeyMonitorService::HotkeyMonitorService(KeyEventSource &source, KeyEventSource &localFallback, ShortcutConfig config,
                                           std::unique_ptr<Scheduler> scheduler, QObject *parent)
    : QObject(parent)
    , m_source(source)
    , m_localFallback(localFallback)
    , m_scheduler(scheduler ? std::move(scheduler) : std::make_unique<QtScheduler>(this))
    , m_shortcutConfig(config)
    , m_handsFree(*m_scheduler)
    , m_longPress(*m_scheduler, kLongPressDelay)
    , m_startup(m_source, m_localFallback, *m_scheduler, m_shortcutConfig, [this](KeyListenerStartup::Outcome outcome) {
        // The outcomes are the states after the first check, in order.
        static_assert(int(KeyListenerStartup::Outcome::GivenUp) + 1 == int(MonitoringState::GivenUp));
        setMonitoringState(MonitoringState(int(outcome) + 1));
    })
{
    for (KeyEventSource *events : {&m_source, &m_localFallback}) {
        connect(events, &KeyEventSource::flagsChanged, this, &HotkeyMonitorService::handleFlagsChanged);
        connect(events, &KeyEventSource::keyDown, this, &HotkeyMonitorService::handleKeyDown);
        connect(events, &KeyEventSource::buttonDown, this, &HotkeyMonitorService::handleButtonDown);
        connect(events, &KeyEventSource::escapeDown, this, &HotkeyMonitorService::handleEscapeDown);
        connect(events, &KeyEventSource::toggled, this, &HotkeyMonitorService::handleToggled);
    }
}

HotkeyMonitorService::~HotkeyMonitorService()
{
    stopMonitoring();
}

void HotkeyMonitorService::handleFlagsChanged(std::uint64_t flags)
{
    const std::uint64_t old = m_currentFlags;
    m_currentFlags = flags;
    // Another modifier going down while a mode's key is held is a
    // combination (Alt+Shift, Ctrl+Alt+T): it cancels that mode's press.
    if (const std::uint64_t newlyDown = flags & ~old; newlyDown && !m_pressedModes.empty()) {
        QStringList keys;
        for (ModifierKey key : allModifierKeys) {
            if (newlyDown & ModifierKeys::mask(key))
                keys << ModifierKeys::label(key);
        }
        // Modes whose own key went down in this word are presses, not victims;
        // modes whose key went up in it are releases.
        cancelHeldModes(QStringLiteral("修饰键: ") + keys.join(QLatin1Char('+')), newlyDown | ~flags);
    }
    for (AppMode mode : allAppModes) {
        const HotkeyConfig &hotkey = m_shortcutConfig.config(mode);
        if (!hotkey.enabled)
            continue;
        const std::uint64_t mask = ModifierKeys::mask(hotkey.modifier);
        const bool isDown = flags & mask;
        const bool wasDown = old & mask;
        if (isDown && !wasDown && !m_pressedModes.contains(mode)) {
            m_pressedModes.insert(mode);
            handleModifierPressed(mode);
        } else if (!isDown && wasDown && m_pressedModes.contains(mode)) {
            m_pressedModes.erase(mode);
            handleModifierReleased(mode);
        }
    }
}

void HotkeyMonitorService::handleModifierPressed(AppMode mode)
{
    Log::line(QStringLiteral("⬇️ [%1] 修饰键按下：%2")
                  .arg(name(mode), ModifierKeys::label(m_shortcutConfig.config(mode).modifier)));
    if (pressWhileLocked(mode))
        return;
    // The settings are read only for a second press inside a tap's window.
    const bool inTapWindow = m_handsFree.inTapWindow(mode) && !m_currentMode;
    const HandsFree settings = inTapWindow ? m_handsFree.settings(mode) : HandsFree{};
    m_handsFree.closeTapWindow();
    // BFF reply records nothing, so there is nothing to warm up.
    if (mode != AppMode::BffReply)
        m_scheduler->post([this, mode] { Q_EMIT keyDown(mode); });
    if (settings.enabled) {
        lock(mode, settings.limit, QStringLiteral("🔒 双击锁定，松开按键后继续录音："));
        return;
    }
    m_longPress.start(mode, [this](AppMode fired) { handleLongPressFired(fired); });
}

bool HotkeyMonitorService::pressWhileLocked(AppMode mode)
{
    const std::optional<AppMode> locked = m_handsFree.mode();
    if (!locked)
        return false;
    // The press is spent here: its release is no release.
    m_pressedModes.erase(mode);
    if (mode == *locked)
        endLockedTake(QStringLiteral("🔓 结束免按住录音（再次按键），关闭模式："), false);
    else
        Log::line(QStringLiteral("🔒 %1 正在免按住录音，忽略 %2 的按键").arg(name(*locked), name(mode)));
    return true;
}

void HotkeyMonitorService::lock(AppMode mode, std::chrono::seconds limit, const QString &logLine)
{
    Log::line(logLine + name(mode));
    // Activated at once, and its release is no release.
    m_pressedModes.erase(mode);
    m_handsFree.lock(
        mode, limit, [this] { endLockedTake(QStringLiteral("🔓 结束免按住录音（达到时长上限），关闭模式："), false); },
        [this](int seconds) { Q_EMIT handsFreeSecondsLeft(seconds); });
    m_scheduler->post([this, mode] {
        if (m_handsFree.mode() != mode)
            return;
        setCurrentMode(mode);
        setHotkeyPressed(true);
        Q_EMIT handsFreeModeChanged(mode);
    });
}

void HotkeyMonitorService::endLockedTake(const QString &logLine, bool cancelled)
{
    const AppMode mode = *m_handsFree.unlock();
    Log::line(logLine + name(mode));
    // Ended as a release ends a held take, or withdrawn as a cancel: whoever
    // runs the take drops it.
    m_scheduler->post([this, mode, cancelled] {
        if (m_currentMode == mode) {
            if (cancelled)
                Q_EMIT modeCancelled(mode);
            setCurrentMode(std::nullopt);
            setHotkeyPressed(false);
        }
        Q_EMIT handsFreeModeChanged(std::nullopt);
    });
}

void HotkeyMonitorService::handleLongPressFired(AppMode mode)
{
    if (!m_pressedModes.contains(mode)) {
        Log::line(QStringLiteral("❌ 按键已提前释放，取消激活：") + name(mode));
        return;
    }
    Log::line(QStringLiteral("✅ 长按检测成功，激活模式：") + name(mode));
    setCurrentMode(mode);
    setHotkeyPressed(true);
}

void HotkeyMonitorService::handleModifierReleased(AppMode mode)
{
    Log::line(QStringLiteral("⬆️ [%1] 修饰键释放").arg(name(mode)));
    // Decided now, before disarming: was the press still waiting for its timer?
    const bool wasPending = m_longPress.isPending(mode);
    m_longPress.cancel(mode);
    // A tap opens the window for the second press of a double tap.
    if (wasPending && m_handsFree.settings(mode).enabled)
        m_handsFree.openTapWindow(mode);
    m_scheduler->post([this, mode, wasPending] {
        if (m_currentMode == mode) {
            Log::line(QStringLiteral("🔚 释放快捷键，关闭模式：") + name(mode));
            setCurrentMode(std::nullopt);
            setHotkeyPressed(false);
        } else if (wasPending) {
            Log::line(QStringLiteral("⚡️ 短按取消，通知取消预热：") + name(mode));
            Q_EMIT keyDownCancelled(mode);
        }
    });
}

void HotkeyMonitorService::handleKeyDown(std::int32_t keyCode)
{
    // Typing between the taps makes them two taps, not a double tap.
    m_handsFree.closeTapWindow();
    cancelHeldModes(QStringLiteral("keyCode: %1").arg(keyCode));
}

void HotkeyMonitorService::handleButtonDown(int button)
{
    m_handsFree.closeTapWindow();
    cancelHeldModes(QStringLiteral("鼠标按键: %1").arg(button));
}

void HotkeyMonitorService::handleEscapeDown()
{
    if (m_handsFree.mode())
        endLockedTake(QStringLiteral("🚫 Esc 取消免按住录音，丢弃："), true);
    else
        Q_EMIT escapePressed();
}

void HotkeyMonitorService::handleToggled(std::uint64_t modifier)
{
    std::optional<AppMode> toggled;
    for (AppMode mode : allAppModes) {
        const HotkeyConfig &hotkey = m_shortcutConfig.config(mode);
        if (hotkey.enabled && ModifierKeys::mask(hotkey.modifier) == modifier && mode != AppMode::BffReply)
            toggled = mode;
    }
    if (!toggled || pressWhileLocked(*toggled))
        return;
    if (m_currentMode || !m_pressedModes.empty()) {
        Log::line(QStringLiteral("⚠️ 已有按住的模式，忽略切换：") + name(*toggled));
        return;
    }
    m_handsFree.closeTapWindow();
    const AppMode mode = *toggled;
    m_scheduler->post([this, mode] { Q_EMIT keyDown(mode); });
    lock(mode, m_handsFree.settings(mode).limit, QStringLiteral("🔒 命令切换，开始免按住录音："));
}

void HotkeyMonitorService::cancelHeldModes(const QString &what, std::uint64_t keep)
{
    const std::set<AppMode> held = m_pressedModes;
    for (AppMode mode : held) {
        if (ModifierKeys::mask(m_shortcutConfig.config(mode).modifier) & keep)
            continue;
        m_pressedModes.erase(mode);
        if (m_currentMode != mode) {
            // Still pending (or its activation is on its way and will find it
            // gone): a tap, reported at once so the warm-up stops now.
            Log::line(QStringLiteral("⚡️ %1 检测到组合键（%2），取消长按计时器").arg(name(mode), what));
            m_longPress.cancel(mode);
            Q_EMIT keyDownCancelled(mode);
            continue;
        }
        Log::line(QStringLiteral("⚡️ %1 检测到组合键（%2），取消已激活的模式").arg(name(mode), what));
        // Withdrawn like a release, from the event loop, but as a cancel:
        // whoever runs the take drops it instead of finishing it.
        m_scheduler->post([this, mode] {
            if (m_currentMode != mode)
                return;
            Q_EMIT modeCancelled(mode);
            setCurrentMode(std::nullopt);
            setHotkeyPressed(false);
        });
    }
}

void HotkeyMonitorService::updateShortcutConfig(const ShortcutConfig &config)
{
    m_shortcutConfig = config;
    m_longPress.stop(true);
    m_pressedModes.clear();
    m_currentFlags = 0;
    stopMonitoring();
    setupEventTap();
}

void HotkeyMonitorService::resetPressState()
{
    m_longPress.stop(false);
    m_pressedModes.clear();
    m_handsFree.closeTapWindow();
    if (m_handsFree.unlock())
        m_scheduler->post([this] { Q_EMIT handsFreeModeChanged(std::nullopt); });
    // The dropped press's release will not be seen, so its activation is
    // withdrawn too: a mode left published would swallow the next activation
    // of the same key.
    m_scheduler->post([this] {
        setCurrentMode(std::nullopt);
        setHotkeyPressed(false);
    });
}

void HotkeyMonitorService::setCurrentMode(std::optional<AppMode> mode)
{
    if (m_currentMode == mode)
        return;
    m_currentMode = mode;
    Q_EMIT currentModeChanged(mode);
}

void HotkeyMonitorService::setHotkeyPressed(bool pressed)
{
    if (m_isHotkeyPressed == pressed)
        return;
    m_isHotkeyPressed = pressed;
    Q_EMIT isHotkeyPressedChanged(pressed);
}

void HotkeyMonitorService::setMonitoringState(MonitoringState state)
{
    if (m_monitoringState == state)
        return;
    m_monitoringState = state;
    Q_EMIT monitoringStateChanged(state);
}
