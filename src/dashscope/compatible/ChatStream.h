#pragma once

#include "AsyncQueue.h"
#include "ServiceError.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <optional>
#include <utility>

// The answer of a streaming chat as it arrives: text increments in order, in
// an unbounded buffer, then an end that is either normal or an error. The
// request runs on whether or not anybody reads.
class ChatStream
{
public:
    explicit ChatStream(QObject *context) : m_increments(context) {}

    // The next increment, or nothing once the stream has ended (then error()
    // says how).
    QCoro::Task<std::optional<QString>> next() { return m_increments.next(); }
    const std::optional<ServiceError> &error() const { return m_error; }
    bool hasEnded() const { return m_increments.isFinished(); }
    // The consumer gives up (a time limit, the user's cancel): the stream
    // ends with the error and the request under way is stopped.
    void abandon(const ServiceError &error)
    {
        finish(error);
        if (auto stop = std::exchange(m_stop, {}))
            stop();
    }

    // The producer's side; nothing is taken after the end.
    void push(const QString &increment) { m_increments.push(increment); }
    // How abandon() stops the request; harmless once the request is over.
    void setStop(std::function<void()> stop) { m_stop = std::move(stop); }
    void finish(std::optional<ServiceError> error = std::nullopt)
    {
        if (m_increments.isFinished())
            return; // the first end counts
        m_error = std::move(error);
        m_increments.finish();
    }

private:
    AsyncQueue<QString> m_increments;
    std::optional<ServiceError> m_error;
    std::function<void()> m_stop;
};
