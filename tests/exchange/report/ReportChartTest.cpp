#include "ReportTestSupport.h"

#include "exchange/report/WeatherReportChart.h"

#include <gtest/gtest.h>

#include <limits>

namespace zn {
namespace {

using test::kReportZone;

QDateTime midnight(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0), kReportZone);
}

QList<int> offsets(const QList<QDateTime> &ticks, const QDate &first)
{
    QList<int> out;
    for (const QDateTime &t : ticks) {
        EXPECT_EQ(t.toTimeZone(kReportZone).time(), QTime(0, 0)) << t.toString().toStdString();
        out.append(int(first.daysTo(t.toTimeZone(kReportZone).date())));
    }
    return out;
}

class ReportChart : public ::testing::Test
{
protected:
    CalendarProvider m_calendar{QCalendar(), kReportZone};
};

} // namespace

TEST_F(ReportChart, TickDatesSpreadOverWholeDaysRoundingHalvesAway)
{
    const QDate first(2025, 3, 4);
    const auto ticks = [&](int days) {
        const DateRange domain{midnight(2025, 3, 4), m_calendar.startOfDay(midnight(2025, 3, 4).addDays(days))};
        return offsets(chartTickDates(domain, 5, m_calendar), first);
    };
    EXPECT_EQ(ticks(6), (QList<int>{0, 2, 3, 5, 6}));
    EXPECT_EQ(ticks(2), (QList<int>{0, 1, 2}));
    EXPECT_EQ(ticks(1), (QList<int>{0, 1}));
    EXPECT_EQ(ticks(4), (QList<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(ticks(29), (QList<int>{0, 7, 15, 22, 29}));
    EXPECT_EQ(ticks(364), (QList<int>{0, 91, 182, 273, 364}));
}

TEST_F(ReportChart, TickDatesOfAnEmptyOrReversedDomainAreItsFirstDay)
{
    // Bounds within one day, and bounds the wrong way round.
    const DateRange sameDay{QDateTime(QDate(2025, 3, 4), QTime(9, 0), kReportZone),
                            QDateTime(QDate(2025, 3, 4), QTime(18, 0), kReportZone)};
    EXPECT_EQ(chartTickDates(sameDay, 5, m_calendar), QList<QDateTime>{midnight(2025, 3, 4)});
    const DateRange reversed{midnight(2025, 3, 9), midnight(2025, 3, 4)};
    EXPECT_EQ(chartTickDates(reversed, 5, m_calendar), QList<QDateTime>{midnight(2025, 3, 9)});
}

TEST_F(ReportChart, TickDatesAcrossAClockChangeStayOnMidnights)
{
    // Berlin moves its clocks on 30 March 2025: that day has 23 hours.
    const DateRange domain{midnight(2025, 3, 27), midnight(2025, 4, 2)};
    EXPECT_EQ(offsets(chartTickDates(domain, 5, m_calendar), QDate(2025, 3, 27)), (QList<int>{0, 2, 3, 5, 6}));
}

TEST_F(ReportChart, ScoresOutsideTheScaleSitOnTheNearerEdge)
{
    const ReportChartGeometry g(100, {midnight(2025, 3, 4), midnight(2025, 3, 10)}, m_calendar);
    EXPECT_EQ(g.plot(), QRectF(48, 100, 516, 150));
    EXPECT_DOUBLE_EQ(g.yForScore(1.0), 100);
    EXPECT_DOUBLE_EQ(g.yForScore(1.4), 100);
    EXPECT_DOUBLE_EQ(g.yForScore(std::numeric_limits<double>::infinity()), 100);
    EXPECT_DOUBLE_EQ(g.yForScore(0.0), 175);
    EXPECT_DOUBLE_EQ(g.yForScore(-0.5), 212.5);
    EXPECT_DOUBLE_EQ(g.yForScore(-1.0), 250);
    EXPECT_DOUBLE_EQ(g.yForScore(-3.0), 250);
    EXPECT_DOUBLE_EQ(g.yForScore(std::numeric_limits<double>::quiet_NaN()), 250);
}

TEST_F(ReportChart, DatesMapByTheirDayAndClampToThePlot)
{
    const ReportChartGeometry g(0, {midnight(2025, 3, 4), midnight(2025, 3, 10)}, m_calendar);
    EXPECT_DOUBLE_EQ(g.xForDate(midnight(2025, 3, 4)), 48);
    EXPECT_DOUBLE_EQ(g.xForDate(QDateTime(QDate(2025, 3, 7), QTime(23, 30), kReportZone)), 48 + 516 * 0.5);
    EXPECT_DOUBLE_EQ(g.xForDate(midnight(2025, 3, 10)), 564);
    EXPECT_DOUBLE_EQ(g.xForDate(midnight(2025, 2, 1)), 48);
    EXPECT_DOUBLE_EQ(g.xForDate(midnight(2025, 6, 1)), 564);
    EXPECT_DOUBLE_EQ(g.xForDate(QDateTime()), 48);

    const ReportChartGeometry flat(0, {midnight(2025, 3, 4), midnight(2025, 3, 4)}, m_calendar);
    EXPECT_DOUBLE_EQ(flat.xForDate(midnight(2025, 3, 4)), 306);
    EXPECT_DOUBLE_EQ(flat.xForDate(midnight(2025, 1, 1)), 306);
    const ReportChartGeometry invalid(0, {}, m_calendar);
    EXPECT_DOUBLE_EQ(invalid.xForDate(midnight(2025, 3, 4)), 306);
}

TEST_F(ReportChart, PointsSortByDateKeepingTiesInOrder)
{
    QList<WeatherPDFDailyPoint> points{{"c", midnight(2025, 3, 6), 0.1, 1},
                                       {"a", midnight(2025, 3, 4), 0.2, 1},
                                       {"b1", midnight(2025, 3, 5), 0.3, 1},
                                       {"b2", midnight(2025, 3, 5), 0.4, 1}};
    sortDailyPointsByDate(points);
    QStringList keys;
    for (const auto &p : points)
        keys.append(p.dayKey);
    EXPECT_EQ(keys, (QStringList{"a", "b1", "b2", "c"}));
}

} // namespace zn
