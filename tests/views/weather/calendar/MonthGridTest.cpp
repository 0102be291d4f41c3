#include "views/weather/calendar/MonthGrid.h"

#include "CalendarTestSupport.h"
#include "core/WeatherLabel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {
namespace {

using test::at;
using test::kGermany;
using test::kUnitedStates;

int leadingBlanks(const MonthSlots &days)
{
    int n = 0;
    while (n < days.size() && !days[n])
        ++n;
    return n;
}

int dayCount(const MonthSlots &days)
{
    int n = 0;
    for (const auto &slot : days)
        n += slot.has_value();
    return n;
}

TEST(WeekdaySymbols, FollowTheLocalesFirstDayOfWeek)
{
    EXPECT_EQ(orderedWeekdaySymbols(kUnitedStates), QStringList({"S", "M", "T", "W", "T", "F", "S"}));
    const QStringList german = orderedWeekdaySymbols(kGermany);
    ASSERT_EQ(german.size(), 7);
    EXPECT_EQ(german.first(), kGermany.dayName(Qt::Monday, QLocale::NarrowFormat));
    EXPECT_EQ(german.last(), kGermany.dayName(Qt::Sunday, QLocale::NarrowFormat));
    EXPECT_EQ(MonthGrid(nullptr, kUnitedStates).firstWeekday(), 1);
    EXPECT_EQ(MonthGrid(nullptr, kGermany).firstWeekday(), 2);
}

TEST(WeekdaySymbols, AreLettersInEveryLocaleTheEnglishOnesWhereTheLocaleOnlyNumbersTheDays)
{
    // C and POSIX name the days "1" to "7": the initials are the English
    // ones, in the locale's own week order.
    for (const QLocale &numbering : {QLocale::c(), QLocale(QStringLiteral("POSIX"))}) {
        const QStringList symbols = orderedWeekdaySymbols(numbering);
        ASSERT_EQ(symbols.size(), 7);
        const int first = MonthGrid(nullptr, numbering).firstWeekday(); // 1 = Sunday
        const QStringList english{"S", "M", "T", "W", "T", "F", "S"};
        EXPECT_EQ(symbols, english.mid(first - 1) + english.mid(0, first - 1)) << numbering.name().toStdString();
    }
    // Locales with names of their own keep them, whatever their script.
    for (const QLocale &named : {QLocale(QLocale::Japanese, QLocale::Japan), QLocale(QLocale::Arabic, QLocale::Egypt),
                                 kGermany}) {
        const QStringList symbols = orderedWeekdaySymbols(named);
        EXPECT_EQ(symbols.first(), named.dayName(named.firstDayOfWeek(), QLocale::NarrowFormat))
            << named.name().toStdString();
        for (const QString &symbol : symbols)
            EXPECT_TRUE(symbol.front().isLetter()) << named.name().toStdString() << ": " << symbol.toStdString();
    }
}

class MonthDaysTest : public ::testing::Test
{
protected:
    CalendarProvider utc{QCalendar(), QTimeZone::utc()};
    MonthGrid sundayFirst{&utc, kUnitedStates};
    MonthGrid mondayFirst{&utc, kGermany};
};

TEST_F(MonthDaysTest, MonthStartingOnSundayHasNoLeadingBlankSundayFirstAndSixMondayFirst)
{
    // 1 June 2025 is a Sunday.
    const MonthSlots us = sundayFirst.monthDays(at(2025, 6, 17));
    EXPECT_EQ(leadingBlanks(us), 0);
    EXPECT_EQ(dayCount(us), 30);
    EXPECT_EQ(us.size(), 35);

    const MonthSlots de = mondayFirst.monthDays(at(2025, 6, 17));
    EXPECT_EQ(leadingBlanks(de), 6);
    EXPECT_EQ(dayCount(de), 30);
    EXPECT_EQ(de.size(), 42);
}

TEST_F(MonthDaysTest, FebruaryStartingOnTheFirstWeekdayFillsExactlyFourRows)
{
    // 1 February 2015 is a Sunday, 1 February 2021 a Monday.
    const MonthSlots us = sundayFirst.monthDays(at(2015, 2, 10));
    EXPECT_EQ(us.size(), 28);
    EXPECT_EQ(dayCount(us), 28);
    const MonthSlots de = mondayFirst.monthDays(at(2021, 2, 28));
    EXPECT_EQ(de.size(), 28);
    EXPECT_EQ(leadingBlanks(de), 0);
}

TEST_F(MonthDaysTest, LongMonthStartingOnTheLastWeekdayTakesSixRows)
{
    // 1 March 2025 is a Saturday; 1 June 2025 a Sunday (last day of a Monday week).
    const MonthSlots us = sundayFirst.monthDays(at(2025, 3, 1));
    EXPECT_EQ(leadingBlanks(us), 6);
    EXPECT_EQ(dayCount(us), 31);
    EXPECT_EQ(us.size(), 42);
    EXPECT_FALSE(us[41].has_value());
    EXPECT_FALSE(us[37].has_value());
    EXPECT_TRUE(us[36].has_value());
}

TEST_F(MonthDaysTest, SlotsAreTheStartsOfConsecutiveDaysAndLeapFebruaryHasTwentyNine)
{
    const MonthSlots days = sundayFirst.monthDays(at(2024, 2, 29, 23, 59));
    EXPECT_EQ(dayCount(days), 29);
    int expected = 1;
    for (const auto &slot : days) {
        if (!slot)
            continue;
        EXPECT_EQ(slot->date(), QDate(2024, 2, expected));
        EXPECT_EQ(slot->time(), QTime(0, 0));
        ++expected;
    }
    EXPECT_TRUE(sundayFirst.monthDays(QDateTime()).isEmpty());
}

TEST(MonthDaysInZones, DaylightSavingMonthsGiveLocalMidnightsAndTheRightDays)
{
    const QTimeZone newYork("America/New_York");
    const QTimeZone auckland("Pacific/Auckland");
    ASSERT_TRUE(newYork.isValid() && auckland.isValid());
    for (const auto &[zone, month] : {std::pair{newYork, 3}, std::pair{newYork, 11}, std::pair{auckland, 4},
                                      std::pair{auckland, 9}}) {
        CalendarProvider calendar(QCalendar(), zone);
        MonthGrid grid(&calendar, kUnitedStates);
        const MonthSlots days = grid.monthDays(at(2025, month, 15, 12, 0, zone));
        int day = 1;
        for (const auto &slot : days) {
            if (!slot)
                continue;
            const QDateTime local = slot->toTimeZone(zone);
            EXPECT_EQ(local.date(), QDate(2025, month, day)) << zone.id().constData();
            EXPECT_EQ(local.time(), QTime(0, 0)) << zone.id().constData() << " day " << day;
            EXPECT_EQ(grid.dayOfMonth(*slot), day);
            ++day;
        }
        EXPECT_EQ(day - 1, QDate(2025, month, 1).daysInMonth());
    }
}

TEST(MonthDaysInZones, AMidnightTheClockSkipsStillGivesThatDay)
{
    // Chile moves its clocks from 24:00 to 01:00 on 7 September 2025.
    const QTimeZone santiago("America/Santiago");
    ASSERT_TRUE(santiago.isValid());
    CalendarProvider calendar(QCalendar(), santiago);
    MonthGrid grid(&calendar, kUnitedStates);
    const MonthSlots days = grid.monthDays(at(2025, 9, 20, 12, 0, santiago));
    EXPECT_EQ(dayCount(days), 30);
    bool sawSeventh = false;
    for (const auto &slot : days) {
        if (slot && grid.dayOfMonth(*slot) == 7) {
            sawSeventh = true;
            EXPECT_EQ(slot->toTimeZone(santiago).date(), QDate(2025, 9, 7));
            EXPECT_EQ(calendar.dayKey(*slot), "2025-09-07");
        }
    }
    EXPECT_TRUE(sawSeventh);
}

TEST(MonthDaysInZones, TheMonthIsTheJournalZonesNotTheMomentsOwn)
{
    // 1 April 01:00 in Auckland is still 31 March in UTC.
    const QTimeZone auckland("Pacific/Auckland");
    ASSERT_TRUE(auckland.isValid());
    CalendarProvider calendar(QCalendar(), auckland);
    MonthGrid grid(&calendar, kUnitedStates);
    const QDateTime moment = at(2025, 4, 1, 1, 0, auckland).toUTC();
    const MonthSlots days = grid.monthDays(moment);
    EXPECT_EQ(dayCount(days), 30); // April, not March
}

TEST(ShiftMonth, LandsOnTheNextMonthsAcrossShortMonthsAndYearEnds)
{
    CalendarProvider utc(QCalendar(), QTimeZone::utc());
    MonthGrid grid(&utc, kUnitedStates);
    const auto feb = grid.shiftedMonth(at(2025, 1, 31, 0, 0), 1);
    ASSERT_TRUE(feb);
    EXPECT_EQ(feb->date().month(), 2);
    const auto mar = grid.shiftedMonth(*feb, 1);
    ASSERT_TRUE(mar);
    EXPECT_EQ(mar->date().month(), 3);

    const auto january = grid.shiftedMonth(at(2024, 12, 31), 1);
    ASSERT_TRUE(january);
    EXPECT_EQ(january->date(), QDate(2025, 1, 31));
    const auto december = grid.shiftedMonth(at(2025, 1, 15), -1);
    ASSERT_TRUE(december);
    EXPECT_EQ(december->date(), QDate(2024, 12, 15));
    EXPECT_EQ(grid.shiftedMonth(at(2024, 2, 29), 12)->date(), QDate(2025, 2, 28));
    EXPECT_FALSE(grid.shiftedMonth(QDateTime(), 1).has_value());
}

TEST(ShiftMonth, AcrossDaylightSavingChangesKeepsTheDayStartInTheTargetMonth)
{
    const QTimeZone newYork("America/New_York");
    const QTimeZone santiago("America/Santiago");
    ASSERT_TRUE(newYork.isValid() && santiago.isValid());
    {
        CalendarProvider calendar(QCalendar(), newYork);
        MonthGrid grid(&calendar, kUnitedStates);
        // From winter time into summer time and back out again.
        QDateTime month = calendar.startOfDay(at(2025, 2, 9, 12, 0, newYork));
        for (int expected : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1}) {
            month = *grid.shiftedMonth(month, 1);
            EXPECT_EQ(month.toTimeZone(newYork).date().month(), expected);
            EXPECT_EQ(month.toTimeZone(newYork).time(), QTime(0, 0));
        }
    }
    {
        // 7 August 00:00 plus one month is a midnight that does not exist.
        CalendarProvider calendar(QCalendar(), santiago);
        MonthGrid grid(&calendar, kUnitedStates);
        const auto moved = grid.shiftedMonth(calendar.startOfDay(at(2025, 8, 7, 12, 0, santiago)), 1);
        ASSERT_TRUE(moved);
        EXPECT_EQ(moved->toTimeZone(santiago).date(), QDate(2025, 9, 7));
        const auto back = grid.shiftedMonth(*moved, -1);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->toTimeZone(santiago).date().month(), 8);
    }
}

