// The sidebar's forecast of the past 7 days: its words, symbol and window,
// kept current through every save, and the click that leads to Emotional
// Weather.

#include "WindowTestHarness.h"

#include "views/settings/SettingsModel.h"
#include "views/weather/emotional/EmotionalWeatherView.h"
#include "views/workspace/window/InsightsTeaserCard.h"
#include "views/workspace/window/WorkspaceSidebar.h"

#include <QTest>

namespace zn::test {
namespace {

TEST(TeaserCardContentTest, AnEmptyWeekInvitesWritingUnderAnOvercastSky)
{
    const TeaserCardContent empty = teaserCardContent(WeatherLabel::Overcast, 0);
    EXPECT_EQ(empty.weatherWord, QStringLiteral("Clear skies"));
    EXPECT_EQ(empty.countLine, QStringLiteral("Write to see your forecast"));
    EXPECT_EQ(empty.symbol, QStringLiteral("cloud.fill"));
    EXPECT_EQ(empty.accessibleName,
              QStringLiteral("Past 7 days weather, Write to see your forecast. Open Emotional Weather."));
}

TEST(TeaserCardContentTest, CountsSayEntryForOneAndEntriesOtherwise)
{
    EXPECT_EQ(teaserCardContent(WeatherLabel::Sunny, 1).countLine, QStringLiteral("1 entry · tap for Weather"));
    EXPECT_EQ(teaserCardContent(WeatherLabel::Sunny, 2).countLine, QStringLiteral("2 entries · tap for Weather"));
    EXPECT_EQ(teaserCardContent(WeatherLabel::Rainy, 5).accessibleName,
              QStringLiteral("Past 7 days weather, 5 entries · tap for Weather. Open Emotional Weather."));
    EXPECT_EQ(teaserCardContent(WeatherLabel::Stormy, 3).weatherWord, QStringLiteral("Stormy"));
    EXPECT_EQ(teaserCardContent(WeatherLabel::PartlyCloudy, 3).symbol, QStringLiteral("cloud.sun.fill"));
    EXPECT_EQ(teaserCardContent(WeatherLabel::Stormy, 3).symbol, QStringLiteral("cloud.bolt.rain.fill"));
}

// The window is today and the six days before, on the store's own entries.
TEST(TeaserCardContentTest, OnlyTheLastSevenDaysCountAndTheirAverageNamesTheWeather)
{
    WindowHarness h;
    h.seed(QStringLiteral("A bright day."), 0.9, 2);
    h.seed(QStringLiteral("Another fine one."), 0.3, 24 * 3);
    h.seed(QStringLiteral("Long ago and stormy."), -1.0, 24 * 8);
    // Read straight from the store: the window's set-up would re-score them.
    const TeaserCardContent week = teaserCardContent(fetchAllEntries(*h.context), h.calendar, h.clock.now());
    EXPECT_EQ(week.entryCount, 2);
    EXPECT_EQ(week.label, WeatherLabel::Sunny); // (0.9 + 0.3) / 2 = 0.6
    EXPECT_EQ(week.weatherWord, QStringLiteral("Sunny"));
    EXPECT_EQ(week.symbol, QStringLiteral("sun.max.fill"));
}

TEST(TeaserCardContentTest, AnAverageOfExactlyMinusPointSixIsRainy)
{
    WindowHarness h;
    h.seed(QStringLiteral("Heavy."), -0.6, 1);
    const auto week = teaserCardContent(fetchAllEntries(*h.context), h.calendar, h.clock.now());
    EXPECT_EQ(week.weatherWord, QStringLiteral("Rainy"));
}

TEST(TeaserCardTest, ClickSpaceOrReturnOpensWeatherOnceEach)
{
    WindowHarness h;
    h.make();
    InsightsTeaserCard *card = h.view->sidebar()->teaserCard();
    QTest::mouseClick(card, Qt::LeftButton, {}, QPoint(card->width() - 10, card->height() - 8));
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Weather);

    h.workspace().navigate(WorkspaceDestination::Timeline);
    card->setFocus();
    QTest::keyClick(card, Qt::Key_Space);
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Weather);
}

TEST(TeaserCardTest, FollowsNewEntriesAndDeleteAllWithoutBeingAsked)
{
    WindowHarness h;
    h.make();
    EXPECT_EQ(h.view->sidebar()->teaserCard()->content().entryCount, 0);
    h.seed(QStringLiteral("A lovely afternoon."), 0.7, 1);
    settle();
    EXPECT_EQ(h.view->sidebar()->teaserCard()->content().countLine, QStringLiteral("1 entry · tap for Weather"));

    // Delete All as Settings › Privacy runs it, with the week's page up.
    h.workspace().navigate(WorkspaceDestination::Weather);
    settle();
    SettingsModel settings({.context = h.context, .notificationCenter = &h.center, .clock = &h.clock});
    settings.requestDeleteAll();
    settings.answerDeleteConfirm(true);
    settle();
    EXPECT_EQ(h.view->sidebar()->teaserCard()->content().countLine, QStringLiteral("Write to see your forecast"));
    EXPECT_EQ(qobject_cast<EmotionalWeatherView *>(h.view->detailPage())->summary().entryCount, 0);
}

// Leaving a composed text for the weather asks first, as every other way out.
TEST(TeaserCardTest, TheWayToWeatherGoesThroughTheGuard)
{
    WindowHarness h;
    h.make();
    h.workspace().startNewEntry();
    h.workspace().editor().setDraftText(QStringLiteral("Half a thought"));
    QTest::mouseClick(h.view->sidebar()->teaserCard(), Qt::LeftButton);
    ASSERT_TRUE(h.dialogs.pendingConfirmation());
    EXPECT_EQ(h.dialogs.pendingConfirmation()->title, QStringLiteral("Discard this entry?"));
    EXPECT_EQ(h.workspace().destination(), WorkspaceDestination::Timeline);
}

} // namespace
} // namespace zn::test
