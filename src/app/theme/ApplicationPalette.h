#pragma once

#include "app/theme/ZephyrTheme.h"

#include <QObject>
#include <QPalette>
#include <QPointer>

namespace zn {

class AppSettings;
class SystemAppearance;

// Gives the whole application the Qt palette of the theme the settings ask
// for, so whatever opens in a window of its own (alerts, confirmations,
// sheets, menus, context menus, file dialogs, tool tips) is drawn in the
// same palette and scheme as the window it belongs to. Follows palette and
// appearance changes, and the desktop's scheme while the appearance is
// `System`. Main thread only; one per application.
class ApplicationPalette : public QObject
{
    Q_OBJECT
public:
    // `system` null means `SystemAppearance::shared()`. Neither is owned.
    explicit ApplicationPalette(AppSettings *settings, SystemAppearance *system = nullptr,
                                QObject *parent = nullptr);
    // Gives the application back the palette it had before.
    ~ApplicationPalette() override;

    ZephyrTheme theme() const { return m_theme; }

    // The palette the desktop (or the style) gave the application: the one
    // before any theme replaced it. What tells a light desktop from a dark
    // one when no settings portal says.
    static QPalette desktopPalette();

private:
    void apply();

    QPointer<AppSettings> m_settings;
    QPointer<SystemAppearance> m_system;
    ZephyrTheme m_theme;
    bool m_applied = false;
};

} // namespace zn
