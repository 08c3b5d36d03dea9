#pragma once

#include "OneShot.h"
#include "ServiceError.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

#include <deque>
#include <memory>
#include <optional>

// The answer of a streaming chat as it arrives: text increments in order, in
// an unbounded buffer, then an end that is either normal or an error. The
// request runs on whether or not anybody reads.
class ChatStream
{
public:
    explicit ChatStream(QObject *context) : m_context(context) {}

    // The next increment, or nothing once the stream has ended (then error()
    // says how).
    QCoro::Task<std::optional<QString>> next();
    bool isFinished() const { return m_finished && m_buffer.empty(); }
    const std::optional<ServiceError> &error() const { return m_error; }

    // The producer's side.
    void push(const QString &increment);
    void finish(std::optional<ServiceError> error = std::nullopt);

private:
    void wake();

    QObject *m_context;
    std::deque<QString> m_buffer;
    bool m_finished = false;
    std::optional<ServiceError> m_error;
    std::shared_ptr<OneShot<bool>> m_waiter;
};
