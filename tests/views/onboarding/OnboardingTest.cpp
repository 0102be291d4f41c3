#include "app/settings/AppSettings.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "platform/base/UserDefaults.h"
#include "support/FocusWalk.h"
#include "support/TestSupport.h"
#include "views/onboarding/OnboardingParts.h"
#include "views/onboarding/OnboardingView.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace zn {
namespace {

const QString kOnboardingKey = QString::fromLatin1(AppSettings::kOnboardingCompletedKey);
const QString kPaletteKey = QString::fromLatin1(AppSettings::kPaletteKey);

// A fresh settings file, a desktop in a known scheme and the screen in a
// window of its own.
struct OnboardingHarness
{
    explicit OnboardingHarness(ColorScheme desktop = ColorScheme::Light)
        : defaults(std::make_unique<UserDefaults>(dir.file(QStringLiteral("defaults.ini"))))
        , settings(std::make_unique<AppSettings>(defaults.get()))
    {
        system.setColorScheme(desktop);
        makeView();
    }

    void makeView()
    {
        view = std::make_unique<OnboardingView>(*settings, [this] {
            // What the builder sees when it is told: the flag already stored.
            flagStoredAtFinish = reopenedDefaults().boolean(kOnboardingKey);
            ++finishedCalls;
        }, &system);
        view->resize(900, 640);
    }

    void show()
    {
        view->show();
        view->activateWindow();
        view->setFocus();
        QApplication::processEvents();
    }

    // What a new start would read.
    UserDefaults reopenedDefaults()
    {
        defaults->sync();
        return UserDefaults(dir.file(QStringLiteral("defaults.ini")));
    }

    void pressReturn() { QTest::keyClick(view.get(), Qt::Key_Return); }

