// The settings window: tabs, size, its own theme, controls that persist at
// once and recolour every window, the status sections and their refreshes.

#include "SettingsHarness.h"

#include "app/theme/ThemeScope.h"
#include "views/settings/SettingsForm.h"
#include "views/settings/SettingsTabs.h"
#include "views/settings/SettingsTexts.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/window/PrivacyPromiseView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace zn::test {
namespace {

using namespace settings_texts;
using Availability = CapabilityDetector::Availability;

QString stored(SettingsHarness &h, const char *key)
{
    h.defaults.sync();
    return UserDefaults(h.dir.file(QStringLiteral("defaults.ini"))).value(QString::fromLatin1(key)).toString();
}

TEST(SettingsTexts, StatusTablesAndUnknownValues)
{
    EXPECT_EQ(availabilityStatus(Availability::Available), (StatusText{QStringLiteral("Ready"), StatusTone::Green}));
    EXPECT_EQ(availabilityStatus(Availability::UnsupportedPlatform).text, QStringLiteral("Unsupported system"));
    EXPECT_EQ(availabilityStatus(Availability::DeviceNotEligible).tone, StatusTone::Secondary);
    EXPECT_EQ(availabilityStatus(Availability::NotEnabled),
              (StatusText{QStringLiteral("Model switched off"), StatusTone::Orange}));
    EXPECT_EQ(availabilityStatus(Availability::ModelNotReady).tone, StatusTone::Orange);
    EXPECT_EQ(availabilityStatus(Availability::FrameworkUnavailable).text, QStringLiteral("Unavailable"));
    EXPECT_EQ(availabilityStatus(Availability(77)).text, QStringLiteral("Unavailable"));

    // Whether the model server answered.
    EXPECT_EQ(serverAnswer(std::nullopt).text, QStringLiteral("Not asked yet"));
    EXPECT_EQ(serverAnswer(lm::Availability::yes()), (StatusText{QStringLiteral("Available"), StatusTone::Green}));
    EXPECT_EQ(serverAnswer(lm::Availability::no(lm::UnavailableReason::NoServer)).text, QStringLiteral("Not answering"));
    EXPECT_EQ(serverAnswer(lm::Availability::no(lm::UnavailableReason::ModelNotReady)),
              (StatusText{QStringLiteral("Model not ready"), StatusTone::Orange}));
    EXPECT_EQ(serverAnswer(lm::Availability::no(lm::UnavailableReason::Other, QStringLiteral("HTTP 500"))).text,
              QStringLiteral("Error"));

#if defined(Q_PROCESSOR_X86_64)
    EXPECT_EQ(architectureLabel(), QStringLiteral("64-bit x86 (x86_64)"));
#endif
}

TEST(SettingsWindow, FourTabsInOrderOpeningAt640By840AndNeverBelow560By720)
{
    SettingsHarness h;
    QTabWidget *tabs = h.view->tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Appearance"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Intelligence"));
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("Privacy"));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(tabs->tabIcon(i).isNull()) << i;
    EXPECT_EQ(h.view->size(), QSize(640, 840));
    EXPECT_EQ(h.view->minimumSize(), QSize(560, 720));
    EXPECT_EQ(h.view->windowTitle(), QStringLiteral("Settings"));
}

TEST(SettingsWindow, DefaultLandingShowsTimelineAndTouchesNoSetting)
{
    SettingsHarness h;
    h.defaults.setValue(QStringLiteral("settings.defaultLanding"), QStringLiteral("calendar"));
    h.view->show();
    const QList<InkLabel *> labels = h.view->tabs()->widget(0)->findChildren<InkLabel *>();
    const bool shown = std::any_of(labels.begin(), labels.end(),
                                   [](InkLabel *l) { return l->text() == QStringLiteral("Timeline"); });
    EXPECT_TRUE(shown);
    EXPECT_EQ(stored(h, "settings.defaultLanding"), QStringLiteral("calendar"));
}

