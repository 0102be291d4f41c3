#include "app/settings/AppSettings.h"
#include "support/TestSupport.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace zn {

class AppSettingsTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    QString ini = dir.file("defaults.ini");
};

TEST_F(AppSettingsTest, AbsentKeyMeansOnAndStoredFalseStaysOff)
{
    {
        UserDefaults defaults(ini);
        AppSettings settings(&defaults);
        EXPECT_TRUE(settings.enhancedAnalysisEnabled());
        EXPECT_FALSE(defaults.contains(AppSettings::kEnhancedAnalysisEnabledKey)); // loading writes nothing
        settings.setEnhancedAnalysisEnabled(false);
    }
    {
        UserDefaults defaults(ini);
        EXPECT_FALSE(AppSettings(&defaults).enhancedAnalysisEnabled());
        defaults.remove(AppSettings::kEnhancedAnalysisEnabledKey);
        EXPECT_TRUE(AppSettings(&defaults).enhancedAnalysisEnabled());
    }
}

TEST_F(AppSettingsTest, EveryAssignmentIsWrittenButOnlyChangesAreAnnounced)
{
    UserDefaults defaults(ini);
    AppSettings settings(&defaults);
    QSignalSpy spy(&settings, &AppSettings::enhancedAnalysisEnabledChanged);
    settings.setEnhancedAnalysisEnabled(true);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(defaults.contains(AppSettings::kEnhancedAnalysisEnabledKey));
    settings.setEnhancedAnalysisEnabled(false);
    settings.setEnhancedAnalysisEnabled(false);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.at(0).at(0).toBool());
}

TEST_F(AppSettingsTest, HandEditedValuesFollowTheBooleanRule)
{
    UserDefaults defaults(ini);
    for (const auto &[text, expected] : std::vector<std::pair<QString, bool>>{
             {"false", false}, {"0", false}, {"nonsense", false}, {"", false}, {"true", true}, {"YES", true}, {"1", true}}) {
        defaults.setValue(AppSettings::kEnhancedAnalysisEnabledKey, text);
        EXPECT_EQ(AppSettings(&defaults).enhancedAnalysisEnabled(), expected) << text.toStdString();
    }
}

TEST_F(AppSettingsTest, EmptyDefaultsGiveSystemWarmNotOnboardedAndAnalysisOn)
{
    UserDefaults defaults(ini);
    AppSettings settings(&defaults);
    EXPECT_EQ(settings.appearance(), AppearancePreference::System);
    EXPECT_EQ(settings.palette(), ColorPalettePreference::Warm);
    EXPECT_FALSE(settings.hasCompletedOnboarding());
    EXPECT_TRUE(settings.enhancedAnalysisEnabled());
    for (const char *key : {AppSettings::kAppearanceKey, AppSettings::kPaletteKey, AppSettings::kOnboardingCompletedKey})
        EXPECT_FALSE(defaults.contains(key)) << key;
}

TEST_F(AppSettingsTest, ChoicesSurviveARelaunchAsTheirRawText)
{
    {
        UserDefaults defaults(ini);
        AppSettings settings(&defaults);
        settings.setAppearance(AppearancePreference::Dark);
        settings.setPalette(ColorPalettePreference::Cool);
        settings.setHasCompletedOnboarding(true);
    }
    {
        // Written at once: the file holds them before anything is closed.
        QSettings file(ini, QSettings::IniFormat);
        EXPECT_EQ(file.value(AppSettings::kAppearanceKey).toString(), "dark");
        EXPECT_EQ(file.value(AppSettings::kPaletteKey).toString(), "cool");
        EXPECT_TRUE(file.value(AppSettings::kOnboardingCompletedKey).toBool());
    }
    UserDefaults defaults(ini);
    AppSettings relaunched(&defaults);
    EXPECT_EQ(relaunched.appearance(), AppearancePreference::Dark);
    EXPECT_EQ(relaunched.palette(), ColorPalettePreference::Cool);
    EXPECT_TRUE(relaunched.hasCompletedOnboarding());
    for (AppearancePreference appearance : allAppearancePreferences()) {
        relaunched.setAppearance(appearance);
        EXPECT_EQ(AppSettings(&defaults).appearance(), appearance) << rawValue(appearance).toStdString();
    }
}

