#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace zn {

class CalendarProvider;
class JournalEntry;

// One day's running total of mood scores.
struct DayWeatherStat {
    double sum = 0.0;
    int count = 0;

    // The mean score; 0 for a day without entries.
    double average() const { return count < 1 ? 0.0 : sum / count; }
};

// A month laid out as weeks: blanks (nullopt) before the 1st and after the
// last day, and the start of every day of the month in between. Its length
// is a multiple of seven.
using MonthSlots = QList<std::optional<QDateTime>>;

// The very short weekday symbols of the locale ("S", "M", …; the English
// ones where the locale has only numbers, as C and POSIX do), rotated so the
// locale's first day of the week comes first.
QStringList orderedWeekdaySymbols(const QLocale &locale = QLocale());

// The month arithmetic both calendars share, asked of one calendar and time
// zone (the journal's, unless a test gives another) and one locale (for the
// first day of the week). A plain value: no widgets, no state.
class MonthGrid
{
public:
    explicit MonthGrid(const CalendarProvider *calendar = nullptr, QLocale locale = QLocale());

    const CalendarProvider &calendar() const { return *m_calendar; }
    const QLocale &locale() const { return m_locale; }

    // 1 for Sunday through 7 for Saturday.
    int firstWeekday() const;
    QStringList weekdaySymbols() const { return orderedWeekdaySymbols(m_locale); }

    // The slots of the month that contains `visibleMonth`; empty when the
    // calendar cannot place that month.
    MonthSlots monthDays(const QDateTime &visibleMonth) const;

    // The same moment `months` calendar months later (earlier when negative),
    // kept inside the target month when that month is shorter or the clock
    // skips the time there; nullopt when the calendar has no such month.
    std::optional<QDateTime> shiftedMonth(const QDateTime &visibleMonth, int months) const;

    QDateTime startOfDay(const QDateTime &moment) const;
    bool isSameDay(const QDateTime &a, const QDateTime &b) const;
    // The day of the month in this calendar; 0 for an invalid moment.
    int dayOfMonth(const QDateTime &moment) const;
    QString dayKey(const QDateTime &moment) const;

    // Score totals per day key of the entries inside the month of
    // `visibleMonth`, in list order. Scores are taken within [-1, 1]; a
    // score that is not a number keeps the day's average not a number, which
    // reads as stormy.
    QHash<QString, DayWeatherStat> dayStats(const QList<JournalEntry *> &entries,
                                            const QDateTime &visibleMonth) const;

    // The score of each day's latest entry, over every month. Of entries with
    // the same time the first in the list wins.
    QHash<QString, double> dayScores(const QList<JournalEntry *> &entries) const;

private:
    QDate localDate(const QDateTime &moment) const;

    const CalendarProvider *m_calendar;
    QLocale m_locale;
};

} // namespace zn
