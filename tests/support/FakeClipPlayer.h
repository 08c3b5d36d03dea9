#pragma once

#include "ClipPlayer.h"

#include <QTimer>

// Plays nothing: records each clip (as text), and ends it from the event loop
// after the given time. A clip whose text starts with "undecodable" cannot
// start; one starting with "broken" starts and ends with a decode error.
class FakeClipPlayer final : public ClipPlayer
{
    Q_OBJECT

public:
    int clipMs = 0;
    QStringList played;

    VoidResult play(const QByteArray &clip) override
    {
        const QString text = QString::fromUtf8(clip);
        if (text.startsWith(QLatin1String("undecodable")))
            return ServiceError{QStringLiteral("AudioError"), -1, QStringLiteral("音频解码错误：not mp3")};
        played.append(text);
        m_timer.disconnect();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this, text] {
            if (text.startsWith(QLatin1String("broken")))
                Q_EMIT decodeErrorOccurred(std::nullopt);
            else
                Q_EMIT finishedPlaying(true);
        });
        m_timer.start(clipMs);
        return Ok{};
    }

    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};
