#include "app/settings/AppSettings.h"

namespace zn {

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Stores `value`; reports whether it was a real change so the caller tells
// its observers only then.
template<typename T>
bool assign(T &field, T value)
{
    const bool changed = field != value;
    field = value;
    return changed;
}

} // namespace

AppSettings::AppSettings(UserDefaults *defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults ? defaults : &UserDefaults::standard())
{
    // Loading writes nothing back: an untouched key stays absent.
    m_appearance = appearancePreferenceFromRaw(m_defaults->string(key(kAppearanceKey)))
                       .value_or(AppearancePreference::System);
    m_palette = colorPalettePreferenceFromRaw(m_defaults->string(key(kPaletteKey)))
                    .value_or(ColorPalettePreference::Warm);
    m_hasCompletedOnboarding = m_defaults->boolean(key(kOnboardingCompletedKey));
    const QString analysisKey = key(kEnhancedAnalysisEnabledKey);
    m_enhancedAnalysisEnabled = m_defaults->contains(analysisKey) ? m_defaults->boolean(analysisKey) : true;
}

void AppSettings::setAppearance(AppearancePreference appearance)
{
    const bool changed = assign(m_appearance, appearance);
    m_defaults->setValue(key(kAppearanceKey), rawValue(appearance));
    if (changed)
        Q_EMIT appearanceChanged(appearance);
}

void AppSettings::setPalette(ColorPalettePreference palette)
{
    const bool changed = assign(m_palette, palette);
    m_defaults->setValue(key(kPaletteKey), rawValue(palette));
    if (changed)
        Q_EMIT paletteChanged(palette);
}

void AppSettings::setHasCompletedOnboarding(bool completed)
{
    const bool changed = assign(m_hasCompletedOnboarding, completed);
    m_defaults->setValue(key(kOnboardingCompletedKey), completed);
    if (changed)
        Q_EMIT hasCompletedOnboardingChanged(completed);
}

void AppSettings::setEnhancedAnalysisEnabled(bool enabled)
{
    const bool changed = assign(m_enhancedAnalysisEnabled, enabled);
    m_defaults->setValue(key(kEnhancedAnalysisEnabledKey), enabled);
    if (changed)
        Q_EMIT enhancedAnalysisEnabledChanged(enabled);
}

} // namespace zn
