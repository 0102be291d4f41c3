#include "WeatherTestHarness.h"

#include "views/kit/SegmentedControl.h"
#include "views/weather/emotional/TrendCard.h"
#include "views/weather/emotional/TrendChartWidget.h"
#include "views/weather/emotional/WeatherCards.h"
#include "views/workspace/detail/ReflectionPanel.h"

#include <QAbstractButton>
#include <QFile>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zn::test {
namespace {

using WeatherPage = WeatherHarness;

TEST_F(WeatherPage, AnEmptyWindowShowsTheEmptyStateAndThePanel)
{
    seed(daysAgo(400), 0.5); // older than every window
    EmotionalWeatherView &page = makeView();
    page.show();
    drainEvents();
    EXPECT_FALSE(page.emptyStateCard()->isHidden());
    EXPECT_FALSE(page.showsSummaryRow());
    EXPECT_TRUE(page.trendCard()->isHidden());
    EXPECT_EQ(page.emptyStateCard()->texts(),
              (QStringList{QStringLiteral("Your weather will appear as you write."),
                           QStringLiteral("A few entries are enough for the first gentle forecast.")}));
    EXPECT_EQ(page.reflectionPanel()->title(), QStringLiteral("Past 7 days reflection"));
    // One finished entry, even outside the window, can be exported.
    EXPECT_TRUE(page.exportButton()->isEnabled());
}

TEST_F(WeatherPage, NoEntriesAtAllDisablesExport)
{
    seed(daysAgo(1), 0.5, {}, true); // a draft only
    EmotionalWeatherView &page = makeView();
    EXPECT_FALSE(page.exportButton()->isEnabled());
    EXPECT_FALSE(page.emptyStateCard()->isHidden());
}

TEST_F(WeatherPage, SummaryThemesAndTrendFollowTheWindow)
{
    seed(daysAgo(1), -0.9, {{QStringLiteral("storm"), 3}, {QStringLiteral("about"), 9}});
    seed(daysAgo(0), -0.8, {{QStringLiteral("storm"), 2}});
    seed(daysAgo(20), 0.9, {{QStringLiteral("sunlight"), 30}});
    EmotionalWeatherView &page = makeView();
    EXPECT_EQ(page.summaryCard()->weatherWord(), QStringLiteral("Stormy"));
    EXPECT_EQ(page.summaryCard()->symbolName(), QStringLiteral("cloud.bolt.rain.fill"));
    EXPECT_EQ(page.summaryCard()->countText(), QStringLiteral("2 entries \u00b7 past 7 days"));
    EXPECT_EQ(page.themesCard()->keywords()->words(), QStringList{QStringLiteral("storm")});
    EXPECT_EQ(page.trendCard()->titleText(), QStringLiteral("Sentiment \u00b7 past 7 days"));

    page.periodPicker()->activate(1);
    EXPECT_EQ(page.period(), WeatherPeriod::Month);
    EXPECT_EQ(page.summaryCard()->countText(), QStringLiteral("3 entries \u00b7 past 30 days"));
    EXPECT_EQ(page.themesCard()->keywords()->words(), (QStringList{QStringLiteral("sunlight"), QStringLiteral("storm")}));
    EXPECT_EQ(page.reflectionPanel()->title(), QStringLiteral("Reflection"));
    EXPECT_EQ(page.trendCard()->titleText(), QStringLiteral("Sentiment \u00b7 past 30 days"));
}

TEST_F(WeatherPage, TheWindowsBackdropShowsThroughUnderTheWeatherWash)
{
    // Sunny over the week, rainy over the month: the wash follows the window.
    seed(daysAgo(1), 0.9);
    for (int back : {20, 21, 22})
        seed(daysAgo(back), -1.0);
    const QColor backdrop(40, 160, 90); // nothing on the page has this colour
    const QSize size(1000, 800);
    // The page's margin left of its column: only the page's own layers
    // between the window's backdrop and the eye.
    auto expected = [&](WeatherLabel label, int y) {
        QColor surface = theme.surface();
        surface.setAlphaF(0.2f);
        QColor colour = sourceOver(surface, backdrop);
        const double half = size.height() / 2.0;
        if (y + 0.5 < half) {
            QColor wash = ZephyrTheme::weatherColor(label);
            wash.setAlphaF(float((theme.isDark() ? 0.12 : 0.08) * (1.0 - (y + 0.5) / half)));
            colour = sourceOver(wash, colour);
        }
        return colour;
    };
    for (const ZephyrTheme &each : everyTheme()) {
        theme = each;
        EmotionalWeatherView &page = makeView(true, size);
        const QImage week = pageOver(page, theme, size, backdrop);
        for (int y : {8, 150, 390, 700})
            EXPECT_TRUE(pixelIs(week, QPoint(10, y), expected(WeatherLabel::Sunny, y)))
                << rawValue(theme.palette).toStdString() << (theme.isDark() ? " dark" : " light");
        page.setPeriod(WeatherPeriod::Month);
        const QImage month = pageOver(page, theme, size, backdrop);
        for (int y : {8, 150})
            EXPECT_TRUE(pixelIs(month, QPoint(10, y), expected(WeatherLabel::Rainy, y)))
                << rawValue(theme.palette).toStdString() << (theme.isDark() ? " dark" : " light");
        // Right of the column too, below the cards' end.
        EXPECT_TRUE(pixelIs(month, QPoint(size.width() - 30, size.height() - 10),
                            expected(WeatherLabel::Rainy, size.height() - 10)));
    }
}

TEST_F(WeatherPage, ASingleDayShowsOneDotAndItsNote)
{
    seed(daysAgo(2), std::numeric_limits<double>::quiet_NaN());
    EmotionalWeatherView &page = makeView();
    const QStringList notes = page.trendCard()->shownNotes();
    EXPECT_TRUE(notes.contains(
        QStringLiteral("Only one day has entries in this window \u2014 more days will fill the trend.")));
    EXPECT_TRUE(notes.contains(QStringLiteral("Click a day on the chart to open those journal entries.")));
    EXPECT_FALSE(page.trendCard()->chart()->model()->showsAreaAndLine());
}

TEST_F(WeatherPage, ShowingAndSwitchingBackToTheWeekAsksForTheReflection)
{
    seed(daysAgo(1), 0.2);
    EmotionalWeatherView &page = makeView();
    EXPECT_FALSE(coordinator->weeklyRequested());
    page.show();
    EXPECT_TRUE(coordinator->weeklyRequested());
    coordinator->setWeeklyRequested(false);
    page.periodPicker()->activate(2);
    EXPECT_FALSE(coordinator->weeklyRequested());
    page.periodPicker()->activate(0);
    EXPECT_TRUE(coordinator->weeklyRequested());
}

TEST_F(WeatherPage, WithoutACoordinatorNothingIsAskedAndAStoredRecordStillShows)
{
    seed(daysAgo(1), 0.2);
    seedRecord(QStringLiteral("rolling7:2025-03-05"), InsightStatus::Ready, kNow.addDays(-2),
               QStringLiteral("Lighter days with steady sleep."));
    EmotionalWeatherView &page = makeView(false);
    page.show();
    drainEvents();
    EXPECT_FALSE(coordinator->weeklyRequested());
    EXPECT_TRUE(page.reflectionPanel()->shownTexts().contains(QStringLiteral("Lighter days with steady sleep.")));
}

TEST_F(WeatherPage, RecordSavesFromAnotherContextRedrawOnceAndTheButtonAsks)
{
    seed(daysAgo(1), 0.2);
    EmotionalWeatherView &page = makeView();
    drainEvents();

    ModelContext other(container.get());
    auto record = std::make_unique<WeeklyReflectionRecord>(QStringLiteral("rolling7:2025-03-07"), kNow.addDays(-6));
    record->setStatus(InsightStatus::Failed);
    record->setFailureMessage(QStringLiteral("The model took too long."));
    other.insert(std::move(record));
    const int before = page.refreshCount();
    ASSERT_FALSE(other.save().has_value());
    drainEvents();
    EXPECT_EQ(page.refreshCount(), before + 1); // a burst of notices, one redraw
    EXPECT_EQ(page.reflectionPanel()->shownTexts(),
              (QStringList{QStringLiteral("The model took too long."), QStringLiteral("Try again")}));

    coordinator->setWeeklyRequested(false);
    int asked = 0;
    QObject::connect(coordinator.get(), &InsightCoordinator::weeklyRequestedChanged, [&] {
        if (coordinator->weeklyRequested())
            ++asked;
    });
    for (QAbstractButton *button : page.reflectionPanel()->findChildren<QAbstractButton *>()) {
        if (button->text() == QStringLiteral("Try again"))
            button->click();
    }
    drainEvents(); // the worker may already have taken the request
    EXPECT_EQ(asked, 1);
}

TEST_F(WeatherPage, ARescoredEntryRedrawsTheSummary)
{
    JournalEntry *entry = seed(daysAgo(1), 0.9);
    EmotionalWeatherView &page = makeView();
    EXPECT_EQ(page.summaryCard()->weatherWord(), QStringLiteral("Sunny"));
    entry->setSentimentScore(-0.4);
    ASSERT_FALSE(context->save().has_value());
    drainEvents();
    EXPECT_EQ(page.summaryCard()->weatherWord(), QStringLiteral("Rainy"));
}

TEST_F(WeatherPage, APointerOnOrBesideADotPicksAndOpensThatDay)
{
    // Each of the last 7 days (today at the top of the scale), and a few
    // older days spread over the longer windows.
    for (int back : {0, 1, 2, 3, 4, 5, 6, 13, 22, 29, 90, 200, 364})
        seed(daysAgo(back), back == 0 ? 1.0 : 0.8 - 0.12 * (back % 14));
    EmotionalWeatherView &page = makeView();
    page.show();
    drainEvents();
    TrendCard *card = page.trendCard();
    TrendChartWidget *chart = card->chart();
    const auto bigDots = [chart](const QList<DailySentimentPoint> &dots) {
        QList<QDateTime> big;
        for (const DailySentimentPoint &dot : dots) {
            if (chart->dotRect(dot).width() > TrendChartModel::dotDiameter(false))
                big.append(dot.date);
        }
        return big;
    };

    // The page at its usual width and at its narrowest (the smallest window
    // less the widest sidebar).
    for (int width : {1000, 900 - 300 - 1}) {
        page.resize(width, 900);
        for (int window : {0, 1, 2}) {
            page.periodPicker()->activate(window);
            drainEvents();
            const TrendChartModel *model = chart->model();
            const QList<DailySentimentPoint> dots = model->points();
            for (const DailySentimentPoint &dot : dots) {
                const QPointF centre = chart->dotRect(dot).center();
                for (int dx : {-3, 0, 3}) {
                    const QPoint at = (centre + QPointF(dx, 0)).toPoint();
                    // Where the year's last week crowds its dots, a
                    // neighbour's own centre may lie nearer the probe.
                    const bool crowded = std::any_of(dots.begin(), dots.end(), [&](const DailySentimentPoint &other) {
                        return other.date != dot.date
                               && std::abs(chart->dotRect(other).center().x() - at.x()) < std::abs(centre.x() - at.x());
                    });
                    if (crowded) {
                        ASSERT_NE(dx, 0);
                        continue;
                    }
                    SCOPED_TRACE(QStringLiteral("width %1, window %2, %3, %4 px")
                                     .arg(width).arg(window).arg(dot.date.toString(Qt::ISODate)).arg(dx)
                                     .toStdString());
                    QTest::mouseMove(chart, at);
                    EXPECT_EQ(bigDots(dots), QList<QDateTime>{dot.date});
                    EXPECT_EQ(card->shownNotes().last(), model->viewEntriesTitle(dot));
                    const qsizetype opened = openedDays.size();
                    QTest::mouseClick(chart, Qt::LeftButton, {}, at);
                    ASSERT_EQ(openedDays.size(), opened + 1);
                    EXPECT_EQ(openedDays.last(), dot.date);
                    EXPECT_EQ(card->selectedDate(), dot.date);
                }
            }
            if (window == 0) {
                EXPECT_EQ(dots.size(), 7);
                EXPECT_EQ(card->shownNotes().last(), QStringLiteral("View entries for Mar 7, 2025"));
            }
        }
    }

    // The button opens the day it names; it stays whole at the narrowest.
    EXPECT_FALSE(card->viewEntriesButton()->isHidden());
    const qsizetype opened = openedDays.size();
    card->viewEntriesButton()->click();
    EXPECT_EQ(openedDays.size(), opened + 1);
    EXPECT_TRUE(card->rect().contains(card->viewEntriesButton()->geometry()));
    // A click on the labels under the plot does nothing.
    QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(chart->width() / 2, chart->height() - 2));
    EXPECT_EQ(openedDays.size(), opened + 1);
}

