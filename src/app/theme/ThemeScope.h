#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace zn {

class AppSettings;
class SystemAppearance;

// The accessibility wishes a themed view reads.
struct AccessibilityPreferences
{
    bool reduceMotion = false;
    bool reduceTransparency = false;
    bool increasedContrast = false;
    friend bool operator==(const AccessibilityPreferences &, const AccessibilityPreferences &) = default;
};

// The theme the settings ask for: their palette, and their appearance's
// scheme or, for `System`, the desktop's. No settings: warm in the
// desktop's scheme.
ZephyrTheme themeFollowing(const AppSettings *settings, const SystemAppearance &system);

// Supplies the theme to one widget and everything under it (a window, or any
// subtree that needs another theme). Every view asks `themeFor(this)` at
// paint time; on a change the scope gives its host a palette made from the
// theme and repaints every widget below it, so no view keeps a copy.
//
// The scope is a child of its host and dies with it. Two ways to make one:
// following the settings (palette from `AppSettings.palette`, scheme from
// `AppSettings.appearance`, or from the system when that is `System`), or
// with a fixed theme.
//
// The application palette (dialogs, menus, file dialogs) follows the
// settings through `ApplicationPalette`, not through a scope.
class ThemeScope : public QObject
{
    Q_OBJECT
public:
    // `system` null means `SystemAppearance::shared()`. Neither is owned;
    // both must outlive the scope or be destroyed with it.
    ThemeScope(QWidget *host, AppSettings *settings, SystemAppearance *system = nullptr);
    ThemeScope(QWidget *host, const ZephyrTheme &fixed, SystemAppearance *system = nullptr);
    ~ThemeScope() override;

    QWidget *host() const { return m_host; }
    ZephyrTheme theme() const { return m_theme; }
    AccessibilityPreferences accessibility() const;

    // Pins the theme (the scope stops following the settings), or with
    // `std::nullopt` follows them again where settings were given.
    void setFixedTheme(std::optional<ZephyrTheme> theme);

    // The scope nearest above `widget`, counting the widget itself; null when
    // none.
    static ThemeScope *find(const QWidget *widget);
    // The theme of the nearest scope; warm and light when there is none.
    static ZephyrTheme themeFor(const QWidget *widget);
    // The wishes the nearest scope reads, else the shared system provider's.
    static AccessibilityPreferences accessibilityFor(const QWidget *widget);

Q_SIGNALS:
    void themeChanged(const zn::ZephyrTheme &theme);
    void accessibilityChanged(const zn::AccessibilityPreferences &preferences);

private:
    void recompute();
    void onSystemChanged();
    void repaintAll();
    ZephyrTheme followedTheme() const;

    QPointer<QWidget> m_host;
    QPointer<AppSettings> m_settings;
    QPointer<SystemAppearance> m_system;
    std::optional<ZephyrTheme> m_fixed;
    ZephyrTheme m_theme;
    AccessibilityPreferences m_accessibility;
};

} // namespace zn
