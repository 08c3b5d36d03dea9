#pragma once

#include "ClipPlayer.h"

#include <QTimer>

// Plays nothing: records each sound (as text) once its stream has ended,
// and ends it from the event loop the given time later. A sound whose text
// starts with "undecodable" cannot start; one starting with "broken" starts
// and ends with a decode error.
class FakeClipPlayer final : public ClipPlayer
{
    Q_OBJECT

public:
    int clipMs = 0;
    QStringList played;
    // What each sound held when it started (its stream may bring more).
    QStringList startedWith;

    using ClipPlayer::play;
    VoidResult play(std::shared_ptr<AudioStream> stream) override
    {
        if (stream->isFinished() && stream->bytes().isEmpty())
            return stream->error().value_or(ServiceError{QStringLiteral("AudioError"), -1, QStringLiteral("音频解码错误：empty")});
        if (QString::fromUtf8(stream->bytes()).startsWith(QLatin1String("undecodable")))
            return ServiceError{QStringLiteral("AudioError"), -1, QStringLiteral("音频解码错误：not mp3")};
        stop();
        startedWith.append(QString::fromUtf8(stream->bytes()));
        m_stream = std::move(stream);
        if (m_stream->isFinished())
            playToEnd();
        else
            connect(m_stream.get(), &AudioStream::finished, this, &FakeClipPlayer::playToEnd);
        return Ok{};
    }

    void stop() override
    {
        m_timer.stop();
        if (m_stream)
            disconnect(m_stream.get(), nullptr, this, nullptr);
        m_stream.reset();
    }

private:
    void playToEnd()
    {
        const QString text = QString::fromUtf8(m_stream->bytes());
        played.append(text);
        m_timer.disconnect();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this, text] {
            m_stream.reset();
            if (text.startsWith(QLatin1String("broken")))
                Q_EMIT decodeErrorOccurred(std::nullopt);
            else
                Q_EMIT finishedPlaying(true);
        });
        m_timer.start(clipMs);
    }

    std::shared_ptr<AudioStream> m_stream;
    QTimer m_timer;
};
