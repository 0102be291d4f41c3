#include "core/CalendarProvider.h"
#include "core/DayWatch.h"
#include "core/JournalEntry.h"
#include "core/WeatherLabel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zn {
namespace {

QTimeZone newYork() { return QTimeZone("America/New_York"); }

QDateTime at(const QTimeZone &tz, int y, int m, int d, int h = 12, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), tz);
}

} // namespace

TEST(CalendarProvider, DayKeyFollowsLocalMidnight)
{
    const CalendarProvider cal(QCalendar(), newYork());
    const QDateTime lastMinute = at(newYork(), 2025, 3, 7, 23, 59);
    EXPECT_EQ(cal.dayKey(lastMinute), "2025-03-07");
    EXPECT_EQ(cal.dayKey(lastMinute.addSecs(60)), "2025-03-08");
    // The same instant seen from UTC is already the next day there.
    EXPECT_EQ(CalendarProvider(QCalendar(), QTimeZone::utc()).dayKey(lastMinute), "2025-03-08");
    // Four-digit padding and plain-string chronological order.
    EXPECT_EQ(cal.dayKey(at(newYork(), 987, 1, 2)), "0987-01-02");
    EXPECT_LT(cal.dayKey(at(newYork(), 2025, 9, 30)), cal.dayKey(at(newYork(), 2025, 10, 1)));
    // Years outside four digits, and no date at all, print as printf would.
    const CalendarProvider utc(QCalendar(), QTimeZone::utc());
    EXPECT_EQ(utc.dayKey(at(QTimeZone::utc(), 10000, 1, 1)), "10000-01-01");
    EXPECT_EQ(utc.dayKey(at(QTimeZone::utc(), -44, 3, 15)), "-044-03-15");
    EXPECT_EQ(utc.dayKey(at(QTimeZone::utc(), 1, 1, 1)), "0001-01-01");
    EXPECT_EQ(utc.dayKey(QDateTime()), "0000-00-00");
}

TEST(CalendarProvider, NonGregorianCalendarGivesItsOwnYear)
{
    const CalendarProvider jalali(QCalendar(QCalendar::System::Jalali), QTimeZone::utc());
    // 21 March 2025 is 1 Farvardin 1404.
    EXPECT_EQ(jalali.dayKey(QDateTime(QDate(2025, 3, 21), QTime(12, 0), QTimeZone::utc())), "1404-01-01");
}

TEST(CalendarProvider, TrailingWindowAcrossSpringForwardIsSevenCalendarDays)
{
    const CalendarProvider cal(QCalendar(), newYork());
    // Clocks moved forward on 9 March 2025 in New York.
    const DateInterval week = cal.trailingDaysInterval(7, at(newYork(), 2025, 3, 9, 15));
    EXPECT_EQ(week.start, at(newYork(), 2025, 3, 3, 0));
    EXPECT_EQ(week.end, at(newYork(), 2025, 3, 10, 0));
    EXPECT_EQ(week.durationMSecs(), (168 - 1) * 3600 * 1000LL);

    const DateInterval fallBack = cal.trailingDaysInterval(1, at(newYork(), 2025, 11, 2, 9));
    EXPECT_EQ(fallBack.durationMSecs(), 25 * 3600 * 1000LL);
}

TEST(CalendarProvider, TrailingWindowOfZeroOrLessIsTheDayAlone)
{
    const CalendarProvider cal(QCalendar(), newYork());
    const QDateTime when = at(newYork(), 2025, 6, 15, 8);
    const DateInterval one = cal.trailingDaysInterval(1, when);
    EXPECT_EQ(cal.trailingDaysInterval(0, when), one);
    EXPECT_EQ(cal.trailingDaysInterval(-5, when), one);
    EXPECT_EQ(one.start, at(newYork(), 2025, 6, 15, 0));
    EXPECT_TRUE(one.contains(one.end)); // both ends are inside
    EXPECT_EQ(cal.trailingDaysInterval(365, when).start, at(newYork(), 2024, 6, 16, 0));
}

