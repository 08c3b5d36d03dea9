#pragma once

#include "ServiceError.h"

#include <QByteArray>
#include <QObject>

#include <coroutine>
#include <memory>
#include <optional>
#include <vector>

// One sentence's encoded audio as it arrives: the synthesis appends each
// frame's bytes and ends the stream, complete or with an error; the player
// reads the bytes as they come, so a sentence can start playing long before
// its last frame. Everything stays readable to the end (a sentence is small).
class AudioStream final : public QObject
{
    Q_OBJECT

public:
    explicit AudioStream(QObject *parent = nullptr);
    // A stream that already holds a whole clip.
    static std::shared_ptr<AudioStream> ofClip(const QByteArray &clip);

    // Ignored once the stream has ended.
    void append(const QByteArray &bytes);
    // Ends the stream; only the first call counts.
    void finish(std::optional<ServiceError> error = std::nullopt);

    const QByteArray &bytes() const { return m_bytes; }
    bool isFinished() const { return m_finished; }
    // Why the stream ended early; empty while it runs or when it is complete.
    const std::optional<ServiceError> &error() const { return m_error; }

    // co_await: resumes (from the event loop) once there are bytes to play
    // or the stream has ended.
    auto started() { return Awaiter{this, false}; }
    // co_await: resumes (from the event loop) once the stream has ended.
    auto ended() { return Awaiter{this, true}; }

Q_SIGNALS:
    void finished();
    // Bytes arrived or the stream ended.
    void changed();

private:
    struct Awaiter
    {
        AudioStream *stream;
        bool toEnd;
        bool await_ready() const noexcept
        {
            return stream->m_finished || (!toEnd && !stream->m_bytes.isEmpty());
        }
        void await_suspend(std::coroutine_handle<> handle) { stream->m_waiters.push_back({handle, toEnd}); }
        void await_resume() const noexcept {}
    };
    struct Waiter
    {
        std::coroutine_handle<> handle;
        bool toEnd;
    };
    // Resumes the waiters whose wait is over.
    void wake();

    std::vector<Waiter> m_waiters;
    QByteArray m_bytes;
    bool m_finished = false;
    std::optional<ServiceError> m_error;
};
