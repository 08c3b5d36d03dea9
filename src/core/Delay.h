#pragma once

#include <QCoroTask>

#include <chrono>

// Suspends the calling coroutine for the duration on the event loop; the
// thread keeps serving events meanwhile (never a blocking sleep).
QCoro::Task<> delay(std::chrono::milliseconds duration);