TEST_F(AppSettingsTest, MistypedOrJunkChoicesReadAsTheDefaults)
{
    UserDefaults defaults(ini);
    for (const QString &junk : {QStringLiteral("Dark"), QStringLiteral("LIGHT"), QStringLiteral(" dark"),
                                QStringLiteral("dark\n"), QStringLiteral(""), QStringLiteral("2"),
                                QStringLiteral("automatic")}) {
        defaults.setValue(AppSettings::kAppearanceKey, junk);
        EXPECT_EQ(AppSettings(&defaults).appearance(), AppearancePreference::System) << junk.toStdString();
    }
    for (const QString &junk : {QStringLiteral("Cool"), QStringLiteral("COOL"), QStringLiteral("cool "),
                                QStringLiteral("warm"), QStringLiteral("blue"), QStringLiteral("1")}) {
        defaults.setValue(AppSettings::kPaletteKey, junk);
        EXPECT_EQ(AppSettings(&defaults).palette(), ColorPalettePreference::Warm) << junk.toStdString();
    }
    // A list where a word belongs (a hand-edited file) is junk too.
    defaults.setValue(AppSettings::kAppearanceKey, QStringList{"dark", "light"});
    defaults.setValue(AppSettings::kPaletteKey, QStringList{"cool", "cool"});
    defaults.setValue(AppSettings::kOnboardingCompletedKey, QStringLiteral("maybe"));
    AppSettings settings(&defaults);
    EXPECT_EQ(settings.appearance(), AppearancePreference::System);
    EXPECT_EQ(settings.palette(), ColorPalettePreference::Warm);
    EXPECT_FALSE(settings.hasCompletedOnboarding());
}

TEST_F(AppSettingsTest, EachSettingAnnouncesOnlyRealChangesButAlwaysWrites)
{
    UserDefaults defaults(ini);
    AppSettings settings(&defaults);
    QSignalSpy appearance(&settings, &AppSettings::appearanceChanged);
    QSignalSpy palette(&settings, &AppSettings::paletteChanged);
    QSignalSpy onboarding(&settings, &AppSettings::hasCompletedOnboardingChanged);

    settings.setAppearance(AppearancePreference::System);
    settings.setPalette(ColorPalettePreference::Warm);
    settings.setHasCompletedOnboarding(false);
    EXPECT_EQ(appearance.count() + palette.count() + onboarding.count(), 0);
    // Same values, yet the keys now exist.
    EXPECT_EQ(defaults.string(AppSettings::kAppearanceKey), "system");
    EXPECT_EQ(defaults.string(AppSettings::kPaletteKey), "warm");
    EXPECT_TRUE(defaults.contains(AppSettings::kOnboardingCompletedKey));

    settings.setAppearance(AppearancePreference::Light);
    settings.setAppearance(AppearancePreference::Light);
    settings.setPalette(ColorPalettePreference::Cool);
    settings.setHasCompletedOnboarding(true);
    settings.setHasCompletedOnboarding(true);
    ASSERT_EQ(appearance.count(), 1);
    EXPECT_EQ(appearance.at(0).at(0).value<AppearancePreference>(), AppearancePreference::Light);
    ASSERT_EQ(palette.count(), 1);
    EXPECT_EQ(palette.at(0).at(0).value<ColorPalettePreference>(), ColorPalettePreference::Cool);
    ASSERT_EQ(onboarding.count(), 1);
    // Observers that read back inside the signal see the new value stored.
    bool storedWhenTold = false;
    QObject::connect(&settings, &AppSettings::paletteChanged, [&] {
        storedWhenTold = settings.palette() == ColorPalettePreference::Warm
                         && defaults.string(AppSettings::kPaletteKey) == "warm";
    });
    settings.setPalette(ColorPalettePreference::Warm);
    EXPECT_TRUE(storedWhenTold);
}

TEST(AppearancePreference, RawValuesMatchExactlyAndSchemesFollowTheChoice)
{
    EXPECT_EQ(allAppearancePreferences().size(), 3u);
    EXPECT_EQ(rawValue(allAppearancePreferences()[0]), "system");
    EXPECT_EQ(rawValue(allAppearancePreferences()[1]), "light");
    EXPECT_EQ(rawValue(allAppearancePreferences()[2]), "dark");
    EXPECT_EQ(rawValue(allColorPalettePreferences()[0]), "warm");
    EXPECT_EQ(rawValue(allColorPalettePreferences()[1]), "cool");
    for (AppearancePreference a : allAppearancePreferences())
        EXPECT_EQ(appearancePreferenceFromRaw(rawValue(a)), a);
    for (ColorPalettePreference p : allColorPalettePreferences())
        EXPECT_EQ(colorPalettePreferenceFromRaw(rawValue(p)), p);
    EXPECT_FALSE(appearancePreferenceFromRaw("System"));
    EXPECT_FALSE(colorPalettePreferenceFromRaw("Warm"));
    EXPECT_FALSE(colorScheme(AppearancePreference::System));
    EXPECT_EQ(colorScheme(AppearancePreference::Light), ColorScheme::Light);
    EXPECT_EQ(colorScheme(AppearancePreference::Dark), ColorScheme::Dark);
}

} // namespace zn
