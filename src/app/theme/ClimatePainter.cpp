#include "app/theme/ClimatePainter.h"

#include <QPainter>
#include <QRadialGradient>

namespace zn {

namespace {

// A glow from `centre`: solid out to `startRadius`, fading to nothing at
// `endRadius`. The clear end keeps the colour's own RGB so the fade shows no
// grey fringe.
void paintGlow(QPainter &painter, const QRectF &rect, QPointF centre, QColor colour, double startRadius,
               double endRadius)
{
    QColor clear = colour;
    clear.setAlphaF(0);
    QRadialGradient glow(centre, endRadius);
    glow.setColorAt(0, colour);
    glow.setColorAt(startRadius / endRadius, colour);
    glow.setColorAt(1, clear);
    painter.fillRect(rect, glow);
}

} // namespace

void paintClimate(QPainter &painter, const QRectF &rect, const ZephyrTheme &theme, bool plainSurface)
{
    painter.save();
    if (plainSurface) {
        painter.fillRect(rect, theme.surface());
        painter.restore();
        return;
    }
    QLinearGradient climate(rect.topLeft(), rect.bottomRight());
    climate.setColorAt(0, theme.background());
    climate.setColorAt(0.5, theme.backgroundMid());
    climate.setColorAt(1, theme.backgroundDeep());
    painter.fillRect(rect, climate);

    QColor accent = theme.accent();
    accent.setAlphaF(theme.isDark() ? 0.12f : 0.08f);
    paintGlow(painter, rect, rect.topRight(), accent, kAccentGlowStartRadius, kAccentGlowEndRadius);

    QColor mood = theme.sentimentColor(kMoodGlowScore);
    mood.setAlphaF(theme.isDark() ? 0.10f : 0.06f);
    paintGlow(painter, rect, rect.bottomLeft(), mood, kMoodGlowStartRadius, kMoodGlowEndRadius);
    painter.restore();
}

} // namespace zn
