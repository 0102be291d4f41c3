#include "views/voice/VoiceOrb.h"

#include "app/theme/ThemeScope.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace zn {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

// A disk of `radius` softened by a Gaussian of `sigma`: the opacity at each
// distance is the share of the blur kernel that falls inside the disk edge
// (good enough for radii well above sigma). It reaches radius + 3 sigma.
QRadialGradient softDisk(QPointF centre, double radius, double sigma, const QColor &color, double opacity)
{
    const double outer = radius + 3.0 * sigma;
    QRadialGradient gradient(centre, outer);
    // An orb laid out with no room yet has nothing to soften (and its stops
    // would fall at 0/0).
    if (!(outer > 0.0)) {
        gradient.setColorAt(0.0, Qt::transparent);
        return gradient;
    }
    constexpr int kStops = 14;
    const double from = std::max(0.0, radius - 3.0 * sigma);
    gradient.setColorAt(0.0, withAlpha(color, opacity));
    for (int i = 0; i <= kStops; ++i) {
        const double d = from + (outer - from) * i / kStops;
        const double share = 0.5 * std::erfc((d - radius) / (sigma * std::sqrt(2.0)));
        // Rounding can put the last stop a hair past the edge.
        gradient.setColorAt(std::clamp(d / outer, 0.0, 1.0), withAlpha(color, opacity * share));
    }
    return gradient;
}

// How far the orb's parts reach from its centre before any scaling: the
// halo's blur, the core's shadow 10 down with its blur, the level bar.
double fullReach(const VoiceOrbGeometry &g)
{
    return std::max({g.haloDiameter / 2.0 + 1.5 * kOrbHaloBlur, g.diameter / 2.0 + 10 + 1.5 * g.shadowRadius,
                     g.showsLevelBar ? kOrbLevelBarOffset + g.levelBarHeight / 2 : 0.0});
}

} // namespace

VoiceOrb::VoiceOrb(QWidget *parent)
    : QWidget(parent)
    , m_spring(kSpringResponse, kSpringDamping, kOrbRestLevel)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAccessibleName(voiceOrbAccessibilityLabel(m_phase, m_energy));
    m_frameTimer.setInterval(16);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &VoiceOrb::frame);
}

void VoiceOrb::setPhase(VoicePhase phase)
{
    if (m_phase == phase)
        return;
    // The spring starts from whatever the breath had reached.
    if (breathing())
        m_spring.snapTo(breathLevel());
    m_phase = phase;
    retarget();
}

void VoiceOrb::setEnergy(double energy)
{
    energy = clampedEnergy(energy);
    if (m_energy == energy)
        return;
    m_energy = energy;
    retarget();
}

void VoiceOrb::setSentiment(double sentiment)
{
    if (!std::isfinite(sentiment) || m_sentiment == sentiment)
        return;
    m_sentiment = sentiment;
    updateOrb();
}

void VoiceOrb::setReduceMotion(bool on)
{
    if (m_reduceMotion == on)
        return;
    m_reduceMotion = on;
    retarget();
}

void VoiceOrb::setBreath(bool on)
{
    if (m_breath == on)
        return;
    m_breath = on;
    m_breathClock.start();
    retarget();
}

double VoiceOrb::targetLevel() const
{
    return voiceOrbLevel(m_phase, m_energy, m_breath, m_reduceMotion);
}

bool VoiceOrb::breathing() const
{
    return m_phase != VoicePhase::recording && m_breath && !m_reduceMotion;
}

double VoiceOrb::breathLevel() const
{
    const double seconds = m_breathClock.isValid() ? m_breathClock.elapsed() / 1000.0 : 0.0;
    return kOrbRestLevel + (kOrbBreathLevel - kOrbRestLevel) * breathProgress(seconds, kBreathHalfPeriod);
}

double VoiceOrb::shownLevel() const
{
    if (breathing() && m_spring.isSettled())
        return breathLevel();
    return m_spring.value();
}

VoiceOrbGeometry VoiceOrb::geometry() const
{
    return voiceOrbGeometry(shownLevel(), m_phase, m_energy, m_reduceMotion);
}

void VoiceOrb::retarget()
{
    setAccessibleName(voiceOrbAccessibilityLabel(m_phase, m_energy));
    if (m_reduceMotion) {
        m_spring.snapTo(targetLevel());
    } else if (breathing()) {
        // The breath drives the level itself; the spring only finishes a
        // swing that was under way.
        m_spring.setTarget(breathLevel());
    } else {
        m_spring.setTarget(targetLevel());
    }
    updateAnimation();
    updateIfMoved();
}

