#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <coroutine>
#include <memory>
#include <optional>

// A one-shot waiter: one coroutine awaits it, and it is released exactly once
// with a value; later releases are ignored. The awaiting coroutine resumes
// from the event loop (never inside the code that releases it), and never
// once the context object is gone.
template <typename T>
class OneShot
{
public:
    explicit OneShot(QObject *context) : m_context(context) {}

    // True when this call released the waiter, false when it was released before.
    bool release(T value)
    {
        if (m_value)
            return false;
        m_value = std::move(value);
        if (auto waiter = std::exchange(m_waiter, {})) {
            QMetaObject::invokeMethod(
                m_context, [waiter] { waiter.resume(); }, Qt::QueuedConnection);
        }
        return true;
    }

    bool isReleased() const { return m_value.has_value(); }

    auto operator co_await() noexcept
    {
        struct Awaiter
        {
            OneShot *shot;
            bool await_ready() const noexcept { return shot->m_value.has_value(); }
            void await_suspend(std::coroutine_handle<> handle) noexcept { shot->m_waiter = handle; }
            T await_resume() { return *shot->m_value; }
        };
        return Awaiter{this};
    }

private:
    QPointer<QObject> m_context;
    std::optional<T> m_value;
    std::coroutine_handle<> m_waiter;
};
