#include "Spring.h"

#include <cmath>
#include <numbers>

Spring::Spring(double value, double tolerance) : m_value(value), m_target(value), m_tolerance(tolerance) {}

void Spring::animateTo(double target, double response, double dampingFraction)
{
    // A unit mass: the stiffness gives the period, the damping its fraction
    // of the critical damping.
    const double omega = 2 * std::numbers::pi / response;
    m_stiffness = omega * omega;
    m_damping = 2 * dampingFraction * omega;
    m_target = target;
    m_settled = false;
}

void Spring::reset(double value)
{
    m_value = m_target = value;
    m_velocity = 0;
    m_settled = true;
}

bool Spring::step(double seconds)
{
    if (m_settled)
        return true;
    // Small fixed steps keep the integration stable for the stiffest spring
    // whatever the frame interval was.
    static constexpr double kMaxStep = 0.001;
    while (seconds > 0) {
        const double dt = std::min(seconds, kMaxStep);
        const double acceleration = -m_stiffness * (m_value - m_target) - m_damping * m_velocity;
        m_velocity += acceleration * dt;
        m_value += m_velocity * dt;
        seconds -= dt;
    }
    if (std::abs(m_value - m_target) < m_tolerance && std::abs(m_velocity) < m_tolerance * 10) {
        m_value = m_target;
        m_velocity = 0;
        m_settled = true;
    }
    return m_settled;
}
