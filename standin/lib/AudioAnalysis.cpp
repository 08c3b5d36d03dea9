#include "AudioAnalysis.h"

#include <QCryptographicHash>

#include <QtEndian>

#include <cmath>

namespace {
// Power of one frequency over the samples (Goertzel).
double power(const qint16 *samples, qsizetype count, double hz)
{
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / AudioAnalysis::kSampleRate);
    double s1 = 0, s2 = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double s0 = samples[i] / 32768.0 + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}
} // namespace

void AudioAnalysis::add(const QByteArray &pcm)
{
    QByteArray bytes = pcm;
    if (m_oddByte >= 0) {
        bytes.prepend(char(m_oddByte));
        m_oddByte = -1;
    }
    if (bytes.size() % 2) {
        m_oddByte = uchar(bytes.back());
        bytes.chop(1);
    }
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    m_samples.reserve(m_samples.size() + bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        m_samples.append(qFromLittleEndian<qint16>(data + i));
}

double AudioAnalysis::rms() const
{
    if (m_samples.isEmpty())
        return 0;
    double sum = 0;
    for (qint16 sample : m_samples)
        sum += double(sample) * sample;
    return std::sqrt(sum / m_samples.size()) / 32768.0;
}

double AudioAnalysis::peak() const
{
    int peak = 0;
    for (qint16 sample : m_samples)
        peak = std::max(peak, std::abs(int(sample)));
    return peak / 32768.0;
}

double AudioAnalysis::maxStep() const
{
    int step = 0;
    for (qsizetype i = 1; i < m_samples.size(); ++i)
        step = std::max(step, std::abs(int(m_samples[i]) - int(m_samples[i - 1])));
    return step / 32768.0;
}

double AudioAnalysis::dominantHz() const
{
    if (rms() < 1e-4)
        return 0;
    // At most one second from the middle: enough for 1 Hz, cheap enough.
    const qsizetype count = std::min<qsizetype>(m_samples.size(), kSampleRate);
    const qint16 *window = m_samples.constData() + (m_samples.size() - count) / 2;
    double best = 0, bestHz = 0;
    for (double hz = 50; hz <= 4000; hz += 10) {
        const double p = power(window, count, hz);
        if (p > best) {
            best = p;
            bestHz = hz;
        }
    }
    for (double hz = bestHz - 10; hz <= bestHz + 10; hz += 0.5) {
        const double p = power(window, count, hz);
        if (p > best) {
            best = p;
            bestHz = hz;
        }
    }
    return bestHz;
}

QJsonObject AudioAnalysis::summary() const
{
    return QJsonObject{{QStringLiteral("samples"), double(sampleCount())},
                       {QStringLiteral("duration_ms"), durationMs()},
                       {QStringLiteral("rms"), rms()},
                       {QStringLiteral("peak"), peak()},
                       {QStringLiteral("dominant_hz"), dominantHz()},
                       {QStringLiteral("max_step"), maxStep()},
                       {QStringLiteral("sha256"), QString::fromLatin1(sha256())}};
}

QByteArray AudioAnalysis::sha256() const
{
    QByteArray bytes;
    bytes.reserve(m_samples.size() * 2);
    for (const qint16 sample : m_samples)
        bytes.append(char(sample & 0xff)).append(char((sample >> 8) & 0xff));
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

double AudioAnalysis::frameRms(const QByteArray &pcm)
{
    AudioAnalysis one;
    one.add(pcm);
    return one.rms();
}
