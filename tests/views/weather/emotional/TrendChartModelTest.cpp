#include "WeatherTestHarness.h"

#include "views/weather/emotional/TrendChartModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn::test {
namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);

QDateTime dayStart(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(0, 0), QTimeZone::utc());
}

// A window ending with kNow whose days `daysBack` (0 = today) have entries.
WeatherPeriodSummary summaryWith(WeatherPeriod period, const QList<int> &daysBack, double score = 0.3)
{
    WeatherPeriodSummary summary;
    summary.period = period;
    summary.interval = utcCalendar().trailingDaysInterval(dayCount(period), kNow);
    for (int back : daysBack) {
        const QDateTime start = utcCalendar().startOfDay(kNow.addDays(-back));
        summary.points.append({utcCalendar().dayKey(start), start, score, 1});
    }
    summary.entryCount = int(daysBack.size());
    return summary;
}

QStringList labels(const TrendChartModel &model)
{
    QStringList out;
    for (const TrendChartModel::Mark &mark : model.xMarks())
        out.append(mark.label);
    return out;
}

TrendChartModel placed(const WeatherPeriodSummary &summary)
{
    TrendChartModel model(summary, utcCalendar(), kUS);
    model.setPlotRect(QRectF(10, 10, 400, 200));
    return model;
}

TEST(TrendDomain, SparseWeekStartsFiveDaysBeforeItsEnd)
{
    const TrendChartModel model(summaryWith(WeatherPeriod::Week, {0}), utcCalendar(), kUS);
    EXPECT_EQ(model.domain().lower, dayStart(2025, 3, 3));
    EXPECT_EQ(model.domain().upper, dayStart(2025, 3, 7));
    EXPECT_EQ(labels(model), (QStringList{"Mon", "Tue", "Wed", "Thu", "Fri"}));
}

TEST(TrendDomain, EmptyOrCoveredWindowsShowEveryDay)
{
    const TrendChartModel empty(summaryWith(WeatherPeriod::Week, {}), utcCalendar(), kUS);
    EXPECT_EQ(empty.domain().lower, dayStart(2025, 3, 1));
    EXPECT_FALSE(empty.hasPoints());
    EXPECT_EQ(empty.xMarks().size(), 7);

    const TrendChartModel covered(summaryWith(WeatherPeriod::Month, {29, 0}), utcCalendar(), kUS);
    EXPECT_EQ(covered.domain().lower, dayStart(2025, 2, 6));
    EXPECT_EQ(covered.domainDays(), 29);
    EXPECT_EQ(covered.stride(), (TrendChartModel::Stride{TrendChartModel::Stride::Unit::Day, 5}));
    EXPECT_EQ(labels(covered), (QStringList{"Feb 6", "Feb 11", "Feb 16", "Feb 21", "Feb 26", "Mar 3"}));
}

TEST(TrendStrides, MonthWithItsLastThreeDaysLabelsEverySecondDay)
{
    const TrendChartModel model(summaryWith(WeatherPeriod::Month, {2, 1, 0}), utcCalendar(), kUS);
    EXPECT_EQ(model.domain().lower, dayStart(2025, 3, 3));
    EXPECT_EQ(model.domainDays(), 4);
    EXPECT_EQ(labels(model), (QStringList{"Mar 3", "Mar 5", "Mar 7"}));
}