void VoiceOrb::updateAnimation()
{
    const bool moving = isVisible() && !m_reduceMotion && (breathing() || !m_spring.isSettled());
    if (moving && !m_frameTimer.isActive()) {
        m_frameClock.start();
        m_frameTimer.start();
    } else if (!moving) {
        m_frameTimer.stop();
    }
}

void VoiceOrb::frame()
{
    const double seconds = m_frameClock.restart() / 1000.0;
    if (breathing())
        m_spring.setTarget(breathLevel());
    m_spring.advance(seconds);
    updateAnimation();
    updateIfMoved();
}

double VoiceOrb::fitScale(const VoiceOrbGeometry &g) const
{
    // In a cramped window the whole orb shrinks rather than its glow being
    // cut off at the widget's edge (the glow's faint outer tail may be).
    const double extent = std::max({g.haloDiameter / 2.0 + kOrbHaloBlur / 2.0, g.diameter / 2.0 + 10 + g.shadowRadius,
                                     g.showsLevelBar ? kOrbLevelBarOffset + g.levelBarHeight / 2 + 2 : 0.0});
    const double room = std::min(width(), height()) / 2.0;
    return extent > room && room > 0 ? room / extent : 1.0;
}

QRect VoiceOrb::orbArea(const VoiceOrbGeometry &g) const
{
    // Two pixels more for the antialiased edges.
    const double reach = fullReach(g) * fitScale(g) + 2.0;
    const QPointF centre = QRectF(rect()).center();
    return QRectF(centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)).toAlignedRect() & rect();
}

void VoiceOrb::updateOrb()
{
    const VoiceOrbGeometry now = geometry();
    update(m_drawn ? orbArea(now).united(orbArea(*m_drawn)) : orbArea(now));
}

void VoiceOrb::updateIfMoved()
{
    const VoiceOrbGeometry now = geometry();
    if (m_drawn && std::abs(now.diameter - m_drawn->diameter) < kVisibleStep
        && now.showsLevelBar == m_drawn->showsLevelBar
        && std::abs(now.levelBarHeight - m_drawn->levelBarHeight) < kVisibleStep)
        return;
    updateOrb();
}

void VoiceOrb::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // One step per frame of the display the window is on, and no more.
    const QScreen *display = screen();
    const double rate = display && display->refreshRate() >= 1.0 ? display->refreshRate() : 60.0;
    m_frameTimer.setInterval(std::max(1, int(std::ceil(1000.0 / rate))));
    updateAnimation();
}

void VoiceOrb::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_frameTimer.stop();
}

void VoiceOrb::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor mood = theme.sentimentColor(m_sentiment);
    const VoiceOrbGeometry g = geometry();
    m_drawn = g;
    const QPointF centre = QRectF(rect()).center();
    const double radius = g.diameter / 2.0;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double scale = fitScale(g);
    if (scale < 1.0) {
        painter.translate(centre);
        painter.scale(scale, scale);
        painter.translate(-centre);
    }

    // Halo, blurred.
    const double haloRadius = g.haloDiameter / 2.0;
    const double haloSigma = kOrbHaloBlur / 2.0;
    painter.setBrush(softDisk(centre, haloRadius, haloSigma, mood, 0.12));
    painter.drawEllipse(centre, haloRadius + 3 * haloSigma, haloRadius + 3 * haloSigma);

    // The core's shadow, 10 down.
    const double shadowSigma = g.shadowRadius / 2.0;
    const QPointF shadowCentre = centre + QPointF(0, 10);
    painter.setBrush(softDisk(shadowCentre, radius, shadowSigma, mood, g.shadowOpacity));
    painter.drawEllipse(shadowCentre, radius + 3 * shadowSigma, radius + 3 * shadowSigma);

    // Core: from the mood at its heart through the accent to the deep
    // backdrop colour, starting 8 out from the centre.
    QRadialGradient core(centre, g.diameter * 0.55, centre, 8.0);
    core.setColorAt(0.0, withAlpha(mood, 0.95));
    core.setColorAt(0.5, withAlpha(theme.accent(), 0.55));
    core.setColorAt(1.0, withAlpha(theme.backgroundDeep(), 0.12));
    painter.setBrush(core);
    painter.drawEllipse(centre, radius, radius);

    if (g.showsLevelBar) {
        const QRectF bar(centre.x() - kOrbLevelBarWidth / 2, centre.y() + kOrbLevelBarOffset - g.levelBarHeight / 2,
                         kOrbLevelBarWidth, g.levelBarHeight);
        painter.setBrush(theme.accent());
        painter.drawRoundedRect(bar, kOrbLevelBarWidth / 2, kOrbLevelBarWidth / 2);
    }
}

} // namespace zn
