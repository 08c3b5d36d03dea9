#include "Mp3Player.h"

#include "Log.h"
#include "Mp3StreamDecoder.h"
#include "SinkRetirement.h"
#include "UserText.h"

#include <QAudioSink>
#include <QMediaDevices>

Mp3Player::Mp3Player(QObject *parent) : ClipPlayer(parent)
{
    m_drainCheck.setInterval(50);
    connect(&m_drainCheck, &QTimer::timeout, this, &Mp3Player::checkDrained);
    m_stallTimer.setSingleShot(true);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        Log::line(QStringLiteral("⚠️ [播放] 播放未按时结束，视为失败"));
        end(ServiceError{QStringLiteral("AudioError"), -1,
                         UserText::of(QT_TRANSLATE_NOOP("UserText", "音频播放超时"))});
    });
}

Mp3Player::~Mp3Player()
{
    stop();
}

Result<Mp3Player::Pcm> Mp3Player::decode(const QByteArray &mp3)
{
    Mp3StreamDecoder decoder;
    Result<QByteArray> samples = decoder.feed(mp3);
    if (!samples)
        return samples.error();
    if (samples.value().isEmpty() || !decoder.format().isValid())
        return Mp3StreamDecoder::error(UserText::of(QT_TRANSLATE_NOOP("UserText", "没有可播放的音频")));
    return Pcm{decoder.format(), samples.value()};
}

VoidResult Mp3Player::play(std::shared_ptr<AudioStream> stream)
{
    stop();
    if (QMediaDevices::defaultAudioOutput().isNull())
        return ServiceError{QStringLiteral("AudioError"), -1,
                            UserText::of(QT_TRANSLATE_NOOP("UserText", "没有可用的音频输出设备"))};
    m_stream = std::move(stream);
    m_fed = 0;
    m_decoder = std::make_unique<Mp3StreamDecoder>();
    m_feed.clear();
    m_feed.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    connect(m_stream.get(), &AudioStream::changed, this, &Mp3Player::onStreamChanged);
    // What is there already is fed at once: a sound that cannot be played
    // at all (a whole clip that does not decode, a sink that cannot start)
    // is the caller's to hear about, with no signal.
    m_starting = true;
    m_startFailure.reset();
    onStreamChanged();
    m_starting = false;
    if (std::optional<ServiceError> failure = std::exchange(m_startFailure, std::nullopt))
        return *failure;
    return Ok{};
}

void Mp3Player::onStreamChanged()
{
    if (!m_stream)
        return;
    const QByteArray fresh = m_stream->bytes().mid(m_fed);
    m_fed = m_stream->bytes().size();
    if (!fresh.isEmpty()) {
        Result<QByteArray> pcm = m_decoder->feed(fresh);
        if (!pcm)
            return end(pcm.error());
        // A sink that has read everything there was stops asking for more
        // (Qt's PulseAudio sink stops its pull timer): wake it for the rest.
        const bool drained = m_feed.bytesAvailable() == 0;
        m_feed.append(pcm.value());
        if (m_sink && drained && !pcm.value().isEmpty()) {
            m_sink->suspend();
            m_sink->resume();
        }
        if (!m_sink && m_feed.totalBytes() > 0) {
            startSink();
            if (m_sink->error() != QAudio::NoError) {
                return end(ServiceError{QStringLiteral("AudioError"), -1,
                                        UserText::of(QT_TRANSLATE_NOOP("UserText", "音频播放无法开始（错误 %1）"))
                                            .arg(int(m_sink->error()))});
            }
        }
    }
    if (!m_stream->isFinished() || m_feed.isFinishing())
        return;
    // Everything has come (or the synthesis broke off): what was decoded is
    // played to its end.
    m_feed.finish();
    if (!m_sink)
        return end(m_stream->error().value_or(
            Mp3StreamDecoder::error(UserText::of(QT_TRANSLATE_NOOP("UserText", "没有可播放的音频")))));
    const qint64 totalMs = m_decoder->format().durationForBytes(qint32(m_feed.totalBytes())) / 1000;
    const qint64 playedMs = m_sink->processedUSecs() / 1000;
    m_stallTimer.start(int(std::max<qint64>(totalMs - playedMs, 0)) + kStallMarginMs);
    m_drainCheck.start();
    onStateChanged();
}

void Mp3Player::checkDrained()
{
    // Not every audio backend says "idle" at the end of a sound that ran
    // dry on the way: the sound has also ended once the output has played
    // all of it.
    if (!m_sink || !m_feed.atEnd())
        return;
    const qint64 totalUs = m_decoder->format().durationForBytes(qint32(m_feed.totalBytes()));
    if (m_sink->processedUSecs() >= totalUs - kDrainSlackUs)
        end(std::nullopt);
}

void Mp3Player::startSink()
{
    m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), m_decoder->format());
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &Mp3Player::onStateChanged);
    m_sink->start(&m_feed);
}

void Mp3Player::onStateChanged()
{
    if (!m_sink)
        return;
    switch (m_sink->state()) {
    case QAudio::IdleState:
        // Idle after the last byte was read: the sound has been played.
        // Idle before it: the sound outran its stream, and waits for more.
        if (m_feed.atEnd())
            end(std::nullopt);
        break;
    case QAudio::StoppedState:
        if (m_sink->error() != QAudio::NoError && m_sink->error() != QAudio::UnderrunError) {
            end(ServiceError{
                QStringLiteral("AudioError"), -1,
                UserText::of(QT_TRANSLATE_NOOP("UserText", "音频播放中断（错误 %1）")).arg(int(m_sink->error()))});
        }
        break;
    default:
        break;
    }
}

void Mp3Player::end(std::optional<ServiceError> error)
{
    stop();
    if (m_starting && error) {
        m_startFailure = std::move(error);
        return;
    }
    if (error)
        Q_EMIT decodeErrorOccurred(error);
    else
        Q_EMIT finishedPlaying(true);
}

void Mp3Player::stop()
{
    m_stallTimer.stop();
    m_drainCheck.stop();
    if (m_stream) {
        disconnect(m_stream.get(), nullptr, this, nullptr);
        m_stream.reset();
    }
    SinkRetirement::retire(std::move(m_sink), this);
    m_feed.close();
    m_decoder.reset();
}