TEST(SettingsWindow, PickersPersistAtOnceAndRecolourThisWindowAndTheMainOne)
{
    SettingsHarness h;
    QWidget mainWindow;
    ThemeScope mainScope(&mainWindow, &h.settings, &h.system);
    h.view->show();

    AppearanceTab *tab = h.view->appearanceTab();
    EXPECT_EQ(tab->paletteCaption()->text(), QStringLiteral("Ember study — parchment and soft lamp light"));
    emit tab->palettePicker()->activated(1);
    EXPECT_EQ(h.settings.palette(), ColorPalettePreference::Cool);
    EXPECT_EQ(stored(h, AppSettings::kPaletteKey), QStringLiteral("cool"));
    EXPECT_EQ(tab->paletteCaption()->text(), QStringLiteral("Glacial spa — mist, clarity, calm distance"));
    EXPECT_EQ(h.view->themeScope()->theme().palette, ColorPalettePreference::Cool);
    EXPECT_EQ(mainScope.theme().palette, ColorPalettePreference::Cool);

    emit tab->appearancePicker()->activated(2);
    EXPECT_EQ(stored(h, AppSettings::kAppearanceKey), QStringLiteral("dark"));
    EXPECT_EQ(h.view->themeScope()->theme().colorScheme, ColorScheme::Dark);
    EXPECT_EQ(mainScope.theme().colorScheme, ColorScheme::Dark);
    // A dark window while the desktop is light.
    EXPECT_LT(h.view->grab().toImage().pixelColor(4, 4).lightnessF(), 0.3);

    // System follows the desktop, both ways.
    emit tab->appearancePicker()->activated(0);
    EXPECT_EQ(h.view->themeScope()->theme().colorScheme, ColorScheme::Light);
    h.system.setColorScheme(ColorScheme::Dark);
    EXPECT_EQ(h.view->themeScope()->theme().colorScheme, ColorScheme::Dark);

    // A change made elsewhere (the onboarding) moves the pickers.
    h.settings.setPalette(ColorPalettePreference::Warm);
    EXPECT_EQ(tab->palettePicker()->currentText(), QStringLiteral("Warm"));
    EXPECT_EQ(tab->appearancePicker()->currentText(), QStringLiteral("System"));
}

TEST(SettingsWindow, UnusableStoredValuesShowTheDefaults)
{
    SettingsHarness h;
    h.defaults.setValue(QString::fromLatin1(AppSettings::kAppearanceKey), QStringLiteral("Dark "));
    h.defaults.setValue(QString::fromLatin1(AppSettings::kPaletteKey), QStringLiteral("lava"));
    AppSettings reread(&h.defaults);
    SettingsServices services = h.view->model().services();
    services.settings = &reread;
    SettingsRootView view(services, &h.dialogs, &h.system);
    EXPECT_EQ(view.appearanceTab()->appearancePicker()->currentText(), QStringLiteral("System"));
    EXPECT_EQ(view.appearanceTab()->palettePicker()->currentText(), QStringLiteral("Warm"));
}

TEST(SettingsWindow, EnhancedAnalysisTogglePersistsAndLeavesTheStatusAlone)
{
    SettingsHarness h;
    h.model.setAvailability(lm::Availability::yes());
    h.view->show();
    IntelligenceTab *tab = h.view->intelligenceTab();
    EXPECT_EQ(tab->statusValue()->text(), QStringLiteral("Ready"));
    EXPECT_EQ(tab->statusValue()->tone(), StatusTone::Green);
    EXPECT_TRUE(tab->enhancedAnalysisToggle()->isChecked());
    tab->enhancedAnalysisToggle()->click();
    EXPECT_FALSE(h.settings.enhancedAnalysisEnabled());
    EXPECT_EQ(stored(h, AppSettings::kEnhancedAnalysisEnabledKey), QStringLiteral("false"));
    EXPECT_EQ(tab->statusValue()->text(), QStringLiteral("Ready"));
}

