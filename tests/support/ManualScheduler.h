#pragma once

#include "Scheduler.h"

#include <deque>
#include <memory>
#include <vector>

// A scheduler whose clock moves only when a test says so. Posted tasks wait
// until runTasks() or elapse(); timers fire in deadline order as time passes.
class ManualScheduler final : public Scheduler
{
public:
    void post(std::function<void()> task) override;
    std::unique_ptr<ScheduledTimer> schedule(std::chrono::milliseconds delay,
                                             std::function<void()> action) override;

    // Runs posted tasks, including those they post, until none is left.
    void runTasks();
    // Lets time pass: each timer due fires at its deadline, and the tasks
    // posted by then run, as the event loop would.
    void elapse(std::chrono::milliseconds duration);
    // Fires the timers due within the duration without running any task: the
    // window between a timer's firing and the task it posted.
    void fireTimersOnly(std::chrono::milliseconds duration);

    std::chrono::milliseconds now() const { return m_now; }
    std::size_t pendingTasks() const { return m_tasks.size(); }
    std::size_t liveTimers() const;

private:
    struct Timer
    {
        std::chrono::milliseconds deadline;
        std::function<void()> action;
        bool valid = true;
    };
    class Handle;

    void advance(std::chrono::milliseconds duration, bool runPostedTasks);

    std::chrono::milliseconds m_now{0};
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::shared_ptr<Timer>> m_timers;
};
