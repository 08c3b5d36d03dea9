#include "FrameTicker.h"

#include <algorithm>

FrameTicker::FrameTicker(QObject *parent) : QObject(parent)
{
    m_clock.start();
    m_timer.setInterval(kFrameMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        const double at = now();
        const double elapsed = std::min(at - m_last, 4.0 * kFrameMs / 1000);
        m_last = at;
        m_wanted = false;
        Q_EMIT tick(elapsed);
        if (!m_wanted)
            m_timer.stop();
    });
}

void FrameTicker::wake()
{
    if (m_timer.isActive())
        return;
    m_last = now();
    m_timer.start();
}

void FrameTicker::sleep()
{
    m_timer.stop();
}
