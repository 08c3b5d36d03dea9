#pragma once

#include "AppMode.h"
#include "Scheduler.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The one long-press timer of the mode keys: armed for one mode at a time
// (a new press re-arms it), firing through the event loop, never from
// inside the timer.
class LongPressTimer
{
public:
    // The scheduler must outlive the timer.
    LongPressTimer(Scheduler &scheduler, std::chrono::milliseconds delay) : m_scheduler(scheduler), m_delay(delay) {}

    void start(AppMode mode, std::function<void(AppMode)> fired);
    // The mode it was last armed for.
    std::optional<AppMode> mode() const { return m_mode; }
    // Armed for this mode and not yet fired.
    bool isPending(AppMode mode) const { return m_mode == mode && m_timer && m_timer->isValid(); }
    // Disarms it when it is armed for this mode.
    void cancel(AppMode mode);
    // Disarms it whatever its mode, and forgets the mode too when asked.
    void stop(bool forgetMode);

private:
    Scheduler &m_scheduler;
    std::chrono::milliseconds m_delay;
    std::unique_ptr<ScheduledTimer> m_timer;
    std::optional<AppMode> m_mode;
};
