#pragma once

#include "AppMode.h"
#include "Scheduler.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The hands-free side of the mode keys: the window after a tap in which a
// second press of the same key locks its mode, the mode locked, its time
// limit and the countdown of its last seconds. Timers report through the
// event loop, never from inside the firing timer.
class HandsFreeLock
{
public:
    static constexpr std::chrono::milliseconds kDoubleTapWindow{400};
    // A locked take counts down its last seconds on the ball.
    static constexpr int kCountdownSeconds = 10;

    // Whether a double tap locks a mode, and how long a locked take may last.
    struct Settings
    {
        bool enabled = false;
        std::chrono::seconds limit{300};
    };
    // Asked at each tap and double tap, so that a changed setting counts from
    // the next press.
    using SettingsSource = std::function<Settings(AppMode)>;

    // The scheduler must outlive the lock.
    explicit HandsFreeLock(Scheduler &scheduler) : m_scheduler(scheduler) {}

    // Without settings (the default) no mode is ever locked.
    void setSettings(SettingsSource settings) { m_settings = std::move(settings); }
    Settings settings(AppMode mode) const;

    void openTapWindow(AppMode mode);
    // A press of this mode's key now is the second of a double tap.
    bool inTapWindow(AppMode mode) const;
    void closeTapWindow();

    std::optional<AppMode> mode() const { return m_mode; }
    // Locks the mode: limitReached when the limit is up, secondsLeft once a
    // second over the last kCountdownSeconds.
    void lock(AppMode mode, std::chrono::seconds limit, std::function<void()> limitReached,
              std::function<void(int)> secondsLeft);
    // Forgets the lock and its timers; answers the mode that was locked.
    std::optional<AppMode> unlock();

private:
    void countDown(int secondsLeft, std::chrono::milliseconds delay);

    Scheduler &m_scheduler;
    SettingsSource m_settings;
    // Open for kDoubleTapWindow after a tap of m_tapMode.
    std::unique_ptr<ScheduledTimer> m_tapWindow;
    std::optional<AppMode> m_tapMode;
    std::optional<AppMode> m_mode;
    std::unique_ptr<ScheduledTimer> m_limit;
    std::unique_ptr<ScheduledTimer> m_countdown;
    std::function<void(int)> m_secondsLeft;
};