class DayStatsTest : public ::testing::Test
{
protected:
    CalendarProvider utc{QCalendar(), QTimeZone::utc()};
    MonthGrid grid{&utc, kUnitedStates};
    test::Entries entries;
};

TEST_F(DayStatsTest, AveragesTheDaysOfTheShownMonthOnly)
{
    entries.add(at(2025, 3, 2, 9), 0.5);
    entries.add(at(2025, 3, 2, 18), -0.1);
    entries.add(at(2025, 2, 28, 23, 59), 1.0); // previous month
    entries.add(at(2024, 3, 2, 10), 1.0);      // same month, other year
    entries.add(at(2025, 4, 1, 0, 0), -1.0);   // the next month's first instant
    const auto stats = grid.dayStats(entries.list(), at(2025, 3, 20));
    ASSERT_TRUE(stats.contains("2025-03-02"));
    EXPECT_EQ(stats["2025-03-02"].count, 2);
    EXPECT_NEAR(stats["2025-03-02"].average(), 0.2, 1e-12);
    EXPECT_EQ(weatherLabelForScore(stats["2025-03-02"].average()), WeatherLabel::PartlyCloudy);
    EXPECT_FALSE(stats.contains("2025-02-28"));
    EXPECT_FALSE(stats.contains("2024-03-02"));
    // The interval holds its end, but that instant's day is not in the grid.
    EXPECT_TRUE(stats.contains("2025-04-01"));
    EXPECT_TRUE(grid.dayStats({}, at(2025, 3, 20)).isEmpty());
    EXPECT_EQ(DayWeatherStat{}.average(), 0.0);
}