TEST(TrendStrides, YearStridesFollowTheDomainLength)
{
    using Unit = TrendChartModel::Stride::Unit;
    const TrendChartModel full(summaryWith(WeatherPeriod::Year, {364, 0}), utcCalendar(), kUS);
    EXPECT_EQ(full.stride(), (TrendChartModel::Stride{Unit::Month, 1}));
    // Months count from the lower bound itself, not from the 1st.
    EXPECT_EQ(full.xMarks().first().date, dayStart(2024, 3, 8));
    EXPECT_EQ(labels(full), (QStringList{"Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", "Jan",
                                         "Feb"}));

    const TrendChartModel seventy(summaryWith(WeatherPeriod::Year, {70, 0}), utcCalendar(), kUS);
    EXPECT_EQ(seventy.domainDays(), 71);
    EXPECT_EQ(seventy.stride(), (TrendChartModel::Stride{Unit::Day, 30}));
    EXPECT_EQ(labels(seventy), (QStringList{"Dec 26", "Jan 25", "Feb 24"}));

    const TrendChartModel forty(summaryWith(WeatherPeriod::Year, {40, 0}), utcCalendar(), kUS);
    EXPECT_EQ(forty.domainDays(), 41);
    EXPECT_EQ(forty.stride(), (TrendChartModel::Stride{Unit::Day, 14}));
    EXPECT_EQ(forty.xMarks().size(), 3);

    const TrendChartModel boundary(summaryWith(WeatherPeriod::Year, {89, 0}), utcCalendar(), kUS);
    EXPECT_EQ(boundary.domainDays(), 90);
    EXPECT_EQ(boundary.stride(), (TrendChartModel::Stride{Unit::Day, 30}));
    const TrendChartModel longer(summaryWith(WeatherPeriod::Year, {90, 0}), utcCalendar(), kUS);
    EXPECT_EQ(longer.stride(), (TrendChartModel::Stride{Unit::Month, 1}));
}

TEST(TrendScale, FixedMoodMarksAndTexts)
{
    const QList<TrendChartModel::ScaleMark> marks = TrendChartModel::yMarks();
    ASSERT_EQ(marks.size(), 3);
    EXPECT_EQ(marks[0].label, QStringLiteral("Stormy"));
    EXPECT_EQ(marks[1].label, QStringLiteral("Overcast"));
    EXPECT_EQ(marks[2].label, QStringLiteral("Sunny"));
    const TrendChartModel model(summaryWith(WeatherPeriod::Month, {3}), utcCalendar(), kUS);
    EXPECT_EQ(model.title(), QStringLiteral("Sentiment \u00b7 past 30 days"));
    EXPECT_EQ(model.accessibleName(), QStringLiteral("Sentiment trend chart, Past 30 days"));
    EXPECT_EQ(TrendChartModel::accessibleHint(), QStringLiteral("Click a day to open that day\u2019s journal entries"));
}

TEST(TrendScale, OutOfRangeAndNaNScoresAreDrawnAtTheEdges)
{
    const TrendChartModel model = placed(summaryWith(WeatherPeriod::Week, {1, 0}));
    EXPECT_DOUBLE_EQ(model.yFor(1.0), 10.0);
    EXPECT_DOUBLE_EQ(model.yFor(-1.0), 210.0);
    EXPECT_DOUBLE_EQ(model.yFor(0.0), 110.0);
    EXPECT_DOUBLE_EQ(model.yFor(7.5), model.yFor(1.0));
    EXPECT_DOUBLE_EQ(model.yFor(-4.0), model.yFor(-1.0));
    EXPECT_DOUBLE_EQ(model.yFor(std::numeric_limits<double>::quiet_NaN()), model.yFor(-1.0));
}

TEST(TrendMarks, AreaAndLineNeedTwoDaysAndTheSmoothCurveNeverOvershoots)
{
    EXPECT_FALSE(placed(summaryWith(WeatherPeriod::Week, {2})).showsAreaAndLine());
    EXPECT_TRUE(placed(summaryWith(WeatherPeriod::Week, {2})).isSingleDay());
    WeatherPeriodSummary zigzag = summaryWith(WeatherPeriod::Week, {6, 5, 4, 3, 2, 1, 0});
    const double scores[] = {1.0, -1.0, 1.0, 0.9, -1.0, 1.0, -1.0};
    for (int i = 0; i < zigzag.points.size(); ++i)
        zigzag.points[i].averageSentiment = scores[i];
    const TrendChartModel model = placed(zigzag);
    ASSERT_TRUE(model.showsAreaAndLine());
    const QRectF bounds = model.trendPath(true, false).boundingRect();
    EXPECT_GE(bounds.top(), model.plotRect().top() - 0.01);
    EXPECT_LE(bounds.bottom(), model.plotRect().bottom() + 0.01);
    // The area reaches the floor under every day.
    EXPECT_DOUBLE_EQ(model.trendPath(false, true).boundingRect().bottom(), model.yFor(-1.0));
}

