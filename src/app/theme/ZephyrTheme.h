#pragma once

#include "app/settings/AppearancePreference.h"
#include "core/WeatherLabel.h"

#include <QColor>

namespace zn {

// The colours of one palette in one colour scheme. A plain value that needs
// no widgets, so the PDF report draws with the same rules as the windows.
// Colours are computed on demand and never stored. The default value is the
// warm palette in the light scheme: what a view gets with no theme around it.
struct ZephyrTheme
{
    ColorPalettePreference palette = ColorPalettePreference::Warm;
    ColorScheme colorScheme = ColorScheme::Light;

    bool isDark() const { return colorScheme == ColorScheme::Dark; }

    // The same palette in another scheme (the PDF report is always light).
    ZephyrTheme withColorScheme(ColorScheme scheme) const { return {palette, scheme}; }

    // The three stops of the window's climate gradient; `background` is also
    // the colour of the window chrome.
    QColor background() const;
    QColor backgroundMid() const;
    QColor backgroundDeep() const;
    // Buttons, selected states, icons and emphasised text.
    QColor accent() const;
    // The plain opaque backdrop, behind lists and panels and in place of the
    // gradient when transparency is reduced or contrast increased.
    QColor surface() const;
    // Reading and writing areas.
    QColor paper() const;
    // The translucent fill of a timeline card.
    QColor cardFill() const;
    // The fill of cards and panels on the weather, calendar, voice,
    // onboarding and settings screens.
    QColor panelFill() const;

    // Text and line inks; they depend on the scheme only.
    QColor ink() const;          // titles, entry text
    QColor inkSecondary() const; // captions, phrases, muted chips
    QColor inkTertiary() const;  // section labels, day headings
    QColor hairline() const;     // thin borders and separators

    // The same inks under the names the weather, calendar, voice, onboarding
    // and settings screens use.
    QColor primaryInk() const { return ink(); }
    QColor secondaryInk() const { return inkSecondary(); }
    QColor faintInk() const { return inkTertiary(); }
    QColor panelBorder() const { return hairline(); }

    // The colour of a mood score; depends on the palette only. Negative
    // scores and the rest are drawn by two separate ramps with a step at 0.
    // A score outside [-1, 1] is clamped and NaN counts as -1, so the result
    // is always a valid opaque colour.
    QColor sentimentColor(double score) const;

    // The colour of a weather; the same in every palette and scheme.
    static QColor weatherColor(WeatherLabel label);

    friend bool operator==(const ZephyrTheme &, const ZephyrTheme &) = default;
};

} // namespace zn