TEST_F(WeatherPage, NarrowWindowsStackTheCardsAndWideOnesSetThemSideBySide)
{
    seed(daysAgo(1), 0.3, {{QStringLiteral("garden"), 2}});
    EmotionalWeatherView &page = makeView(true, QSize(1100, 900));
    page.show();
    drainEvents();
    EXPECT_TRUE(page.cardsSideBySide());
    EXPECT_EQ(page.themesCard()->width(), 260);
    page.resize(520, 900);
    drainEvents();
    EXPECT_FALSE(page.cardsSideBySide());
    page.resize(200, 300);
    drainEvents(); // no negative sizes, no crash
    EXPECT_FALSE(page.cardsSideBySide());
}

TEST_F(WeatherPage, ExportSucceedsIntoTheChosenFileAndSaysSo)
{
    seed(daysAgo(1), 0.3);
    EmotionalWeatherView &page = makeView();
    const QString path = dir.file(QStringLiteral("report.pdf"));
    panels.scriptAnswer(path);
    page.exportButton()->click();
    ASSERT_TRUE(waitUntil([this] { return presenter.pendingAlert().has_value(); }));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(presenter.pendingAlert()->title, QStringLiteral("Weather report"));
    EXPECT_EQ(presenter.pendingAlert()->message, QStringLiteral("Weather report exported successfully."));
    EXPECT_EQ(page.exportMessage(), QStringLiteral("Weather report exported successfully."));
    presenter.dismissAlert();
    EXPECT_EQ(page.exportMessage(), std::nullopt);
}

