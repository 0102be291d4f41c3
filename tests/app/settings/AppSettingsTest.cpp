#include "app/settings/AppSettings.h"
#include "support/TestSupport.h"

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

} // namespace zn