TEST_F(DayStatsTest, BadScoresGiveStormyOrBoundedAverages)
{
    entries.add(at(2025, 3, 3, 9), std::numeric_limits<double>::quiet_NaN());
    entries.add(at(2025, 3, 3, 10), 0.9);
    entries.add(at(2025, 3, 4, 9), 5.0);
    entries.add(at(2025, 3, 4, 10), -0.9);
    const auto stats = grid.dayStats(entries.list(), at(2025, 3, 20));
    EXPECT_TRUE(std::isnan(stats["2025-03-03"].average()));
    EXPECT_EQ(weatherLabelForScore(stats["2025-03-03"].average()), WeatherLabel::Stormy);
    // A stray 5.0 counts as 1.0, so it cannot outweigh the day's other entry.
    EXPECT_NEAR(stats["2025-03-04"].average(), 0.05, 1e-12);
    EXPECT_EQ(weatherLabelForScore(stats["2025-03-04"].average()), WeatherLabel::Overcast);
}

TEST_F(DayStatsTest, DaysFollowTheJournalsTimeZone)
{
    const QTimeZone auckland("Pacific/Auckland");
    ASSERT_TRUE(auckland.isValid());
    CalendarProvider nz(QCalendar(), auckland);
    MonthGrid nzGrid(&nz, kUnitedStates);
    entries.add(at(2025, 3, 31, 20), 0.9); // 1 April 09:00 in Auckland
    EXPECT_TRUE(nzGrid.dayStats(entries.list(), at(2025, 3, 20, 12, 0, auckland)).isEmpty());
    EXPECT_TRUE(nzGrid.dayStats(entries.list(), at(2025, 4, 20, 12, 0, auckland)).contains("2025-04-01"));
}

