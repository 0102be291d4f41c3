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

class ApplicationPaletteTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    UserDefaults defaults{dir.file("defaults.ini")};
    AppSettings settings{&defaults};
    ManualSystemAppearance system;
    const QColor desktopWindow = QApplication::palette().color(QPalette::Window);
};

QColor windowOf(const QWidget &widget)
{
    return widget.palette().color(QPalette::Window);
}

TEST_F(ApplicationPaletteTest, DialogsAndMenusWearTheSettingsThemeAndFollowItsChanges)
{
    settings.setAppearance(AppearancePreference::Dark);
    settings.setPalette(ColorPalettePreference::Cool);
    {
        ApplicationPalette palette(&settings, &system);
        const ZephyrTheme coolDark{ColorPalettePreference::Cool, ColorScheme::Dark};
        QDialog dialog;
        QMenu menu;
        EXPECT_EQ(windowOf(dialog), coolDark.background());
        EXPECT_EQ(windowOf(menu), coolDark.background());
        EXPECT_EQ(menu.palette().color(QPalette::WindowText), coolDark.ink());
        EXPECT_EQ(menu.palette().color(QPalette::Highlight), coolDark.accent());

        // The appearance "System" follows the desktop's scheme.
        settings.setAppearance(AppearancePreference::System);
        QApplication::processEvents();
        EXPECT_EQ(windowOf(menu), (ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Light}.background()));
        system.setColorScheme(ColorScheme::Dark);
        QApplication::processEvents();
        EXPECT_EQ(windowOf(dialog), coolDark.background());
        settings.setPalette(ColorPalettePreference::Warm);
        QApplication::processEvents();
        EXPECT_EQ(windowOf(dialog), (ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Dark}.background()));
        EXPECT_EQ(palette.theme(), (ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Dark}));

        // The desktop's palette stays readable behind ours: the desktop
        // provider still calls this (light) desktop light.
        EXPECT_EQ(ApplicationPalette::desktopPalette().color(QPalette::Window), desktopWindow);
        DesktopAppearance desktop;
        EXPECT_EQ(desktop.colorScheme(), ColorScheme::Light);
    }
    // Gone, it gives the desktop's palette back.
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktopWindow);
}

} // namespace
} // namespace zn
