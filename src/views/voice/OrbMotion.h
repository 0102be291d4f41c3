#pragma once

namespace zn {

// A damped spring that pulls a value toward its target, stepped by hand so
// the motion is the same on every machine and testable without a clock.
// `response` is the period of the undamped spring in seconds; a damping
// fraction below 1 overshoots a little before settling.
class SpringAnimator
{
public:
    SpringAnimator(double response, double dampingFraction, double value = 0.0);

    double value() const { return m_value; }
    double target() const { return m_target; }
    double velocity() const { return m_velocity; }
    // Non-finite targets are ignored.
    void setTarget(double target);
    // Jumps to `value` and stops there.
    void snapTo(double value);
    // Moves the spring on by `seconds` (in small fixed steps, so a late frame
    // does not make it unstable). Returns true while it is still moving.
    bool advance(double seconds);
    bool isSettled() const;

private:
    double m_stiffness;
    double m_damping;
    double m_value;
    double m_target;
    double m_velocity = 0.0;
};

// The orb's breath: 0 at rest, 1 fully drawn in, easing in and out over each
// half of a `period`-second cycle that reverses and repeats forever.
double breathProgress(double secondsSinceStart, double halfPeriod);

} // namespace zn
