#include "app/theme/ZephyrTheme.h"

#include <algorithm>
#include <cmath>

namespace zn {

namespace {

struct Rgba
{
    float r, g, b, a = 1.0f;
};

// One colour in each of the four palette-and-scheme combinations.
struct Swatch
{
    Rgba warmLight, warmDark, coolLight, coolDark;
};

QColor toColor(const Rgba &c)
{
    return QColor::fromRgbF(c.r, c.g, c.b, c.a);
}

QColor pick(const ZephyrTheme &theme, const Swatch &swatch)
{
    const bool warm = theme.palette == ColorPalettePreference::Warm;
    if (theme.isDark())
        return toColor(warm ? swatch.warmDark : swatch.coolDark);
    return toColor(warm ? swatch.warmLight : swatch.coolLight);
}

// Black in the light scheme, white in the dark one.
QColor schemeInk(const ZephyrTheme &theme, float lightOpacity, float darkOpacity)
{
    return theme.isDark() ? QColor::fromRgbF(1, 1, 1, darkOpacity) : QColor::fromRgbF(0, 0, 0, lightOpacity);
}

constexpr Swatch kBackground{{0.98f, 0.93f, 0.86f}, {0.14f, 0.10f, 0.08f}, {0.90f, 0.95f, 0.97f}, {0.05f, 0.08f, 0.12f}};
constexpr Swatch kBackgroundMid{{0.96f, 0.90f, 0.82f}, {0.16f, 0.11f, 0.09f}, {0.88f, 0.93f, 0.96f}, {0.07f, 0.11f, 0.15f}};
constexpr Swatch kBackgroundDeep{{0.92f, 0.84f, 0.74f}, {0.20f, 0.13f, 0.10f}, {0.82f, 0.89f, 0.93f}, {0.08f, 0.13f, 0.18f}};
constexpr Swatch kAccent{{0.72f, 0.42f, 0.22f}, {0.92f, 0.62f, 0.38f}, {0.22f, 0.48f, 0.58f}, {0.45f, 0.78f, 0.88f}};
constexpr Swatch kSurface{{0.98f, 0.95f, 0.91f}, {0.13f, 0.10f, 0.09f}, {0.95f, 0.97f, 0.98f}, {0.09f, 0.11f, 0.14f}};
constexpr Swatch kPaper{{1.0f, 0.985f, 0.96f}, {0.17f, 0.14f, 0.12f}, {0.99f, 1.0f, 1.0f}, {0.12f, 0.15f, 0.18f}};
constexpr Swatch kCardFill{{1.0f, 0.99f, 0.97f, 0.92f}, {1, 1, 1, 0.055f}, {1, 1, 1, 0.88f}, {1, 1, 1, 0.06f}};
constexpr Swatch kPanelFill{{1, 1, 1, 0.78f}, {1, 1, 1, 0.07f}, {1, 1, 1, 0.82f}, {1, 1, 1, 0.08f}};

} // namespace

QColor ZephyrTheme::background() const { return pick(*this, kBackground); }
QColor ZephyrTheme::backgroundMid() const { return pick(*this, kBackgroundMid); }
QColor ZephyrTheme::backgroundDeep() const { return pick(*this, kBackgroundDeep); }
QColor ZephyrTheme::accent() const { return pick(*this, kAccent); }
QColor ZephyrTheme::surface() const { return pick(*this, kSurface); }
QColor ZephyrTheme::paper() const { return pick(*this, kPaper); }
QColor ZephyrTheme::cardFill() const { return pick(*this, kCardFill); }
QColor ZephyrTheme::panelFill() const { return pick(*this, kPanelFill); }

QColor ZephyrTheme::ink() const { return schemeInk(*this, 0.88f, 0.92f); }
QColor ZephyrTheme::inkSecondary() const { return schemeInk(*this, 0.48f, 0.55f); }
QColor ZephyrTheme::inkTertiary() const { return schemeInk(*this, 0.34f, 0.38f); }
QColor ZephyrTheme::hairline() const { return schemeInk(*this, 0.08f, 0.10f); }

QColor ZephyrTheme::sentimentColor(double score) const
{
    // Imported or hand-edited entries can carry any number; outside [-1, 1]
    // the ramps leave the colour range, so clamp first. NaN is the stormy end,
    // as it is for the weather label.
    const double s = std::isnan(score) ? -1.0 : std::clamp(score, -1.0, 1.0);
    const double t = (s + 1.0) * 0.5;
    const bool lower = t < 0.5;
    if (palette == ColorPalettePreference::Warm) {
        return lower ? QColor::fromRgbF(0.45f + 0.3f * float(t), 0.28f, 0.35f)
                     : QColor::fromRgbF(0.85f, 0.45f + 0.5f * float(t - 0.5), 0.18f);
    }
    return lower ? QColor::fromRgbF(0.35f, 0.30f, 0.65f - 0.2f * float(t))
                 : QColor::fromRgbF(0.25f, 0.55f + 0.4f * float(t - 0.5), 0.70f);
}

QColor ZephyrTheme::weatherColor(WeatherLabel label)
{
    switch (label) {
    case WeatherLabel::Sunny: return QColor::fromRgbF(0.92f, 0.68f, 0.22f);
    case WeatherLabel::PartlyCloudy: return QColor::fromRgbF(0.55f, 0.68f, 0.78f);
    case WeatherLabel::Overcast: return QColor::fromRgbF(0.55f, 0.58f, 0.62f);
    case WeatherLabel::Rainy: return QColor::fromRgbF(0.38f, 0.52f, 0.72f);
    case WeatherLabel::Stormy: return QColor::fromRgbF(0.48f, 0.36f, 0.62f);
    }
    return QColor::fromRgbF(0.48f, 0.36f, 0.62f);
}

} // namespace zn
