#include "ChatStream.h"

QCoro::Task<std::optional<QString>> ChatStream::next()
{
    while (m_buffer.empty() && !m_finished) {
        auto waiter = std::make_shared<OneShot<bool>>(m_context);
        m_waiter = waiter;
        co_await *waiter;
    }
    if (m_buffer.empty())
        co_return std::nullopt;
    QString increment = std::move(m_buffer.front());
    m_buffer.pop_front();
    co_return increment;
}

void ChatStream::push(const QString &increment)
{
    if (m_finished)
        return;
    m_buffer.push_back(increment);
    wake();
}

void ChatStream::finish(std::optional<ServiceError> error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_error = std::move(error);
    wake();
}

void ChatStream::wake()
{
    if (auto waiter = std::exchange(m_waiter, {}))
        waiter->release(true);
}
