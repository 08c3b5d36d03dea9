#pragma once

// A damped spring that carries one value to its target, as the indicator's
// animations move: the response is the period of the undamped oscillation in
// seconds, the damping fraction 1 for no overshoot and less for a bounce. A
// new target keeps the current velocity, so a spring retargeted in flight
// moves on smoothly. Time advances only through step(), which makes it
// testable without a clock.
class Spring
{
public:
    // `tolerance`: how close to the target, in the value's own unit, counts as there.
    explicit Spring(double value = 0, double tolerance = 0.001);

    void animateTo(double target, double response, double dampingFraction);
    // Jumps to the value and stops.
    void reset(double value);
    // Advances the motion by the given seconds; true once at rest on the target.
    bool step(double seconds);

    double value() const { return m_value; }
    double target() const { return m_target; }
    bool isSettled() const { return m_settled; }

private:
    double m_value;
    double m_target;
    double m_velocity = 0;
    double m_stiffness = 0;
    double m_damping = 0;
    double m_tolerance;
    bool m_settled = true;
};
