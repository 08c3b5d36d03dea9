#pragma once

#include <QCoroTask>

#include <chrono>

class Scheduler;

// Suspends the calling coroutine for the duration on the event loop; the
// thread keeps serving events meanwhile (never a blocking sleep).
QCoro::Task<> delay(std::chrono::milliseconds duration);

// The same on a scheduler's clock, so that tests can let the time pass by
// hand. The coroutine resumes from a task posted on the scheduler, and never
// once the scheduler is gone.
QCoro::Task<> delay(Scheduler &scheduler, std::chrono::milliseconds duration);
