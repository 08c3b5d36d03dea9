#include "Delay.h"

#include "Scheduler.h"

#include <QTimer>

#include <QCoroTimer>

#include <coroutine>
#include <memory>

namespace {
struct ScheduledDelay
{
    Scheduler &scheduler;
    std::chrono::milliseconds duration;
    std::unique_ptr<ScheduledTimer> timer;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        // Resumed from a posted task, not from inside the timer's own handler.
        timer = scheduler.schedule(duration, [this, handle] { scheduler.post([handle] { handle.resume(); }); });
    }
    void await_resume() const noexcept {}
};
} // namespace

QCoro::Task<> delay(std::chrono::milliseconds duration)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    co_await timer;
}

QCoro::Task<> delay(Scheduler &scheduler, std::chrono::milliseconds duration)
{
    co_await ScheduledDelay{scheduler, duration, {}};
}
