#include "Delay.h"

#include <QTimer>

#include <QCoroTimer>

QCoro::Task<> delay(std::chrono::milliseconds duration)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    co_await timer;
}
