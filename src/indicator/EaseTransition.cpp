#include "EaseTransition.h"

#include "Drawing.h"

#include <algorithm>

EaseTransition::EaseTransition(double value, double seconds)
    : m_curve(Drawing::easeInOut()), m_duration(seconds), m_from(value), m_to(value)
{
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
