#include "KeptAudioCapture.h"

#include "PcmConversion.h"

KeptAudioCapture::KeptAudioCapture(QByteArray pcm, QObject *parent) : AudioCapture(parent), m_pcm(std::move(pcm))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(int(kBufferBytes / 32)); // 32 bytes a millisecond
    connect(&m_timer, &QTimer::timeout, this, &KeptAudioCapture::deliverNext);
}

QCoro::Task<VoidResult> KeptAudioCapture::start()
{
    // A buffer every 100 ms, the first after as long as it lasts, as a
    // microphone hands them over; a restart carries on where it stopped.
    m_timer.start();
    co_return Ok{};
}

void KeptAudioCapture::stop()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    Q_EMIT finished();
}

QCoro::Task<bool> KeptAudioCapture::requestPermission()
{
    co_return true;
}

void KeptAudioCapture::deliverNext()
{
    if (isFinished()) {
        stop();
        return;
    }
    const QByteArray buffer = m_pcm.mid(m_position, kBufferBytes);
    m_position += buffer.size();
    Q_EMIT levelChanged(PcmConversion::level(PcmConversion::firstChannel(buffer, 1, false)));
    Q_EMIT pcmReady(buffer);
}
