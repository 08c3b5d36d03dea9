#include "HandsFreeLock.h"

HandsFreeLock::Settings HandsFreeLock::settings(AppMode mode) const
{
    // The reply records nothing: there is no take to keep going.
    if (mode == AppMode::BffReply || !m_settings)
        return {};
    return m_settings(mode);
}

void HandsFreeLock::openTapWindow(AppMode mode)
{
    m_tapMode = mode;
    m_tapWindow = m_scheduler.schedule(kDoubleTapWindow, [] {});
}

bool HandsFreeLock::inTapWindow(AppMode mode) const
{
    return m_tapMode == mode && m_tapWindow && m_tapWindow->isValid();
}

void HandsFreeLock::closeTapWindow()
{
    m_tapWindow.reset();
    m_tapMode.reset();
}

void HandsFreeLock::lock(AppMode mode, std::chrono::seconds limit, std::function<void()> limitReached,
                         std::function<void(int)> secondsLeft)
{
    m_mode = mode;
    m_secondsLeft = std::move(secondsLeft);
    m_limit = m_scheduler.schedule(limit, [this, limitReached = std::move(limitReached)] {
        m_scheduler.post([this, limitReached] {
            if (m_mode)
                limitReached();
        });
    });
    const int counted = int(std::min<std::chrono::seconds::rep>(limit.count(), kCountdownSeconds));
    countDown(counted, limit - std::chrono::seconds(counted));
}

void HandsFreeLock::countDown(int secondsLeft, std::chrono::milliseconds delay)
{
    m_countdown = m_scheduler.schedule(delay, [this, secondsLeft] {
        m_scheduler.post([this, secondsLeft] {
            if (!m_mode)
                return;
            m_secondsLeft(secondsLeft);
            if (secondsLeft > 1)
                countDown(secondsLeft - 1, std::chrono::seconds(1));
        });
    });
}

std::optional<AppMode> HandsFreeLock::unlock()
{
    const std::optional<AppMode> mode = m_mode;
    m_mode.reset();
    m_limit.reset();
    m_countdown.reset();
    return mode;
}
