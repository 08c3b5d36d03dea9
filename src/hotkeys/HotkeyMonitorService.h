#pragma once

#include "AppMode.h"
#include "HandsFreeLock.h"
#include "KeyListenerStartup.h"
#include "LongPressTimer.h"
#include "Scheduler.h"
#include "ShortcutConfig.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>

class KeyEventSource;

// Turns a long press of a mode's modifier key, anywhere on the desktop, into
// the activation of that mode. Fed with held-modifier words and key-downs by a
// KeyEventSource; everything runs on the main thread.
//
// A press signals keyDown at once (so recognition can warm up), arms the
// one 0.3 s timer, and becomes currentMode when the timer fires with the key
// still held. Releasing the key ends the mode, or cancels a press that never
// became long. Any other key, modifier or pointer button going down while a
// mode's key is held cancels that press: before the long press it is a tap;
// after it the mode is withdrawn (modeCancelled) and its take is discarded.
// The mode keys take part in everyday combinations (Alt+Tab, Ctrl+C, Alt with
// a drag), and a take the user did not mean would send the room's audio.
//
// Hands-free: where the settings allow it for a mode, a tap followed within
// 0.4 s by a second press of the same key activates the mode at once and locks
// it: the key can be let go, other keys and clicks go to their windows, and
// the take lasts until the next press of that key (or the time limit), which
// ends it as a release would, or Esc, which cancels it. Another mode's key
// does nothing meanwhile. A command's toggle of a mode key starts such a take
// too, and the next toggle ends it.
//
// Jobs of their own: starting the listener (KeyListenerStartup), the long-press
// timer (LongPressTimer), the hands-free lock's limits (HandsFreeLock).
class HotkeyMonitorService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::optional<AppMode> currentMode READ currentMode NOTIFY currentModeChanged)
    Q_PROPERTY(bool isHotkeyPressed READ isHotkeyPressed NOTIFY isHotkeyPressedChanged)

public:
    static constexpr std::chrono::milliseconds kLongPressDelay{300};
    static constexpr std::chrono::milliseconds kFirstSetupDelay = KeyListenerStartup::kFirstDelay;
    static constexpr int kCountdownSeconds = HandsFreeLock::kCountdownSeconds;
    using HandsFree = HandsFreeLock::Settings;
    using HandsFreeSettings = HandsFreeLock::SettingsSource;

    enum class MonitoringState { WaitingForFirstCheck, Retrying, Tapping, LocalFallback, GivenUp };
    Q_ENUM(MonitoringState)

    // source: global key events; localFallback: the application's own key
    // events, used when the global source cannot start. The scheduler
    // defaults to the Qt event loop. Setup starts 1.0 s after construction.
    HotkeyMonitorService(KeyEventSource &source, KeyEventSource &localFallback,
                         ShortcutConfig config, std::unique_ptr<Scheduler> scheduler = {},
                         QObject *parent = nullptr);
    ~HotkeyMonitorService() override;

    std::optional<AppMode> currentMode() const { return m_currentMode; }
    bool isHotkeyPressed() const { return m_isHotkeyPressed; }
    MonitoringState monitoringState() const { return m_monitoringState; }
    const ShortcutConfig &shortcutConfig() const { return m_shortcutConfig; }
    const std::set<AppMode> &pressedModes() const { return m_pressedModes; }
    std::optional<AppMode> longPressTimerMode() const { return m_longPress.mode(); }

    // Without settings (the default) no mode is ever locked.
    void setHandsFreeSettings(HandsFreeSettings settings) { m_handsFree.setSettings(std::move(settings)); }
    // The mode whose take is locked by a double tap, if any.
    std::optional<AppMode> handsFreeMode() const { return m_handsFree.mode(); }

    void handleFlagsChanged(std::uint64_t flags);
    void handleKeyDown(std::int32_t keyCode);
    void handleButtonDown(int button);
    // Esc cancels a locked take (a held one: any key), else escapePressed.
    void handleEscapeDown();
    // A command toggled a mode's key: starts its take locked, whatever the
    // double-tap setting, or ends the locked take of that mode.
    void handleToggled(std::uint64_t modifier);

    // Applies a new configuration and restarts the listener at once, without
    // the permission check. Pending presses are dropped; an active mode stays.
    void updateShortcutConfig(const ShortcutConfig &config);
    // Drops pending presses and withdraws an activation (the controller is
    // still busy with the last run and ignored it).
    void resetPressState();

    void setupEventTap() { m_startup.start(); }
    void stopMonitoring() { m_startup.stop(); }
    void printCurrentConfig() const { m_startup.printConfig(); }

Q_SIGNALS:
    // A modifier of a mode went down (not for BFF reply, which records nothing
    // and so has nothing to warm up). Delivered from the event loop, after the
    // key event's handler has returned.
    void keyDown(AppMode mode);
    // That press ended before it became long, or a combination key cancelled it.
    // Delivered at once for a combination, from the event loop for a release.
    void keyDownCancelled(AppMode mode);
    // The active mode was cancelled by a combination while its key was held:
    // its take is discarded. currentMode goes to none right after, and the
    // key's later release is not a release. Delivered from the event loop.
    void modeCancelled(AppMode mode);
    void currentModeChanged(std::optional<AppMode> mode);
    void isHotkeyPressedChanged(bool pressed);
    void monitoringStateChanged(HotkeyMonitorService::MonitoringState state);
    // A double tap locked the mode's take, or the lock ended (none).
    void handsFreeModeChanged(std::optional<AppMode> mode);
    // The locked take reaches its time limit in this many seconds: once a
    // second over the last kCountdownSeconds, from the event loop.
    void handsFreeSecondsLeft(int seconds);
    // Esc went down with no locked take to cancel (a run's later steps may be).
    void escapePressed();

private:
    void handleModifierPressed(AppMode mode);
    void handleModifierReleased(AppMode mode);
    void handleLongPressFired(AppMode mode);
    // Cancels every held mode whose modifier is not in keep; what names the
    // other key for the log.
    void cancelHeldModes(const QString &what, std::uint64_t keep = 0);
    void setCurrentMode(std::optional<AppMode> mode);
    void setHotkeyPressed(bool pressed);
    void setMonitoringState(MonitoringState state);
    // A press while a mode is locked: its own key ends the take, another
    // mode's key does nothing. Answers whether the press was taken.
    bool pressWhileLocked(AppMode mode);
    void lock(AppMode mode, std::chrono::seconds limit, const QString &logLine);
    // Ends the locked take as a release ends a held one, or withdraws it as a
    // cancel; logs the line with the mode's name.
    void endLockedTake(const QString &logLine, bool cancelled);

    KeyEventSource &m_source;
    KeyEventSource &m_localFallback;
    std::unique_ptr<Scheduler> m_scheduler;
    ShortcutConfig m_shortcutConfig;
    std::optional<AppMode> m_currentMode;
    bool m_isHotkeyPressed = false;
    MonitoringState m_monitoringState = MonitoringState::WaitingForFirstCheck;
    std::set<AppMode> m_pressedModes;
    std::uint64_t m_currentFlags = 0;
    HandsFreeLock m_handsFree;
    LongPressTimer m_longPress;
    KeyListenerStartup m_startup;
};