TEST(TrendSelection, TheSameCalendarDayWinsOverANearerDot)
{
    const TrendChartModel model = placed(summaryWith(WeatherPeriod::Week, {4, 3}));
    const auto picked = model.chartPoint(QDateTime(QDate(2025, 3, 3), QTime(23, 0), QTimeZone::utc()));
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->date, dayStart(2025, 3, 3));
    EXPECT_TRUE(model.isSelected(model.points()[0], QDateTime(QDate(2025, 3, 3), QTime(23, 0), QTimeZone::utc())));
    EXPECT_FALSE(model.isSelected(model.points()[1], QDateTime(QDate(2025, 3, 3), QTime(23, 0), QTimeZone::utc())));
    EXPECT_FALSE(model.isSelected(model.points()[0], std::nullopt));
}

TEST(TrendSelection, AnEmptyDayPicksTheNearestAndTiesGoToTheEarlier)
{
    const TrendChartModel model = placed(summaryWith(WeatherPeriod::Week, {4, 2}));
    EXPECT_EQ(model.chartPoint(dayStart(2025, 3, 4))->date, dayStart(2025, 3, 3)); // 24 h from both
    EXPECT_EQ(model.chartPoint(QDateTime(QDate(2025, 3, 4), QTime(1, 0), QTimeZone::utc()))->date, dayStart(2025, 3, 5));
    EXPECT_EQ(model.chartPoint(dayStart(2024, 1, 1))->date, dayStart(2025, 3, 3));
    EXPECT_EQ(placed(summaryWith(WeatherPeriod::Week, {})).chartPoint(kNow), std::nullopt);
    EXPECT_EQ(model.viewEntriesTitle(model.points()[0]), QStringLiteral("View entries for Mar 3, 2025"));
}

TEST(TrendSelection, ClicksMapToDaysOnlyInsideThePlot)
{
    const TrendChartModel model = placed(summaryWith(WeatherPeriod::Week, {4, 2}, 1.0));
    const double x = model.xFor(dayStart(2025, 3, 5));
    EXPECT_EQ(model.pointForClick(QPointF(x, 100))->date, dayStart(2025, 3, 5));
    // The upper half of a dot at the top of the scale stands out of the plot.
    const auto onTop = model.pointForClick(QPointF(x - 2, model.yFor(1.0) - 4));
    ASSERT_TRUE(onTop);
    EXPECT_EQ(onTop->date, dayStart(2025, 3, 5));
    EXPECT_EQ(model.pointForClick(QPointF(5, 100)), std::nullopt);   // left of the plot
    EXPECT_EQ(model.pointForClick(QPointF(415, 100)), std::nullopt); // right of it
    EXPECT_EQ(model.pointForClick(QPointF(x, 230)), std::nullopt);   // on the date labels
    EXPECT_EQ(*model.dateAtX(10), model.domain().lower);
    EXPECT_EQ(*model.dateAtX(410), model.domain().upper);
    EXPECT_EQ(placed(summaryWith(WeatherPeriod::Week, {})).pointForClick(QPointF(200, 100)), std::nullopt);
}

TEST(TrendSelection, DotSizesAreAreas)
{
    EXPECT_NEAR(TrendChartModel::dotDiameter(true), 10.09, 0.01);
    EXPECT_NEAR(TrendChartModel::dotDiameter(false), 7.14, 0.01);
}

} // namespace
} // namespace zn::test
