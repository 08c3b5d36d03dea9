#pragma once

#include "AudioCapture.h"

#include <QTimer>

// A take's kept audio (16 kHz mono signed 16-bit PCM) played as if it were
// the microphone, in 100 ms buffers at the pace it was spoken: the realtime
// recogniser takes audio as it is said, not faster.
class KeptAudioCapture final : public AudioCapture
{
    Q_OBJECT

public:
    static constexpr qsizetype kBufferBytes = 3200; // 100 ms

    explicit KeptAudioCapture(QByteArray pcm, QObject *parent = nullptr);

    QCoro::Task<VoidResult> start() override;
    void stop() override;
    bool isRunning() const override { return m_timer.isActive(); }
    QCoro::Task<bool> requestPermission() override;
    bool isFinished() const { return m_position >= m_pcm.size(); }

Q_SIGNALS:
    // Delivery has ended: every buffer went, or it was stopped.
    void finished();

private:
    void deliverNext();

    QByteArray m_pcm;
    qsizetype m_position = 0;
    QTimer m_timer;
};
