#include "CuePlayer.h"

#include "Log.h"
#include "SinkRetirement.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace {
constexpr int kFadeMs = 15;
// The output is kept this long after the cue was handed over, and then
// until it has been played, checked this often, for at most this much more.
constexpr int kReleaseAfterIdleMs = 300;
constexpr int kReleaseCheckMs = 50;
constexpr int kReleaseBoundMs = 2000;
} // namespace

CuePlayer::CuePlayer(QObject *parent) : QObject(parent) {}

CuePlayer::~CuePlayer()
{
    release();
}

QByteArray CuePlayer::tone(Cue cue)
{
    const int count = kSampleRate * kDurationMs / 1000;
    const int fade = kSampleRate * kFadeMs / 1000;
    const double from = cue == Cue::RecordingStarted ? kLowHz : kHighHz;
    const double to = cue == Cue::RecordingStarted ? kHighHz : kLowHz;
    QByteArray samples(count * 2, Qt::Uninitialized);
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        // The pitch glides linearly; the phase is its running sum, so the glide is smooth.
        const double hz = from + (to - from) * i / (count - 1);
        phase += 2 * std::numbers::pi * hz / kSampleRate;
        const int edge = std::min(i, count - 1 - i);
        const double envelope = edge >= fade ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / fade);
        const auto value = qint16(std::lround(std::sin(phase) * envelope * kPeak * 32767));
        qToLittleEndian(value, samples.data() + 2 * i);
    }
    return samples;
}

void CuePlayer::play(Cue cue)
{
    release();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        Log::line(QStringLiteral("⚠️ [提示音] 没有可用的音频输出设备，不播放提示音"));
        return;
    }
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_sink = std::make_unique<QAudioSink>(output, format);
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this, sink = m_sink.get()](QAudio::State state) {
        // All handed over (or failed): the output is given back once the
        // server has played the cue (closing it drops what is still in its
        // buffer, and a busy server starts late), unless a new cue took it.
        if (state == QAudio::IdleState || state == QAudio::StoppedState)
            releaseWhenPlayed(sink, kReleaseAfterIdleMs);
    });
    m_buffer.setData(tone(cue));
    m_buffer.open(QIODevice::ReadOnly);
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError)
        Log::line(QStringLiteral("⚠️ [提示音] 无法播放提示音"));
}

void CuePlayer::releaseWhenPlayed(QAudioSink *sink, int leftMs)
{
    QTimer::singleShot(kReleaseCheckMs, this, [this, sink, leftMs] {
        if (m_sink.get() != sink)
            return;
        const bool played = sink->state() == QAudio::StoppedState
                            || sink->processedUSecs() >= qint64(kDurationMs) * 1000;
        if ((played && leftMs <= 0) || leftMs <= -kReleaseBoundMs)
            release();
        else
            releaseWhenPlayed(sink, leftMs - kReleaseCheckMs);
    });
}

void CuePlayer::release()
{
    SinkRetirement::retire(std::move(m_sink), this);
    m_buffer.close();
}
