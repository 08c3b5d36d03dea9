#include "ManualScheduler.h"

#include <algorithm>

class ManualScheduler::Handle final : public ScheduledTimer
{
public:
    explicit Handle(std::shared_ptr<Timer> timer) : m_timer(std::move(timer)) {}
    ~Handle() override { invalidate(); }
    void invalidate() override { m_timer->valid = false; }
    bool isValid() const override { return m_timer->valid; }

private:
    std::shared_ptr<Timer> m_timer;
};

void ManualScheduler::post(std::function<void()> task)
{
    m_tasks.push_back(std::move(task));
}

std::unique_ptr<ScheduledTimer> ManualScheduler::schedule(std::chrono::milliseconds delay,
                                                          std::function<void()> action)
{
    auto timer = std::make_shared<Timer>(Timer{m_now + delay, std::move(action)});
    m_timers.push_back(timer);
    return std::make_unique<Handle>(timer);
}

void ManualScheduler::runTasks()
{
    while (!m_tasks.empty()) {
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        task();
    }
}

void ManualScheduler::elapse(std::chrono::milliseconds duration)
{
    advance(duration, true);
}

void ManualScheduler::fireTimersOnly(std::chrono::milliseconds duration)
{
    advance(duration, false);
}

void ManualScheduler::advance(std::chrono::milliseconds duration, bool runPostedTasks)
{
    const auto end = m_now + duration;
    if (runPostedTasks)
        runTasks();
    for (;;) {
        std::erase_if(m_timers, [](const auto &timer) { return !timer->valid; });
        auto next = std::min_element(m_timers.begin(), m_timers.end(),
                                     [](const auto &a, const auto &b) { return a->deadline < b->deadline; });
        if (next == m_timers.end() || (*next)->deadline > end)
            break;
        auto timer = *next;
        m_now = timer->deadline;
        timer->valid = false; // a fired timer is no longer valid
        timer->action();
        if (runPostedTasks)
            runTasks();
    }
    m_now = end;
}

std::size_t ManualScheduler::liveTimers() const
{
    return std::count_if(m_timers.begin(), m_timers.end(), [](const auto &timer) { return timer->valid; });
}
