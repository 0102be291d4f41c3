#include "app/settings/AppearancePreference.h"

namespace zn {

QString rawValue(AppearancePreference appearance)
{
    switch (appearance) {
    case AppearancePreference::System: return QStringLiteral("system");
    case AppearancePreference::Light: return QStringLiteral("light");
    case AppearancePreference::Dark: return QStringLiteral("dark");
    }
    return QStringLiteral("system");
}

QString rawValue(ColorPalettePreference palette)
{
    switch (palette) {
    case ColorPalettePreference::Warm: return QStringLiteral("warm");
    case ColorPalettePreference::Cool: return QStringLiteral("cool");
    }
    return QStringLiteral("warm");
}

std::optional<AppearancePreference> appearancePreferenceFromRaw(const QString &raw)
{
    for (AppearancePreference appearance : allAppearancePreferences())
        if (rawValue(appearance) == raw)
            return appearance;
    return std::nullopt;
}

std::optional<ColorPalettePreference> colorPalettePreferenceFromRaw(const QString &raw)
{
    for (ColorPalettePreference palette : allColorPalettePreferences())
        if (rawValue(palette) == raw)
            return palette;
    return std::nullopt;
}

std::optional<ColorScheme> colorScheme(AppearancePreference appearance)
{
    switch (appearance) {
    case AppearancePreference::System: return std::nullopt;
    case AppearancePreference::Light: return ColorScheme::Light;
    case AppearancePreference::Dark: return ColorScheme::Dark;
    }
    return std::nullopt;
}

} // namespace zn
