#include "views/voice/OrbMotion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zn {

namespace {

constexpr double kStep = 1.0 / 240.0;
constexpr double kRestDistance = 1e-4;
constexpr double kRestSpeed = 1e-3;
// A frame later than this is treated as this long: after a stall the orb
// continues instead of jumping.
constexpr double kLongestFrame = 0.25;

// The cubic Bézier (0.42, 0) (0.58, 1) of the usual ease-in-out, solved for x.
double easeInOut(double x)
{
    auto bezier = [](double a, double b, double t) {
        const double u = 1.0 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    };
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 40; ++i) {
        const double mid = (lo + hi) / 2;
        (bezier(0.42, 0.58, mid) < x ? lo : hi) = mid;
    }
    return bezier(0.0, 1.0, (lo + hi) / 2);
}

} // namespace

SpringAnimator::SpringAnimator(double response, double dampingFraction, double value)
    : m_value(value)
    , m_target(value)
{
    const double omega = 2.0 * std::numbers::pi / std::max(response, 0.01);
    m_stiffness = omega * omega;
    m_damping = 2.0 * std::clamp(dampingFraction, 0.0, 4.0) * omega;
}

void SpringAnimator::setTarget(double target)
{
    if (std::isfinite(target))
        m_target = target;
}

void SpringAnimator::snapTo(double value)
{
    if (!std::isfinite(value))
        return;
    m_value = value;
    m_target = value;
    m_velocity = 0.0;
}

bool SpringAnimator::advance(double seconds)
{
    if (!(seconds > 0.0))
        return !isSettled();
    double left = std::min(seconds, kLongestFrame);
    while (left > 0.0 && !isSettled()) {
        const double dt = std::min(kStep, left);
        const double force = -m_stiffness * (m_value - m_target) - m_damping * m_velocity;
        m_velocity += force * dt; // semi-implicit Euler: stable at this step
        m_value += m_velocity * dt;
        left -= dt;
    }
    if (isSettled()) {
        m_value = m_target;
        m_velocity = 0.0;
        return false;
    }
    return true;
}

bool SpringAnimator::isSettled() const
{
    return std::abs(m_value - m_target) < kRestDistance && std::abs(m_velocity) < kRestSpeed;
}

double breathProgress(double secondsSinceStart, double halfPeriod)
{
    if (!(secondsSinceStart > 0.0) || !(halfPeriod > 0.0) || !std::isfinite(secondsSinceStart))
        return 0.0;
    const double cycle = std::fmod(secondsSinceStart, 2.0 * halfPeriod) / halfPeriod; // 0..2
    const double x = cycle <= 1.0 ? cycle : 2.0 - cycle;
    return easeInOut(x);
}

} // namespace zn
