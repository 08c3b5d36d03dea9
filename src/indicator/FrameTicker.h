#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The frame clock of animated views: ticks about 60 times a second while
// something moves and not at all otherwise, so views at rest wake nobody.
// Views that share one ticker are stepped and painted in the same frame.
class FrameTicker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kFrameMs = 33;

    explicit FrameTicker(QObject *parent = nullptr);

    // Starts ticking unless it already does.
    void wake();
    // From a tick's handler: this view wants another frame. A tick after
    // which no handler asked for one is the last.
    void stayAwake() { m_wanted = true; }
    void sleep();
    bool isTicking() const { return m_timer.isActive(); }
    // Seconds since the ticker was made.
    double now() const { return m_clock.nsecsElapsed() / 1e9; }

Q_SIGNALS:
    // The seconds since the previous tick (at most a few frames' worth, so
    // that a stalled event loop does not make the springs leap).
    void tick(double seconds);

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    bool m_wanted = false;
};
