#include "Scheduler.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

namespace {
class QtScheduledTimer final : public ScheduledTimer
{
public:
    QtScheduledTimer(QObject *context, std::chrono::milliseconds delay, std::function<void()> action)
    {
        m_timer.setSingleShot(true);
        // Long-press thresholds are user-visible timings: no coarse slack.
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, context, std::move(action));
        m_timer.start(delay);
    }

    void invalidate() override { m_timer.stop(); }
    bool isValid() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
} // namespace

QtScheduler::QtScheduler(QObject *context) : m_context(context) {}

void QtScheduler::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(m_context, std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<ScheduledTimer> QtScheduler::schedule(std::chrono::milliseconds delay,
                                                      std::function<void()> action)
{
    return std::make_unique<QtScheduledTimer>(m_context, delay, std::move(action));
}