TEST(SettingsWindow, EveryShowAndRefreshStatusReadTheCapabilityAgain)
{
    SettingsHarness h;
    h.model.setUnavailable(lm::UnavailableReason::ModelNotReady);
    IntelligenceTab *tab = h.view->intelligenceTab();
    h.view->show();
    EXPECT_EQ(tab->statusValue()->text(), QStringLiteral("Model not ready"));
    EXPECT_EQ(tab->statusValue()->tone(), StatusTone::Orange);
    EXPECT_EQ(tab->statusDetail()->text(), h.capability.statusDetail());
    EXPECT_EQ(tab->serverAnswer()->text(), QStringLiteral("Model not ready"));

    // No server: the status, the reason naming the address, and the answer
    // row all say so.
    h.model.setAddress(QStringLiteral("http://127.0.0.1:8080"));
    h.model.setUnavailable(lm::UnavailableReason::NoServer);
    tab->refreshButton()->click();
    EXPECT_EQ(tab->statusValue()->text(), QStringLiteral("Unavailable"));
    EXPECT_EQ(tab->statusDetail()->text(),
              QStringLiteral("No language model server is answering at http://127.0.0.1:8080. Reflections start when "
                             "a compatible server runs there. Journaling and mood analysis still work."));
    EXPECT_EQ(tab->serverAddress()->text(), QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_EQ(tab->serverAnswer()->text(), QStringLiteral("Not answering"));

    h.model.setAvailability(lm::Availability::yes());
    h.view->hide();
    h.view->show();
    EXPECT_EQ(tab->statusValue()->text(), QStringLiteral("Ready"));
    EXPECT_EQ(tab->serverAnswer()->text(), QStringLiteral("Available"));
    EXPECT_EQ(tab->serverAnswer()->tone(), StatusTone::Green);
}

TEST(SettingsWindow, CloudSyncSectionSaysTheJournalIsLocalAndShowsTheStoreNote)
{
    SettingsHarness h;
    h.view->show();
    h.settle();
    PrivacyTab *tab = h.view->privacyTab();
    EXPECT_EQ(tab->accountValue()->text(), QStringLiteral("Local only"));
    EXPECT_EQ(tab->accountValue()->tone(), StatusTone::Secondary);
    EXPECT_EQ(tab->storeValue()->text(), QStringLiteral("On-device only"));
    EXPECT_EQ(tab->accountDetail()->text(), QStringLiteral("There is no cloud sync here. Entries stay on this computer."));
    EXPECT_TRUE(tab->storeNote()->isHidden());

    h.cloudSync.setStoreNote(QStringLiteral("Recreated local journal store after a schema change."));
    EXPECT_EQ(tab->storeNote()->text(), QStringLiteral("Recreated local journal store after a schema change."));
    EXPECT_FALSE(tab->storeNote()->isHidden());
    h.cloudSync.setStoreNote(std::nullopt);
    EXPECT_TRUE(tab->storeNote()->isHidden());
}

TEST(SettingsWindow, PrivacyPromiseOpensAsASheetAndItsDoneClosesIt)
{
    SettingsHarness h;
    h.view->show();
    h.view->privacyTab()->button(QStringLiteral("Read full Privacy Promise…"))->click();
    EXPECT_TRUE(h.view->model().showPrivacy());
    auto *sheet = qobject_cast<PrivacyPromiseView *>(h.dialogs.sheetContent());
    ASSERT_TRUE(sheet);
    sheet->doneButton()->click();
    EXPECT_FALSE(h.dialogs.isSheetPresented());
    EXPECT_FALSE(h.view->model().showPrivacy());
}

TEST(SettingsScreenshots, EachTabInBothPalettesAndSchemes)
{
    for (const ColorScheme scheme : {ColorScheme::Light, ColorScheme::Dark}) {
        for (const ColorPalettePreference palette : allColorPalettePreferences()) {
            SettingsHarness h;
            h.system.setColorScheme(scheme);
            h.settings.setPalette(palette);
            // A new user's first look: no model server at the default address.
            h.model.setAddress(QStringLiteral("http://127.0.0.1:8080"));
            h.model.setUnavailable(lm::UnavailableReason::NoServer);
            h.cloudSync.setStoreNote(QStringLiteral("Using on-device storage only."));
            h.view->show();
            h.settle();
            for (int tab = 0; tab < 4; ++tab) {
                h.view->tabs()->setCurrentIndex(tab);
                h.settle();
                const QString name = QStringLiteral("settings-%1-%2-%3.png")
                                         .arg(h.view->tabs()->tabText(tab).toLower(), rawValue(palette),
                                              scheme == ColorScheme::Dark ? QStringLiteral("dark")
                                                                          : QStringLiteral("light"));
                EXPECT_TRUE(h.view->grab().save(screenshotPath(name)));
            }
        }
    }
}

} // namespace
} // namespace zn::test
