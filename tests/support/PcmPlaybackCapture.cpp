#include "PcmPlaybackCapture.h"

#include <QtEndian>

#include <cmath>

PcmPlaybackCapture::PcmPlaybackCapture(double hz, QObject *parent) : AudioCapture(parent), m_hz(hz)
{
    m_timer.setInterval(100);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PcmPlaybackCapture::deliver);
}

QCoro::Task<VoidResult> PcmPlaybackCapture::start()
{
    ++starts;
    if (failStart)
        co_return *failStart;
    m_timer.start();
    co_return Ok{};
}

void PcmPlaybackCapture::stop()
{
    m_timer.stop();
}

QCoro::Task<bool> PcmPlaybackCapture::requestPermission()
{
    co_return permission;
}

void PcmPlaybackCapture::deliver()
{
    QByteArray pcm(3200, Qt::Uninitialized);
    for (int i = 0; i < 1600; ++i, ++m_sample) {
        const auto value = qint16(std::lround(0.5 * 32767 * std::sin(2 * M_PI * m_hz * double(m_sample) / 16000)));
        qToLittleEndian(value, pcm.data() + 2 * i);
    }
    ++framesDelivered;
    Q_EMIT levelChanged(0.5f);
    Q_EMIT pcmReady(pcm);
}
