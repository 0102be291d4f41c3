#include "app/settings/AppSettings.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace zn {

namespace {

// A custom-painted view as the screens have: it reads the theme when it
// paints and remembers what it saw.
class ThemedProbe : public QWidget
{
public:
    using QWidget::QWidget;
    int paints = 0;
    ZephyrTheme seen;

protected:
    void paintEvent(QPaintEvent *) override
    {
        ++paints;
        seen = ThemeScope::themeFor(this);
    }
};

class ThemeScopeTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    UserDefaults defaults{dir.file("defaults.ini")};
    AppSettings settings{&defaults};
    ManualSystemAppearance system;
};

} // namespace

TEST_F(ThemeScopeTest, WithNoScopeAboveAViewGetsWarmLight)
{
    QWidget window;
    QLabel child(&window);
    EXPECT_EQ(ThemeScope::find(&child), nullptr);
    EXPECT_EQ(ThemeScope::themeFor(&child), ZephyrTheme{});
    EXPECT_EQ(ThemeScope::themeFor(nullptr), ZephyrTheme{});

    SystemAppearance::setShared(&system);
    system.setReduceMotion(true);
    EXPECT_TRUE(ThemeScope::accessibilityFor(&child).reduceMotion); // the platform's, not ours
    SystemAppearance::setShared(nullptr);
}

TEST_F(ThemeScopeTest, FollowsThePaletteAndTheSystemSchemeUnlessTheUserChoseOne)
{
    QWidget window;
    ThemeScope scope(&window, &settings, &system);
    auto *deep = new QLabel(new QWidget(&window));
    QSignalSpy changed(&scope, &ThemeScope::themeChanged);
    EXPECT_EQ(ThemeScope::themeFor(deep), (ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Light}));

    system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(ThemeScope::themeFor(deep).colorScheme, ColorScheme::Dark);
    settings.setPalette(ColorPalettePreference::Cool);
    EXPECT_EQ(ThemeScope::themeFor(deep), (ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Dark}));

    // A chosen scheme wins over the desktop, both ways.
    settings.setAppearance(AppearancePreference::Light);
    EXPECT_EQ(scope.theme().colorScheme, ColorScheme::Light);
    system.setColorScheme(ColorScheme::Light);
    system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(scope.theme().colorScheme, ColorScheme::Light);
    settings.setAppearance(AppearancePreference::Dark);
    system.setColorScheme(ColorScheme::Light);
    EXPECT_EQ(scope.theme().colorScheme, ColorScheme::Dark);
    settings.setAppearance(AppearancePreference::System);
    EXPECT_EQ(scope.theme().colorScheme, ColorScheme::Light);

    // Told once per real change of the theme, with the new value.
    ASSERT_EQ(changed.count(), 5);
    EXPECT_EQ(changed.last().at(0).value<ZephyrTheme>(), (ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Light}));
}

TEST_F(ThemeScopeTest, NearestScopeWinsAndAFixedThemeIgnoresTheSettings)
{
    QWidget window;
    ThemeScope outer(&window, &settings, &system);
    auto *sheet = new QWidget(&window);
    ThemeScope report(sheet, ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Light}, &system);
    auto *inSheet = new QLabel(sheet);
    auto *beside = new QLabel(&window);

    settings.setAppearance(AppearancePreference::Dark);
    EXPECT_EQ(ThemeScope::find(inSheet), &report);
    EXPECT_EQ(ThemeScope::themeFor(inSheet), (ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Light}));
    EXPECT_EQ(ThemeScope::themeFor(beside), (ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Dark}));
    // Our own palette on the inner host is not overwritten by the outer one.
    EXPECT_GT(inSheet->palette().color(QPalette::Window).lightness(), 200);
    EXPECT_LT(beside->palette().color(QPalette::Window).lightness(), 60);

    // Unpinned, the inner scope follows nothing but the system (no settings).
    report.setFixedTheme(std::nullopt);
    EXPECT_EQ(ThemeScope::themeFor(inSheet), (ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Light}));
    system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(ThemeScope::themeFor(inSheet).colorScheme, ColorScheme::Dark);
}