TEST(CalendarProvider, MonthIntervalAndDayStart)
{
    const CalendarProvider cal(QCalendar(), newYork());
    const DateInterval feb = cal.monthInterval(at(newYork(), 2024, 2, 29, 22));
    EXPECT_EQ(feb.start, at(newYork(), 2024, 2, 1, 0));
    EXPECT_EQ(feb.end, at(newYork(), 2024, 3, 1, 0));
    const DateInterval dec = cal.monthInterval(at(newYork(), 2025, 12, 31, 23));
    EXPECT_EQ(dec.end, at(newYork(), 2026, 1, 1, 0));
    EXPECT_EQ(cal.startOfDay(at(newYork(), 2025, 3, 9, 15)), at(newYork(), 2025, 3, 9, 0));
    EXPECT_EQ(cal.addingDays(at(newYork(), 2025, 3, 8, 12), 1), at(newYork(), 2025, 3, 9, 12));
}

// The application's watch reads the zone the system reports (TZ here), moves
// the shared calendar into it, and the entries' times follow.
TEST(CalendarProvider, TheSharedCalendarFollowsTheSystemsTimeZone)
{
    const QByteArray before = qgetenv("TZ");
    const QByteArray zone = QTimeZone::systemTimeZoneId() == "Asia/Tokyo" ? "America/Havana" : "Asia/Tokyo";
    DayWatch &watch = DayWatch::system();
    JournalEntry entry(QUuid::createUuid(), at(QTimeZone::utc(), 2026, 3, 6, 2, 30), QStringLiteral("Late."), {}, 0.0,
                       {}, {}, {}, false);
    (void)entry.timestamp(); // remembered in the zone of the moment
    QSignalSpy moved(&watch, &DayWatch::timeZoneChanged);

    qputenv("TZ", zone);
    watch.recheck();
    EXPECT_EQ(moved.size(), 1);
    EXPECT_EQ(CalendarProvider::shared().timeZone().id(), zone);
    EXPECT_EQ(CalendarProvider::shared().dayKey(entry.timestamp()), zone == "Asia/Tokyo" ? "2026-03-06" : "2026-03-05");
    EXPECT_EQ(entry.timestamp().timeZone().id(), zone);
    watch.recheck(); // nothing new
    EXPECT_EQ(moved.size(), 1);

    if (before.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", before);
    watch.recheck();
}

TEST(WeatherLabel, BandsAreInclusiveAtTheirLowerEnd)
{
    EXPECT_EQ(weatherLabelForScore(0.6), WeatherLabel::Sunny);
    EXPECT_EQ(weatherLabelForScore(0.5999), WeatherLabel::PartlyCloudy);
    EXPECT_EQ(weatherLabelForScore(0.2), WeatherLabel::PartlyCloudy);
    EXPECT_EQ(weatherLabelForScore(-0.2), WeatherLabel::Overcast);
    EXPECT_EQ(weatherLabelForScore(-0.6), WeatherLabel::Rainy);
    EXPECT_EQ(weatherLabelForScore(-0.6001), WeatherLabel::Stormy);
    EXPECT_EQ(weatherLabelForScore(7.0), WeatherLabel::Sunny);
    EXPECT_EQ(weatherLabelForScore(-7.0), WeatherLabel::Stormy);
    EXPECT_EQ(weatherLabelForScore(std::numeric_limits<double>::quiet_NaN()), WeatherLabel::Stormy);
    EXPECT_EQ(weatherLabelForScore(std::numeric_limits<double>::infinity()), WeatherLabel::Sunny);
}

TEST(WeatherLabel, RawValuesNamesAndSymbols)
{
    EXPECT_EQ(weatherLabelFromRaw("partlyCloudy"), WeatherLabel::PartlyCloudy);
    EXPECT_EQ(weatherLabelFromRaw("partlycloudy"), std::nullopt);
    EXPECT_EQ(weatherLabelFromRaw(""), std::nullopt);
    QStringList names;
    for (WeatherLabel l : allWeatherLabels()) {
        EXPECT_EQ(weatherLabelFromRaw(rawValue(l)), l);
        names << displayName(l);
    }
    EXPECT_EQ(names, (QStringList{"Sunny", "Partly cloudy", "Overcast", "Rainy", "Stormy"}));
    EXPECT_EQ(symbolName(WeatherLabel::Stormy), "cloud.bolt.rain.fill");
}

} // namespace zn
