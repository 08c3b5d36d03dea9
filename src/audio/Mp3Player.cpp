#include "Mp3Player.h"

#include "Log.h"

#include <QAudioSink>
#include <QMediaDevices>

#include <mpg123.h>

namespace {

ServiceError decodeError(const QString &why)
{
    return {QStringLiteral("AudioError"), -1, QStringLiteral("音频解码错误：") + why};
}

struct HandleDeleter
{
    void operator()(mpg123_handle *handle) const
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};

} // namespace

Mp3Player::Mp3Player(QObject *parent) : ClipPlayer(parent)
{
    m_stallTimer.setSingleShot(true);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        Log::line(QStringLiteral("⚠️ [播放] 播放未按时结束，视为失败"));
        end(ServiceError{QStringLiteral("AudioError"), -1, QStringLiteral("音频播放超时")});
    });
}

Mp3Player::~Mp3Player()
{
    stop();
}

Result<Mp3Player::Pcm> Mp3Player::decode(const QByteArray &mp3)
{
    int status = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleDeleter> handle(mpg123_new(nullptr, &status));
    if (!handle)
        return decodeError(QString::fromUtf8(mpg123_plain_strerror(status)));
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Always signed 16-bit, whatever the rate and channels.
    mpg123_format_none(handle.get());
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(handle.get()) != MPG123_OK)
        return decodeError(QString::fromUtf8(mpg123_strerror(handle.get())));

    Pcm pcm;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    status = mpg123_feed(handle.get(), reinterpret_cast<const unsigned char *>(mp3.constData()), size_t(mp3.size()));
    while (status == MPG123_OK || status == MPG123_NEW_FORMAT) {
        size_t done = 0;
        status = mpg123_read(handle.get(), reinterpret_cast<unsigned char *>(chunk.data()), size_t(chunk.size()), &done);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(handle.get(), &rate, &channels, &encoding);
            pcm.format.setSampleRate(int(rate));
            pcm.format.setChannelCount(channels);
            pcm.format.setSampleFormat(QAudioFormat::Int16);
        }
        pcm.samples.append(chunk.constData(), qsizetype(done));
    }
    if (status != MPG123_NEED_MORE && status != MPG123_DONE)
        return decodeError(QString::fromUtf8(mpg123_strerror(handle.get())));
    if (pcm.samples.isEmpty() || !pcm.format.isValid())
        return decodeError(QStringLiteral("没有可播放的音频"));
    return pcm;
}

VoidResult Mp3Player::play(const QByteArray &clip)
{
    stop();
    Result<Pcm> pcm = decode(clip);
    if (!pcm)
        return pcm.error();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull())
        return ServiceError{QStringLiteral("AudioError"), -1, QStringLiteral("没有可用的音频输出设备")};
    m_buffer.setData(pcm.value().samples);
    m_buffer.open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(output, pcm.value().format);
    connect(m_sink.get(), &QAudioSink::stateChanged, this, &Mp3Player::onStateChanged);
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError) {
        const int code = int(m_sink->error());
        stop();
        return ServiceError{QStringLiteral("AudioError"), -1, QStringLiteral("音频播放无法开始（错误 %1）").arg(code)};
    }
    const qint64 lengthMs = pcm.value().format.durationForBytes(qint32(m_buffer.size())) / 1000;
    m_stallTimer.start(int(lengthMs) + kStallMarginMs);
    return Ok{};
}

void Mp3Player::onStateChanged()
{
    if (!m_sink)
        return;
    switch (m_sink->state()) {
    case QAudio::IdleState:
        // Idle after the last byte was read: the clip has been played.
        if (m_buffer.atEnd())
            end(std::nullopt);
        break;
    case QAudio::StoppedState:
        if (m_sink->error() != QAudio::NoError) {
            end(ServiceError{QStringLiteral("AudioError"), -1,
                             QStringLiteral("音频播放中断（错误 %1）").arg(int(m_sink->error()))});
        }
        break;
    default:
        break;
    }
}

void Mp3Player::end(std::optional<ServiceError> error)
{
    stop();
    if (error)
        Q_EMIT decodeErrorOccurred(error);
    else
        Q_EMIT finishedPlaying(true);
}

void Mp3Player::stop()
{
    m_stallTimer.stop();
    if (m_sink) {
        QObject::disconnect(m_sink.get(), nullptr, this, nullptr);
        m_sink->stop();
        m_sink.reset();
    }
    m_buffer.close();
}
