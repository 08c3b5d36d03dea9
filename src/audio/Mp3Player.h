#pragma once

#include "ClipPlayer.h"

#include <QAudioFormat>
#include <QBuffer>
#include <QTimer>

#include <memory>

class QAudioSink;

// MP3 clips decoded in memory with libmpg123 and played with QAudioSink on
// the default output. A clip that stalls (no sound device, a stuck server)
// ends with an error a little after its own length, so that nobody waits
// for it for ever.
class Mp3Player final : public ClipPlayer
{
    Q_OBJECT

public:
    // How long past a clip's own length playback may take before it counts as stuck.
    static constexpr int kStallMarginMs = 3000;

    explicit Mp3Player(QObject *parent = nullptr);
    ~Mp3Player() override;

    VoidResult play(const QByteArray &clip) override;
    void stop() override;

    struct Pcm
    {
        QAudioFormat format;
        QByteArray samples;
    };
    // The clip as signed 16-bit PCM, or why it cannot be decoded.
    static Result<Pcm> decode(const QByteArray &mp3);

private:
    void onStateChanged();
    void end(std::optional<ServiceError> error);

    std::unique_ptr<QAudioSink> m_sink;
    QBuffer m_buffer;
    QTimer m_stallTimer;
};
