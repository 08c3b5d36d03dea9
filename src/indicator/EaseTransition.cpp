#include "EaseTransition.h"

#include <QPointF>

#include <algorithm>

EaseTransition::EaseTransition(double value, double seconds)
    : m_curve(QEasingCurve::BezierSpline), m_duration(seconds), m_from(value), m_to(value)
{
    // The common ease-in-out: cubic Bézier (0.42, 0) (0.58, 1).
    m_curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
}

void EaseTransition::animateTo(double target, double nowSeconds)
{
    m_from = value(nowSeconds);
    m_to = target;
    m_start = nowSeconds;
}

double EaseTransition::value(double nowSeconds) const
{
    if (m_duration <= 0)
        return m_to;
    const double progress = std::clamp((nowSeconds - m_start) / m_duration, 0.0, 1.0);
    return m_from + (m_to - m_from) * m_curve.valueForProgress(progress);
}
