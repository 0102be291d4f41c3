#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace zn {

// The date and time forms the screens show, always in the Gregorian calendar
// and in the locale's own field order, punctuation and 12/24-hour clock.
// Between the time and "AM"/"PM" the locale may put a narrow no-break space
// (U+202F), as en_US does. The en_US forms:
enum class DateStyle {
    Abbreviated,            // "Mar 4, 2024"
    AbbreviatedWithTime,    // "Mar 4, 2024, 10:05 AM"
    Complete,               // "Monday, March 4, 2024"
    Long,                   // "March 4, 2024"
    MonthYear,              // "March 2024"
    AbbreviatedMonthYear,   // "Mar 2024"
    Weekday,                // "Monday"
    AbbreviatedWeekday,     // "Mon"
    MonthDay,               // "Mar 4"
    AbbreviatedMonth,       // "Mar"
    WeekdayMonthDay,        // "Mon, Mar 4"
    WeekdayMonthDayTime,    // "Mon, Mar 4, 10:05 AM"
    WeekdayAbbreviatedDate, // "Monday, Mar 4, 2024"
    ShortTime,              // "10:05 AM" (24-hour where the locale uses it)
};

class DateFormats
{
public:
    // Formats the wall-clock fields of `moment` in its own time zone; an
    // invalid moment gives an empty string.
    static QString format(const QDateTime &moment, DateStyle style, const QLocale &locale = QLocale());
    // Date-only styles of a calendar day; a time style shows midnight.
    static QString format(QDate day, DateStyle style, const QLocale &locale = QLocale());
};

} // namespace zn
