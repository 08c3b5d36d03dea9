#pragma once

#include "OneShot.h"

#include <QCoroTask>

#include <deque>
#include <memory>
#include <optional>

// An unbounded queue between a producer and one consumer on the event loop:
// values in the order pushed, then the end. The consumer awaits next(); the
// producer never waits.
template <typename T>
class AsyncQueue
{
public:
    explicit AsyncQueue(QObject *context) : m_context(context) {}

    void push(T value)
    {
        if (m_finished)
            return;
        m_values.push_back(std::move(value));
        wake();
    }

    void finish()
    {
        m_finished = true;
        wake();
    }

    bool isFinished() const { return m_finished; }

    // The next value, or nothing once the queue has ended and is empty.
    QCoro::Task<std::optional<T>> next()
    {
        while (m_values.empty() && !m_finished) {
            auto waiter = std::make_shared<OneShot<bool>>(m_context);
            m_waiter = waiter;
            co_await *waiter;
        }
        if (m_values.empty())
            co_return std::nullopt;
        T value = std::move(m_values.front());
        m_values.pop_front();
        co_return value;
    }

private:
    void wake()
    {
        if (auto waiter = std::exchange(m_waiter, {}))
            waiter->release(true);
    }

    QObject *m_context;
    std::deque<T> m_values;
    bool m_finished = false;
    std::shared_ptr<OneShot<bool>> m_waiter;
};