TEST_F(DayStatsTest, DayScoresTakeTheLatestEntryOfEveryDayInAnyOrder)
{
    entries.add(at(2025, 3, 5, 9), 0.7);
    entries.add(at(2025, 3, 5, 18), -0.7);
    entries.add(at(2025, 3, 6, 18), -0.7);
    entries.add(at(2025, 3, 6, 9), 0.7);
    entries.add(at(2023, 1, 1, 9), 0.3); // other months count too
    const auto scores = grid.dayScores(entries.list());
    EXPECT_EQ(scores["2025-03-05"], -0.7);
    EXPECT_EQ(scores["2025-03-06"], -0.7);
    EXPECT_EQ(weatherLabelForScore(scores["2025-03-05"]), WeatherLabel::Stormy);
    EXPECT_EQ(scores["2023-01-01"], 0.3);
    // The month calendar averages the same day to overcast.
    const auto stats = grid.dayStats(entries.list(), at(2025, 3, 1));
    EXPECT_EQ(weatherLabelForScore(stats["2025-03-05"].average()), WeatherLabel::Overcast);
}

TEST_F(DayStatsTest, EqualTimesKeepTheFirstListedAndSkipInvalidOnes)
{
    entries.add(at(2025, 3, 7, 12), 0.8);
    entries.add(at(2025, 3, 7, 12), -0.8);
    entries.add(QDateTime(), -1.0);
    QList<JournalEntry *> withNull = entries.list();
    withNull.append(nullptr);
    const auto scores = grid.dayScores(withNull);
    EXPECT_EQ(scores["2025-03-07"], 0.8);
    EXPECT_EQ(scores.size(), 1);
}

} // namespace
} // namespace zn