    test::TempDir dir;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    ManualSystemAppearance system;
    std::unique_ptr<OnboardingView> view;
    int finishedCalls = 0;
    bool flagStoredAtFinish = false;
};

TEST(OnboardingSteps, ReturnWalksFromAFreshSettingsFileToTheJournalAndTheNextStartSkipsTheSteps)
{
    OnboardingHarness h;
    h.show();
    EXPECT_FALSE(h.settings->hasCompletedOnboarding());
    EXPECT_EQ(h.view->step(), 0);
    EXPECT_FALSE(h.view->backButton()->isVisible());
    EXPECT_EQ(h.view->primaryButton()->text(), QStringLiteral("Continue"));

    h.pressReturn();
    EXPECT_EQ(h.view->step(), 1);
    EXPECT_TRUE(h.view->backButton()->isVisible());
    EXPECT_EQ(h.view->primaryButton()->text(), QStringLiteral("Continue"));

    h.pressReturn();
    EXPECT_EQ(h.view->step(), 2);
    EXPECT_TRUE(h.view->backButton()->isVisible());
    EXPECT_EQ(h.view->primaryButton()->text(), QStringLiteral("Open your journal"));
    EXPECT_EQ(h.finishedCalls, 0);

    h.pressReturn();
    EXPECT_EQ(h.finishedCalls, 1);
    EXPECT_TRUE(h.flagStoredAtFinish) << "the flag must be on disk before the builder is told";
    EXPECT_TRUE(h.settings->hasCompletedOnboarding());

    // The next start reads the flag and goes straight to the journal; no
    // palette was ever written, so the default holds.
    UserDefaults again = h.reopenedDefaults();
    EXPECT_TRUE(AppSettings(&again).hasCompletedOnboarding());
    EXPECT_FALSE(again.contains(kPaletteKey));
    EXPECT_EQ(AppSettings(&again).palette(), ColorPalettePreference::Warm);
}

TEST(OnboardingSteps, BackReturnsOneStepAtATimeAndIsAbsentOnTheFirstStep)
{
    OnboardingHarness h;
    h.show();
    h.view->primaryButton()->click();
    h.view->primaryButton()->click();
    ASSERT_EQ(h.view->step(), 2);
    h.view->backButton()->click();
    EXPECT_EQ(h.view->step(), 1);
    EXPECT_EQ(h.view->primaryButton()->text(), QStringLiteral("Continue"));
    h.view->backButton()->click();
    EXPECT_EQ(h.view->step(), 0);
    EXPECT_FALSE(h.view->backButton()->isVisible());
    // Going back below the first step is impossible even when asked for.
    h.view->model().goBack();
    EXPECT_EQ(h.view->step(), 0);
    EXPECT_EQ(h.finishedCalls, 0);
    EXPECT_FALSE(h.settings->hasCompletedOnboarding());
}

TEST(OnboardingSteps, ReturnStillAdvancesWhenAPaletteCardOrBackHasTheKeyboard)
{
    OnboardingHarness h;
    h.show();
    h.pressReturn();
    PaletteCard *cool = h.view->paletteCard(ColorPalettePreference::Cool);
    cool->setFocus(Qt::TabFocusReason);
    QTest::keyClick(cool, Qt::Key_Return);
    EXPECT_EQ(h.view->step(), 2);
    // Space on a card chooses it, as on any button.
    EXPECT_EQ(h.settings->palette(), ColorPalettePreference::Warm);
    // Back has no key of its own: Return is still the primary button's.
    h.view->backButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(h.view->backButton(), Qt::Key_Return);
    EXPECT_EQ(h.finishedCalls, 1);
}

TEST(OnboardingPalette, AClickStoresThePaletteAtOnceAndItSurvivesAnUnfinishedRun)
{
    OnboardingHarness h;
    h.show();
    h.pressReturn();
    QSignalSpy changes(h.settings.get(), &AppSettings::paletteChanged);
    PaletteCard *cool = h.view->paletteCard(ColorPalettePreference::Cool);
    QTest::mouseClick(cool, Qt::LeftButton, {}, QPoint(cool->width() / 2, 30));
    EXPECT_EQ(h.settings->palette(), ColorPalettePreference::Cool);
    EXPECT_EQ(h.reopenedDefaults().string(kPaletteKey), QStringLiteral("cool"));
    EXPECT_TRUE(cool->isSelectedPalette());
    EXPECT_FALSE(h.view->paletteCard(ColorPalettePreference::Warm)->isSelectedPalette());
    EXPECT_EQ(h.view->themeScope()->theme().palette, ColorPalettePreference::Cool);
    EXPECT_EQ(changes.count(), 1);

    // The chosen card again: written again, nothing changes on screen.
    cool->click();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(h.reopenedDefaults().string(kPaletteKey), QStringLiteral("cool"));

    // Back and forth keeps the choice; quitting before the end shows the
    // steps again from the first, with the palette already chosen.
    h.view->backButton()->click();
    h.pressReturn();
    EXPECT_TRUE(cool->isSelectedPalette());
    h.view.reset();
    h.settings = std::make_unique<AppSettings>(h.defaults.get());
    h.makeView();
    EXPECT_EQ(h.view->step(), 0);
    EXPECT_FALSE(h.settings->hasCompletedOnboarding());
    EXPECT_EQ(h.settings->palette(), ColorPalettePreference::Cool);
}

TEST(OnboardingTheme, FollowsTheAppearanceChoiceOverTheDesktopAndChangesMadeElsewhere)
{
    OnboardingHarness h(ColorScheme::Dark);
    h.show();
    // System: the desktop's scheme.
    EXPECT_EQ(h.view->themeScope()->theme(), (ZephyrTheme{ColorPalettePreference::Warm, ColorScheme::Dark}));
    h.system.setColorScheme(ColorScheme::Light);
    EXPECT_EQ(h.view->themeScope()->theme().colorScheme, ColorScheme::Light);

    // A forced scheme wins whatever the desktop says.
    h.settings->setAppearance(AppearancePreference::Dark);
    EXPECT_EQ(h.view->themeScope()->theme().colorScheme, ColorScheme::Dark);
    h.settings->setAppearance(AppearancePreference::Light);
    h.system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(h.view->themeScope()->theme().colorScheme, ColorScheme::Light);

    // The settings window changes the palette while the steps are up: the
    // screen and the selection follow at once.
    h.pressReturn();
    h.settings->setPalette(ColorPalettePreference::Cool);
    EXPECT_EQ(h.view->themeScope()->theme().palette, ColorPalettePreference::Cool);
    EXPECT_TRUE(h.view->paletteCard(ColorPalettePreference::Cool)->isSelectedPalette());
    const QColor before = h.view->grab().toImage().pixelColor(5, 5);
    h.settings->setPalette(ColorPalettePreference::Warm);
    QApplication::processEvents();
    EXPECT_NE(h.view->grab().toImage().pixelColor(5, 5), before) << "the backdrop did not recolour";
}

TEST(OnboardingTheme, PreviewsShowBothPalettesInTheDesktopSchemeWhicheverIsChosen)
{
    OnboardingHarness h(ColorScheme::Dark);
    h.settings->setAppearance(AppearancePreference::Light);
    h.show();
    h.pressReturn();
    PaletteCard *warm = h.view->paletteCard(ColorPalettePreference::Warm);
    PaletteCard *cool = h.view->paletteCard(ColorPalettePreference::Cool);
    const QImage warmImage = warm->grab().toImage();
    const QImage coolImage = cool->grab().toImage();
    const int mid = warm->width() / 2;
    // Inside the border, near the top of the gradient: the dark scheme's
    // backdrop of each palette.
    const QColor warmTop = warmImage.pixelColor(mid, 8);
    const QColor coolTop = coolImage.pixelColor(mid, 8);
    EXPECT_LT(warmTop.lightnessF(), 0.35);
    EXPECT_LT(coolTop.lightnessF(), 0.35);
    EXPECT_NE(warmTop, coolTop);
}

// Each step in both palettes and both schemes: a screenshot, then every
// stop the Tab key reaches shows its focus ring.
TEST(OnboardingScreenshots, EachStepInBothPalettesAndSchemesWithARingOnEveryStop)
{
    for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        for (const ColorPalettePreference palette : allColorPalettePreferences()) {
            OnboardingHarness h(scheme);
            h.settings->setPalette(palette);
            h.show();
            const QString look =
                rawValue(palette) + (scheme == ColorScheme::Dark ? QStringLiteral("-dark") : QStringLiteral("-light"));
            for (int step = 0; step < 3; ++step) {
                QApplication::processEvents();
                EXPECT_TRUE(h.view->grab().save(test::screenshotPath(
                    QStringLiteral("onboarding-step%1-%2.png").arg(step).arg(look))));
                const QList<test::FocusStop> stops = test::walkTabStops(h.view.get());
                QStringList names;
                for (const test::FocusStop &stop : stops)
                    names << stop.name;
                // The primary button is a stop on every step, Back from the
                // second on, the two cards on the second.
                EXPECT_EQ(stops.size(), step == 0 ? 1 : step == 1 ? 4 : 2) << names.join(", ").toStdString();
                EXPECT_EQ(test::stopsWithoutRing(stops).join(QStringLiteral(", ")).toStdString(), "")
                    << "step " << step << ", " << look.toStdString();
                if (step == 0 && !stops.isEmpty()) {
                    EXPECT_TRUE(stops.first().focused.save(
                        test::screenshotPath(QStringLiteral("onboarding-continue-focused-%1.png").arg(look))));
                }
                h.view->primaryButton()->click();
            }
            EXPECT_EQ(h.finishedCalls, 1);
        }
    }
}

} // namespace
} // namespace zn
