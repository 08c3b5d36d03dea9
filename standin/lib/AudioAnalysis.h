#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QVector>

// What the stand-in measures of the PCM a client streams (16-bit little-endian,
// mono, 16 kHz): how long it is, how loud, its dominant frequency, and the
// largest jump between neighbouring samples (a click at a buffer seam shows
// up there), and a digest of the samples.
class AudioAnalysis
{
public:
    static constexpr int kSampleRate = 16000;

    void add(const QByteArray &pcm);
    qint64 sampleCount() const { return m_samples.size(); }
    double durationMs() const { return 1000.0 * double(m_samples.size()) / kSampleRate; }
    // Root mean square and peak, full scale = 1.0.
    double rms() const;
    double peak() const;
    // The strongest frequency between 50 and 4000 Hz, to about 1 Hz; 0 for silence.
    double dominantHz() const;
    double maxStep() const;
    // The samples' SHA-256 (little-endian 16-bit), hex: audio sent twice is
    // told the same.
    QByteArray sha256() const;

    QJsonObject summary() const;
    // RMS of one frame, for the per-frame record.
    static double frameRms(const QByteArray &pcm);

private:
    QVector<qint16> m_samples;
    qint64 m_oddByte = -1; // a frame of odd length leaves a byte for the next
};