TEST_F(ThemeScopeTest, ADialogOverTheWindowTakesTheWindowsTheme)
{
    settings.setPalette(ColorPalettePreference::Cool);
    QWidget window;
    ThemeScope scope(&window, &settings, &system);
    QDialog dialog(&window);
    EXPECT_EQ(ThemeScope::themeFor(&dialog).palette, ColorPalettePreference::Cool);
}

TEST_F(ThemeScopeTest, ScopeGoneMeansDefaultAgainAndForgottenProvidersAreSafe)
{
    QWidget window;
    QLabel child(&window);
    {
        ThemeScope scope(&window, ZephyrTheme{ColorPalettePreference::Cool, ColorScheme::Dark}, &system);
        EXPECT_EQ(ThemeScope::themeFor(&child).palette, ColorPalettePreference::Cool);
    }
    EXPECT_EQ(ThemeScope::find(&child), nullptr);
    EXPECT_EQ(ThemeScope::themeFor(&child), ZephyrTheme{});

    auto *settingsOwned = new AppSettings(&defaults);
    ThemeScope scope(&window, settingsOwned, &system);
    settingsOwned->setPalette(ColorPalettePreference::Cool);
    delete settingsOwned;
    // The settings went first; the scope keeps its last theme and the
    // system still drives the scheme.
    system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(scope.theme().colorScheme, ColorScheme::Dark);
}

TEST_F(ThemeScopeTest, AccessibilityWishesReachViewsAndAreAnnouncedOnce)
{
    QWidget window;
    ThemeScope scope(&window, &settings, &system);
    QLabel child(&window);
    QSignalSpy wishes(&scope, &ThemeScope::accessibilityChanged);
    QSignalSpy themes(&scope, &ThemeScope::themeChanged);
    system.setReduceTransparency(true);
    system.setIncreasedContrast(true);
    system.setReduceMotion(true);
    const AccessibilityPreferences all{true, true, true};
    EXPECT_EQ(ThemeScope::accessibilityFor(&child), all);
    EXPECT_EQ(wishes.count(), 3);
    EXPECT_EQ(themes.count(), 0);
}

TEST_F(ThemeScopeTest, LiveViewsRepaintWithTheNewThemeAfterAPaletteOrSchemeChange)
{
    QWidget window;
    ThemeScope scope(&window, &settings, &system);
    auto *layout = new QVBoxLayout(&window);
    auto *probe = new ThemedProbe;
    probe->setMinimumSize(40, 40);
    auto *nested = new QWidget;
    auto *deepProbe = new ThemedProbe(nested);
    deepProbe->setGeometry(0, 0, 30, 30);
    nested->setMinimumSize(40, 40);
    layout->addWidget(probe);
    layout->addWidget(nested);
    window.resize(200, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(test::waitUntil([&] { return probe->paints > 0 && deepProbe->paints > 0; }));

    const int before = probe->paints;
    const int deepBefore = deepProbe->paints;
    settings.setPalette(ColorPalettePreference::Cool);
    ASSERT_TRUE(test::waitUntil([&] { return probe->paints > before && deepProbe->paints > deepBefore; }));
    EXPECT_EQ(probe->seen.palette, ColorPalettePreference::Cool);
    EXPECT_EQ(deepProbe->seen.palette, ColorPalettePreference::Cool);

    const int again = deepProbe->paints;
    system.setColorScheme(ColorScheme::Dark);
    ASSERT_TRUE(test::waitUntil([&] { return deepProbe->paints > again; }));
    EXPECT_TRUE(deepProbe->seen.isDark());
    // Stock widgets follow through the palette the scope gives its window.
    EXPECT_EQ(probe->palette().color(QPalette::Window), scope.theme().background());
    EXPECT_EQ(probe->palette().color(QPalette::Highlight), scope.theme().accent());
}

} // namespace zn
