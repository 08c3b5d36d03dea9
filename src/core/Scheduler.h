#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QObject;

// A one-shot timer handle. Destroying the handle cancels the timer.
class ScheduledTimer
{
public:
    virtual ~ScheduledTimer() = default;
    // Stops the timer; its action will not run.
    virtual void invalidate() = 0;
    // True until the timer has fired or was invalidated.
    virtual bool isValid() const = 0;
};

// Where services put deferred work: tasks on the main thread's queue and
// one-shot timers. Services take it in their constructor so that tests can
// drive time by hand.
class Scheduler
{
public:
    virtual ~Scheduler() = default;

    // Runs the task on the main thread after the current handler has returned,
    // in the order tasks were posted.
    virtual void post(std::function<void()> task) = 0;
    // Runs the action once after the delay, unless the handle is invalidated
    // or destroyed first.
    virtual std::unique_ptr<ScheduledTimer> schedule(std::chrono::milliseconds delay,
                                                     std::function<void()> action) = 0;
};

// The program's scheduler: the Qt event loop of the context object's thread.
// Work still pending when the context is destroyed never runs.
class QtScheduler final : public Scheduler
{
public:
    explicit QtScheduler(QObject *context);

    void post(std::function<void()> task) override;
    std::unique_ptr<ScheduledTimer> schedule(std::chrono::milliseconds delay,
                                             std::function<void()> action) override;

private:
    QObject *m_context;
};
