#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QRectF>

class QPainter;

namespace zn {

// Draws the window backdrop into `rect`: the theme's plain `surface` when
// `plainSurface` is set (reduced transparency or increased contrast), else
// the diagonal three-stop gradient with an accent glow from the top-right
// corner and a faint mood glow from the bottom-left one. Needs no widgets.
void paintClimate(QPainter &painter, const QRectF &rect, const ZephyrTheme &theme, bool plainSurface);

// Radii of the two glows, in logical pixels.
inline constexpr double kAccentGlowStartRadius = 20;
inline constexpr double kAccentGlowEndRadius = 520;
inline constexpr double kMoodGlowStartRadius = 10;
inline constexpr double kMoodGlowEndRadius = 480;
// The score whose colour tints the bottom-left glow.
inline constexpr double kMoodGlowScore = 0.15;

} // namespace zn
