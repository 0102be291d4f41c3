#include "app/theme/ApplicationPalette.h"

#include "app/settings/AppSettings.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemePalette.h"
#include "app/theme/ThemeScope.h"

#include <QApplication>
#include <QPalette>
#include <QToolTip>

#include <optional>

namespace zn {

namespace {

// The palette from before the first theme, given back at the end.
std::optional<QPalette> &originalPalette()
{
    static std::optional<QPalette> palette;
    return palette;
}


} // namespace

ApplicationPalette::ApplicationPalette(AppSettings *settings, SystemAppearance *system, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_system(system ? system : &SystemAppearance::shared())
{
    // Made first, the desktop provider notes the desktop's own palette
    // before ours replaces it.
    if (m_settings) {
        connect(m_settings, &AppSettings::appearanceChanged, this, &ApplicationPalette::apply);
        connect(m_settings, &AppSettings::paletteChanged, this, &ApplicationPalette::apply);
    }
    connect(m_system, &SystemAppearance::changed, this, &ApplicationPalette::apply);
    apply();
}

ApplicationPalette::~ApplicationPalette()
{
    if (!m_applied || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    if (originalPalette()) {
        QApplication::setPalette(*originalPalette());
        QToolTip::setPalette(*originalPalette());
    }
    originalPalette().reset();
}

QPalette ApplicationPalette::desktopPalette()
{
    return originalPalette().value_or(QGuiApplication::palette());
}

void ApplicationPalette::apply()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()) || !m_system)
        return;
    const ZephyrTheme next = themeFollowing(m_settings, *m_system);
    if (m_applied && next == m_theme)
        return;
    if (!originalPalette())
        originalPalette() = QApplication::palette();
    m_theme = next;
    m_applied = true;
    const QPalette palette = makePalette(m_theme);
    QApplication::setPalette(palette);
    // Tool tips keep a palette of their own.
    QToolTip::setPalette(palette);
}

} // namespace zn
