#pragma once

#include "ClipPlayer.h"
#include "PcmFeed.h"

#include <QAudioFormat>
#include <QTimer>

#include <memory>

class Mp3StreamDecoder;
class QAudioSink;

// MP3 decoded with libmpg123 as it arrives and played with QAudioSink on the
// default output: a sentence starts with its first frames, and waits for the
// rest where it outruns them. Once the stream has ended, playback that stalls
// (a stuck sound server) ends with an error a little after the sound's own
// length, so that nobody waits for it for ever.
class Mp3Player final : public ClipPlayer
{
    Q_OBJECT

public:
    // How long past a sound's own length playback may take before it counts as stuck.
    static constexpr int kStallMarginMs = 3000;

    explicit Mp3Player(QObject *parent = nullptr);
    ~Mp3Player() override;

    using ClipPlayer::play;
    VoidResult play(std::shared_ptr<AudioStream> stream) override;
    void stop() override;

    struct Pcm
    {
        QAudioFormat format;
        QByteArray samples;
    };
    // A whole clip as signed 16-bit PCM, or why it cannot be decoded.
    static Result<Pcm> decode(const QByteArray &mp3);

private:
    void onStreamChanged();
    void startSink();
    void onStateChanged();
    void checkDrained();
    void end(std::optional<ServiceError> error);

    std::shared_ptr<AudioStream> m_stream;
    qsizetype m_fed = 0;
    // Inside play(): an end with an error is told to its caller.
    bool m_starting = false;
    std::optional<ServiceError> m_startFailure;
    std::unique_ptr<Mp3StreamDecoder> m_decoder;
    std::unique_ptr<QAudioSink> m_sink;
    PcmFeed m_feed;
    QTimer m_stallTimer;
    QTimer m_drainCheck;
    // How close to the end counts as played (the output's clock is coarse).
    static constexpr qint64 kDrainSlackUs = 20000;
};
