#include "AudioStream.h"

#include <QMetaObject>

AudioStream::AudioStream(QObject *parent) : QObject(parent) {}

std::shared_ptr<AudioStream> AudioStream::ofClip(const QByteArray &clip)
{
    auto stream = std::make_shared<AudioStream>();
    stream->append(clip);
    stream->finish();
    return stream;
}

void AudioStream::append(const QByteArray &bytes)
{
    if (m_finished || bytes.isEmpty())
        return;
    m_bytes += bytes;
    Q_EMIT changed();
    wake();
}

void AudioStream::finish(std::optional<ServiceError> error)
{
    if (m_finished)
        return;
    m_finished = true;
    m_error = std::move(error);
    Q_EMIT finished();
    Q_EMIT changed();
    wake();
}

void AudioStream::wake()
{
    std::vector<Waiter> waiting;
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        if (m_finished || !it->toEnd) {
            waiting.push_back(*it);
            it = m_waiters.erase(it);
        } else {
            ++it;
        }
    }
    // From the event loop, never inside the append or finish that woke them.
    for (const Waiter &waiter : waiting)
        QMetaObject::invokeMethod(this, [handle = waiter.handle] { handle.resume(); }, Qt::QueuedConnection);
}
