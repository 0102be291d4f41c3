#include "views/kit/DateFormats.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace zn {
namespace {

const QString nnbsp = QString(QChar(0x202F));

std::string fmt(const QDateTime &moment, DateStyle style, const char *locale)
{
    return DateFormats::format(moment, style, QLocale(QString::fromLatin1(locale))).toStdString();
}

QDateTime mondayMorning()
{
    return QDateTime(QDate(2024, 3, 4), QTime(10, 5), QTimeZone("America/New_York"));
}

} // namespace

TEST(DateFormats, EveryStyleInAmericanEnglish)
{
    const QDateTime m = mondayMorning();
    const std::string am = (nnbsp + "AM").toStdString();
    EXPECT_EQ(fmt(m, DateStyle::Abbreviated, "en_US"), "Mar 4, 2024");
    EXPECT_EQ(fmt(m, DateStyle::AbbreviatedWithTime, "en_US"), "Mar 4, 2024, 10:05" + am);
    EXPECT_EQ(fmt(m, DateStyle::Complete, "en_US"), "Monday, March 4, 2024");
    EXPECT_EQ(fmt(m, DateStyle::Long, "en_US"), "March 4, 2024");
    EXPECT_EQ(fmt(m, DateStyle::MonthYear, "en_US"), "March 2024");
    EXPECT_EQ(fmt(m, DateStyle::AbbreviatedMonthYear, "en_US"), "Mar 2024");
    EXPECT_EQ(fmt(m, DateStyle::Weekday, "en_US"), "Monday");
    EXPECT_EQ(fmt(m, DateStyle::AbbreviatedWeekday, "en_US"), "Mon");
    EXPECT_EQ(fmt(m, DateStyle::MonthDay, "en_US"), "Mar 4");
    EXPECT_EQ(fmt(m, DateStyle::AbbreviatedMonth, "en_US"), "Mar");
    EXPECT_EQ(fmt(m, DateStyle::WeekdayMonthDay, "en_US"), "Mon, Mar 4");
    EXPECT_EQ(fmt(m, DateStyle::WeekdayMonthDayTime, "en_US"), "Mon, Mar 4, 10:05" + am);
    EXPECT_EQ(fmt(m, DateStyle::WeekdayAbbreviatedDate, "en_US"), "Monday, Mar 4, 2024");
    EXPECT_EQ(fmt(m, DateStyle::ShortTime, "en_US"), "10:05" + am);
    // Afternoon and midnight on the twelve-hour clock.
    EXPECT_EQ(fmt(m.addSecs(4 * 3600), DateStyle::ShortTime, "en_US"), "2:05" + (nnbsp + "PM").toStdString());
    EXPECT_EQ(fmt(QDateTime(QDate(2024, 3, 4), QTime(0, 0)), DateStyle::ShortTime, "en_US"), "12:00" + am);
}

TEST(DateFormats, GermanOrderPunctuationAndClock)
{
    const QDateTime m = mondayMorning();
    EXPECT_EQ(fmt(m, DateStyle::Abbreviated, "de_DE"), "4. März 2024");
    EXPECT_EQ(fmt(m, DateStyle::Complete, "de_DE"), "Montag, 4. März 2024");
    EXPECT_EQ(fmt(m, DateStyle::MonthYear, "de_DE"), "März 2024");
    EXPECT_EQ(fmt(m, DateStyle::WeekdayMonthDay, "de_DE"), "Mo., 4. März");
    EXPECT_EQ(fmt(m.addSecs(8 * 3600), DateStyle::ShortTime, "de_DE"), "18:05");
}

TEST(DateFormats, ShowsTheWallClockOfTheMomentsOwnZone)
{
    // 23:30 in New York is already the next day in Tokyo.
    const QDateTime ny(QDate(2024, 3, 4), QTime(23, 30), QTimeZone("America/New_York"));
    const QDateTime tokyo = ny.toTimeZone(QTimeZone("Asia/Tokyo"));
    EXPECT_EQ(fmt(ny, DateStyle::MonthDay, "en_US"), "Mar 4");
    EXPECT_EQ(fmt(tokyo, DateStyle::MonthDay, "en_US"), "Mar 5");
    // A calendar day formats as that day, whatever the local zone.
    EXPECT_EQ(DateFormats::format(QDate(2025, 3, 2), DateStyle::Complete, QLocale("en_US")).toStdString(),
              "Sunday, March 2, 2025");
}

TEST(DateFormats, AlwaysGregorianEvenWhereTheLocalePrefersAnotherCalendar)
{
    // Thai defaults to the Buddhist era (2567); the journal shows 2024.
    const QString thai = DateFormats::format(mondayMorning(), DateStyle::Abbreviated, QLocale("th_TH"));
    EXPECT_TRUE(thai.contains("2024")) << thai.toStdString();
    EXPECT_FALSE(thai.contains("2567")) << thai.toStdString();
    // Before 1582 the days stay proleptic Gregorian, as QDate counts them.
    EXPECT_EQ(DateFormats::format(QDate(1500, 3, 1), DateStyle::Complete, QLocale("en_US")).toStdString(),
              QLocale("en_US").dayName(QDate(1500, 3, 1).dayOfWeek()).toStdString() + ", March 1, 1500");
}

TEST(DateFormats, InvalidInputGivesAnEmptyString)
{
    EXPECT_TRUE(DateFormats::format(QDateTime(), DateStyle::Abbreviated).isEmpty());
    EXPECT_TRUE(DateFormats::format(QDate(), DateStyle::Complete).isEmpty());
    EXPECT_FALSE(DateFormats::format(mondayMorning(), DateStyle::Abbreviated, QLocale::c()).isEmpty());
}

} // namespace zn
