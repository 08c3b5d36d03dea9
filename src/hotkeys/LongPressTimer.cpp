#include "LongPressTimer.h"

void LongPressTimer::start(AppMode mode, std::function<void(AppMode)> fired)
{
    if (m_timer)
        m_timer->invalidate();
    m_mode = mode;
    m_timer = m_scheduler.schedule(m_delay, [this, mode, fired = std::move(fired)] {
        m_scheduler.post([mode, fired] { fired(mode); });
    });
}

void LongPressTimer::cancel(AppMode mode)
{
    if (m_mode == mode)
        stop(true);
}

void LongPressTimer::stop(bool forgetMode)
{
    m_timer.reset();
    if (forgetMode)
        m_mode.reset();
}