TEST_F(WeatherPage, ACancelledPanelIsSilentAndOldEntriesOnlyReportEmpty)
{
    seed(daysAgo(1), 0.3);
    EmotionalWeatherView &page = makeView();
    panels.scriptCancel();
    page.exportButton()->click();
    drainEvents();
    EXPECT_TRUE(presenter.alerts().isEmpty());

    view.reset();
    JournalEntry *old = context->fetch<JournalEntry>().first();
    old->setTimestamp(daysAgo(500));
    ASSERT_FALSE(context->save().has_value());
    EmotionalWeatherView &again = makeView();
    again.exportButton()->click();
    ASSERT_TRUE(waitUntil([this] { return presenter.pendingAlert().has_value(); }));
    EXPECT_EQ(presenter.pendingAlert()->message, QStringLiteral("No journal entries found in the selected windows."));
    EXPECT_EQ(panels.requestCount(), 1); // no panel for an empty report
}

TEST_F(WeatherPage, AnUnwritableFolderReportsTheWriteFailure)
{
    seed(daysAgo(1), 0.3);
    EmotionalWeatherView &page = makeView();
    panels.scriptAnswer(dir.file(QStringLiteral("missing/folder/report.pdf")));
    page.exportButton()->click();
    ASSERT_TRUE(waitUntil([this] { return presenter.pendingAlert().has_value(); }));
    EXPECT_TRUE(presenter.pendingAlert()->message.startsWith(QStringLiteral("Couldn\u2019t write PDF: ")));
}

} // namespace
} // namespace zn::test
