#pragma once

#include "views/voice/OrbMotion.h"
#include "views/voice/VoiceScreenLogic.h"

#include <QElapsedTimer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace zn {

// The glowing orb of the dictation stage: it breathes while nothing is being
// recorded, swells with the microphone level while recording (following it
// on a spring) and takes the colour of the live mood. Under reduce motion it
// holds still at a smaller size and a level bar shows the energy instead.
class VoiceOrb : public QWidget
{
    Q_OBJECT
public:
    // Spring of the level changes.
    static constexpr double kSpringResponse = 0.25;
    static constexpr double kSpringDamping = 0.7;
    // Each half of a breath, in seconds.
    static constexpr double kBreathHalfPeriod = 3.5;
    // The least change of diameter worth drawing: an eighth of a pixel at
    // the edge. The breath moves the orb by under 4 pixels in 3.5 s, so it
    // is drawn a few times a second, not at every frame.
    static constexpr double kVisibleStep = 0.25;

    explicit VoiceOrb(QWidget *parent = nullptr);

    void setPhase(VoicePhase phase);
    void setEnergy(double energy);
    void setSentiment(double sentiment);
    void setReduceMotion(bool on);
    // Turned on when the screen comes into view (ignored under reduce motion).
    void setBreath(bool on);

    VoicePhase phase() const { return m_phase; }
    bool breath() const { return m_breath && !m_reduceMotion; }
    bool reduceMotion() const { return m_reduceMotion; }
    // Where the level is heading, and where it is drawn now.
    double targetLevel() const;
    double shownLevel() const;
    VoiceOrbGeometry geometry() const;
    bool isAnimating() const { return m_frameTimer.isActive(); }
    // The animation's frame interval: the display's frame rate at most.
    int frameInterval() const { return m_frameTimer.interval(); }
    // The part of the widget the orb, its glow and its shadow cover when
    // drawn at `g`.
    QRect orbArea(const VoiceOrbGeometry &g) const;

    QSize sizeHint() const override { return {300, 300}; }
    QSize minimumSizeHint() const override { return {200, 200}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void retarget();
    void frame();
    // Asks for a repaint of the orb's old and new place.
    void updateOrb();
    // The same, only when what it would
    // draw now differs visibly from what it drew last.
    void updateIfMoved();
    // The scale that fits the orb into the widget, and its reach from the
    // centre before scaling.
    double fitScale(const VoiceOrbGeometry &g) const;
    void updateAnimation();
    bool breathing() const;
    double breathLevel() const;

    VoicePhase m_phase = VoicePhase::idle;
    double m_energy = 0.0;
    double m_sentiment = 0.0;
    bool m_reduceMotion = false;
    bool m_breath = false;
    SpringAnimator m_spring;
    QElapsedTimer m_breathClock;
    QElapsedTimer m_frameClock;
    QTimer m_frameTimer;
    // What the last paint drew.
    std::optional<VoiceOrbGeometry> m_drawn;
};

} // namespace zn
