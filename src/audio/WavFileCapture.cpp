#include "WavFileCapture.h"

#include <QFile>
#include <QtEndian>

namespace {
quint32 u32(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}
quint16 u16(const QByteArray &data, qsizetype at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}
} // namespace

WavFileCapture::Contents WavFileCapture::read(const QByteArray &data)
{
    const auto refuse = [](const QString &problem) { return Contents{{}, {}, problem}; };
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return refuse(QStringLiteral("not a WAV file"));
    Contents contents;
    // Walk the chunks for "fmt " and "data".
    for (qsizetype at = 12; at + 8 <= data.size();) {
        const QByteArray id = data.mid(at, 4);
        const qsizetype size = u32(data, at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16 && body + 16 <= data.size()) {
            const quint16 tag = u16(data, body);
            const quint16 bits = u16(data, body + 14);
            const bool pcm16 = (tag == 1 || tag == 0xFFFE) && bits == 16;
            const bool float32 = (tag == 3 || tag == 0xFFFE) && bits == 32;
            if (!pcm16 && !float32)
                return refuse(QStringLiteral("only 16-bit PCM and 32-bit float WAV files are supported"));
            const quint32 rate = u32(data, body + 4);
            if (rate < kMinSampleRate || rate > kMaxSampleRate)
                return refuse(QStringLiteral("a sample rate of %1 Hz is not supported").arg(rate));
            contents.format.channels = u16(data, body + 2);
            contents.format.sampleRate = int(rate);
            contents.format.isFloat = float32;
        } else if (id == "data") {
            contents.frames = data.mid(body, std::min<qsizetype>(size, data.size() - body));
        }
        at = body + size + (size & 1);
    }
    if (contents.format.channels < 1)
        return refuse(QStringLiteral("no usable format chunk"));
    return contents;
}

WavFileCapture::WavFileCapture(const QString &path, bool fast, QObject *parent) : AudioCapture(parent)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return;
    }
    Contents contents = read(file.readAll());
    if (!contents.problem.isEmpty()) {
        m_error = QStringLiteral("%1: %2").arg(path, contents.problem);
        return;
    }
    m_format = contents.format;
    m_frames = std::move(contents.frames);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(fast ? 1 : kBufferFrames * 1000 / m_format.sampleRate);
    connect(&m_timer, &QTimer::timeout, this, &WavFileCapture::deliverNext);
}

double WavFileCapture::durationSeconds() const
{
    const int frameBytes = m_format.bytesPerFrame();
    return frameBytes ? double(m_frames.size() / frameBytes) / m_format.sampleRate : 0;
}

QCoro::Task<VoidResult> WavFileCapture::start()
{
    if (!m_error.isEmpty())
        co_return ServiceError{QStringLiteral("AudioError"), kNoUsableInputError, m_error};
    // One resampler per capture session.
    m_resampler = std::make_unique<StreamingResampler>(m_format.sampleRate);
    m_timer.start();
    co_return Ok{};
}

void WavFileCapture::stop()
{
    m_timer.stop();
}

QCoro::Task<bool> WavFileCapture::requestPermission()
{
    co_return true;
}

void WavFileCapture::deliverNext()
{
    if (m_position >= m_frames.size()) {
        m_timer.stop();
        // A file has an end: what is still in the resampler goes out too.
        if (const QVector<float> tail = m_resampler->flush(); !tail.isEmpty())
            Q_EMIT pcmReady(PcmConversion::floatToInt16(tail));
        Q_EMIT finished();
        return;
    }
    const QByteArray buffer = m_frames.mid(m_position, qsizetype(kBufferFrames) * m_format.bytesPerFrame());
    m_position += buffer.size();
    const auto converted = PcmConversion::convertBuffer(buffer, m_format.channels, m_format.isFloat, *m_resampler);
    Q_EMIT levelChanged(converted.level);
    Q_EMIT pcmReady(converted.pcm16k);
}
