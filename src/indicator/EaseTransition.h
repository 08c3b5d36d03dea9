#pragma once

#include <QEasingCurve>

// A value that moves to a new target over a fixed time along the standard
// ease-in-out curve (slow start, slow end). Starting again in flight starts
// from where it is, so a reversal never jumps.
class EaseTransition
{
public:
    explicit EaseTransition(double value = 0, double seconds = 0.25);

    void animateTo(double target, double nowSeconds);
    double value(double nowSeconds) const;
    double target() const { return m_to; }
    bool isRunning(double nowSeconds) const { return nowSeconds < m_start + m_duration && m_from != m_to; }

private:
    QEasingCurve m_curve;
    double m_duration;
    double m_from;
    double m_to;
    double m_start = 0;
};
