#pragma once

#include <QString>

#include <array>
#include <optional>

namespace zn {

// The scheme a window is drawn in.
enum class ColorScheme { Light, Dark };

// The user's appearance choice; stored by its raw value.
enum class AppearancePreference { System, Light, Dark };

// The user's colour palette; stored by its raw value.
enum class ColorPalettePreference { Warm, Cool };

constexpr std::array<AppearancePreference, 3> allAppearancePreferences()
{
    return {AppearancePreference::System, AppearancePreference::Light, AppearancePreference::Dark};
}

constexpr std::array<ColorPalettePreference, 2> allColorPalettePreferences()
{
    return {ColorPalettePreference::Warm, ColorPalettePreference::Cool};
}

// "system", "light", "dark" / "warm", "cool".
QString rawValue(AppearancePreference appearance);
QString rawValue(ColorPalettePreference palette);

// Exact, case-sensitive match; any other text gives no value.
std::optional<AppearancePreference> appearancePreferenceFromRaw(const QString &raw);
std::optional<ColorPalettePreference> colorPalettePreferenceFromRaw(const QString &raw);

// The scheme the choice forces, or none when it follows the system.
std::optional<ColorScheme> colorScheme(AppearancePreference appearance);

} // namespace zn
