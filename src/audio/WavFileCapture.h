#pragma once

#include "AudioCapture.h"
#include "PcmConversion.h"

#include <QString>
#include <QTimer>

#include <memory>

// A WAV file played as if it were the microphone: 3200-frame buffers at the
// file's own rate, in real time or as fast as possible, through the same
// conversion as captured audio (channel 0, one streaming resampler, Int16).
class WavFileCapture final : public AudioCapture
{
    Q_OBJECT

public:
    struct Format
    {
        int sampleRate = 0;
        int channels = 0;
        bool isFloat = false;
        int bytesPerFrame() const { return channels * (isFloat ? 4 : 2); }
    };

    // What a WAV file's bytes hold: the format and the sample frames, or why
    // they cannot be played (then the rest is empty).
    struct Contents
    {
        Format format;
        QByteArray frames;
        QString problem;
    };
    static Contents read(const QByteArray &data);
    // Rates a microphone or a recording can have; others are damage.
    static constexpr int kMinSampleRate = 1000;
    static constexpr int kMaxSampleRate = 768000;

    // Reads the file; error() says why when it is not a WAV file we can play.
    explicit WavFileCapture(const QString &path, bool fast = false, QObject *parent = nullptr);

    const QString &error() const { return m_error; }
    const Format &format() const { return m_format; }
    double durationSeconds() const;

    QCoro::Task<VoidResult> start() override;
    void stop() override;
    bool isRunning() const override { return m_timer.isActive(); }
    QCoro::Task<bool> requestPermission() override;

Q_SIGNALS:
    // Every buffer of the file has been delivered.
    void finished();

private:
    void deliverNext();

    QString m_error;
    Format m_format;
    QByteArray m_frames;
    qsizetype m_position = 0;
    QTimer m_timer;
    std::unique_ptr<StreamingResampler> m_resampler;
};
