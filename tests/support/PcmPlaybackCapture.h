#pragma once

#include "AudioCapture.h"

#include <QTimer>

// A microphone stand-in that "captures" a tone in real time: every 100 ms
// while running it delivers 100 ms of 16 kHz PCM, as the capture engine does.
class PcmPlaybackCapture final : public AudioCapture
{
    Q_OBJECT

public:
    explicit PcmPlaybackCapture(double hz = 440, QObject *parent = nullptr);

    QCoro::Task<VoidResult> start() override;
    void stop() override;
    bool isRunning() const override { return m_timer.isActive(); }
    QCoro::Task<bool> requestPermission() override;

    std::optional<ServiceError> failStart; // the next starts fail with this
    bool permission = true;
    int starts = 0;
    int framesDelivered = 0;

private:
    void deliver();

    QTimer m_timer;
    double m_hz;
    qint64 m_sample = 0;
};
