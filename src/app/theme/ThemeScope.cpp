#include "app/theme/ThemeScope.h"

#include "app/settings/AppSettings.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemePalette.h"

#include <QWidget>

namespace zn {

namespace {

// The host remembers its scope in a property, so finding the nearest scope
// at paint time is one lookup per ancestor.
constexpr auto kScopeProperty = "zn.themeScope";

AccessibilityPreferences preferencesOf(const SystemAppearance &system)
{
    return {system.reduceMotion(), system.reduceTransparency(), system.increasedContrast()};
}

} // namespace

ThemeScope::ThemeScope(QWidget *host, AppSettings *settings, SystemAppearance *system)
    : QObject(host)
    , m_host(host)
    , m_settings(settings)
    , m_system(system ? system : &SystemAppearance::shared())
{
    Q_ASSERT(host);
    host->setProperty(kScopeProperty, QVariant::fromValue(static_cast<QObject *>(this)));
    if (m_settings) {
        connect(m_settings, &AppSettings::appearanceChanged, this, &ThemeScope::recompute);
        connect(m_settings, &AppSettings::paletteChanged, this, &ThemeScope::recompute);
    }
    connect(m_system, &SystemAppearance::changed, this, &ThemeScope::onSystemChanged);
    m_theme = followedTheme();
    m_accessibility = preferencesOf(*m_system);
    m_host->setPalette(makePalette(m_theme));
}

ThemeScope::ThemeScope(QWidget *host, const ZephyrTheme &fixed, SystemAppearance *system)
    : ThemeScope(host, nullptr, system)
{
    setFixedTheme(fixed);
}

ThemeScope::~ThemeScope()
{
    if (m_host && m_host->property(kScopeProperty).value<QObject *>() == this)
        m_host->setProperty(kScopeProperty, QVariant());
}

AccessibilityPreferences ThemeScope::accessibility() const
{
    return m_accessibility;
}

void ThemeScope::setFixedTheme(std::optional<ZephyrTheme> theme)
{
    m_fixed = theme;
    recompute();
}

ThemeScope *ThemeScope::find(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *scope = qobject_cast<ThemeScope *>(w->property(kScopeProperty).value<QObject *>()))
            return scope;
    }
    return nullptr;
}

ZephyrTheme ThemeScope::themeFor(const QWidget *widget)
{
    const ThemeScope *scope = find(widget);
    return scope ? scope->theme() : ZephyrTheme{};
}

AccessibilityPreferences ThemeScope::accessibilityFor(const QWidget *widget)
{
    if (const ThemeScope *scope = find(widget))
        return scope->accessibility();
    return preferencesOf(SystemAppearance::shared());
}

ZephyrTheme themeFollowing(const AppSettings *settings, const SystemAppearance &system)
{
    ZephyrTheme theme;
    theme.colorScheme = system.colorScheme();
    if (settings) {
        theme.palette = settings->palette();
        // A chosen light or dark wins over the desktop for our windows.
        theme.colorScheme = colorScheme(settings->appearance()).value_or(theme.colorScheme);
    }
    return theme;
}

ZephyrTheme ThemeScope::followedTheme() const
{
    if (m_fixed)
        return *m_fixed;
    return themeFollowing(m_settings, m_system ? *m_system : SystemAppearance::shared());
}

void ThemeScope::recompute()
{
    const ZephyrTheme next = followedTheme();
    if (next == m_theme)
        return;
    m_theme = next;
    if (m_host)
        m_host->setPalette(makePalette(m_theme));
    repaintAll();
    Q_EMIT themeChanged(m_theme);
}

void ThemeScope::onSystemChanged()
{
    const AccessibilityPreferences next = m_system ? preferencesOf(*m_system) : AccessibilityPreferences{};
    if (next != m_accessibility) {
        m_accessibility = next;
        repaintAll();
        Q_EMIT accessibilityChanged(m_accessibility);
    }
    recompute();
}

void ThemeScope::repaintAll()
{
    if (!m_host)
        return;
    // Custom-painted views read the theme in paintEvent; a palette change
    // alone would not reach those that ignore the palette.
    m_host->update();
    const auto widgets = m_host->findChildren<QWidget *>();
    for (QWidget *widget : widgets)
        widget->update();
}

} // namespace zn
