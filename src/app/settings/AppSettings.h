#pragma once

#include "app/settings/AppearancePreference.h"
#include "platform/base/UserDefaults.h"

#include <QObject>

namespace zn {

// The user's preferences, loaded from the user defaults once at start-up and
// written back on every assignment. Observers hear only of real changes.
// Lives on the main thread.
class AppSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding WRITE setHasCompletedOnboarding NOTIFY
                   hasCompletedOnboardingChanged)
    Q_PROPERTY(bool enhancedAnalysisEnabled READ enhancedAnalysisEnabled WRITE setEnhancedAnalysisEnabled NOTIFY
                   enhancedAnalysisEnabledChanged)
public:
    static constexpr auto kAppearanceKey = "settings.appearance";
    static constexpr auto kPaletteKey = "settings.palette";
    static constexpr auto kOnboardingCompletedKey = "settings.onboardingCompleted";
    static constexpr auto kEnhancedAnalysisEnabledKey = "settings.enhancedAnalysisEnabled";

    // `defaults` must outlive the settings; the standard user defaults if null.
    explicit AppSettings(UserDefaults *defaults = nullptr, QObject *parent = nullptr);

    // Any stored text other than the exact raw values reads as `System`.
    AppearancePreference appearance() const { return m_appearance; }
    void setAppearance(AppearancePreference appearance);

    // Any stored text other than exactly "cool" reads as `Warm`.
    ColorPalettePreference palette() const { return m_palette; }
    void setPalette(ColorPalettePreference palette);

    // Off until the first-run steps are finished.
    bool hasCompletedOnboarding() const { return m_hasCompletedOnboarding; }
    void setHasCompletedOnboarding(bool completed);

    // On when the key was never written, so an untouched switch is on and a
    // switch turned off stays off.
    bool enhancedAnalysisEnabled() const { return m_enhancedAnalysisEnabled; }
    void setEnhancedAnalysisEnabled(bool enabled);

Q_SIGNALS:
    void appearanceChanged(zn::AppearancePreference appearance);
    void paletteChanged(zn::ColorPalettePreference palette);
    void hasCompletedOnboardingChanged(bool completed);
    void enhancedAnalysisEnabledChanged(bool enabled);

private:
    UserDefaults *m_defaults;
    AppearancePreference m_appearance = AppearancePreference::System;
    ColorPalettePreference m_palette = ColorPalettePreference::Warm;
    bool m_hasCompletedOnboarding = false;
    bool m_enhancedAnalysisEnabled = true;
};

} // namespace zn
