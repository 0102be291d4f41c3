// The application palette follows the journal's theme, so windows of their
// own (dialogs, menus) match it, and gives the desktop's back at the end;
// the desktop's own scheme is still read from the desktop's palette.

#include "app/settings/AppSettings.h"
#include "app/theme/ApplicationPalette.h"
#include "app/theme/DesktopAppearance.h"
#include "app/theme/SystemAppearance.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>

#include <gtest/gtest.h>

namespace zn {
namespace {

TEST(ApplicationPaletteTest, DialogsAndMenusWearTheSettingsThemeAndFollowItsChanges)
{
    test::TempDir dir;
    UserDefaults defaults(dir.file("defaults.ini"));
    AppSettings settings(&defaults);
    ManualSystemAppearance system;
    const QColor desktopWindow = QApplication::palette().color(QPalette::Window);
    settings.setAppearance(AppearancePreference::Dark);
    settings.setPalette(ColorPalettePreference::Cool);
    {
        ApplicationPalette palette(&settings, &system);
        QDialog dialog;
        QMenu menu;
        const auto wears = [&](ColorPalettePreference p, ColorScheme scheme) {
            QApplication::processEvents();
            const ZephyrTheme theme{p, scheme};
            return dialog.palette().color(QPalette::Window) == theme.background()
                && menu.palette().color(QPalette::Window) == theme.background()
                && menu.palette().color(QPalette::WindowText) == theme.ink() && palette.theme() == theme;
        };
        EXPECT_TRUE(wears(ColorPalettePreference::Cool, ColorScheme::Dark));
        // The appearance "System" follows the desktop's scheme.
        settings.setAppearance(AppearancePreference::System);
        EXPECT_TRUE(wears(ColorPalettePreference::Cool, ColorScheme::Light));
        system.setColorScheme(ColorScheme::Dark);
        EXPECT_TRUE(wears(ColorPalettePreference::Cool, ColorScheme::Dark));
        settings.setPalette(ColorPalettePreference::Warm);
        EXPECT_TRUE(wears(ColorPalettePreference::Warm, ColorScheme::Dark));

        // The desktop's palette stays readable behind ours: the desktop
        // provider still calls this (light) desktop light.
        EXPECT_EQ(ApplicationPalette::desktopPalette().color(QPalette::Window), desktopWindow);
        EXPECT_EQ(DesktopAppearance().colorScheme(), ColorScheme::Light);
    }
    // Gone, it gives the desktop's palette back.
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktopWindow);
}

} // namespace
} // namespace zn
