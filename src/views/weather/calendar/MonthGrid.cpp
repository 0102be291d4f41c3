#include "views/weather/calendar/MonthGrid.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"

#include <algorithm>
#include <cmath>

namespace zn {
namespace {

// A stored score outside [-1, 1] (an old import, say) must not outweigh the
// rest of its day; NaN stays NaN so the day reads as stormy.
double boundedScore(double score)
{
    return std::isnan(score) ? score : std::clamp(score, -1.0, 1.0);
}

// Qt counts Monday 1 … Sunday 7; the calendars count Sunday 1 … Saturday 7.
int sundayBasedWeekday(int qtDayOfWeek)
{
    return qtDayOfWeek % 7 + 1;
}

} // namespace

QStringList orderedWeekdaySymbols(const QLocale &locale)
{
    const auto sundayFirstOf = [](const QLocale &names) {
        QStringList days;
        days.reserve(7);
        days.append(names.dayName(Qt::Sunday, QLocale::NarrowFormat));
        for (int day = Qt::Monday; day <= Qt::Saturday; ++day)
            days.append(names.dayName(day, QLocale::NarrowFormat));
        return days;
    };
    QStringList sundayFirst = sundayFirstOf(locale);
    // A locale without names of its own (C, POSIX) numbers the days; the
    // initials then are the English ones, as every date on screen is.
    const auto hasLetter = [](const QString &symbol) {
        return std::any_of(symbol.cbegin(), symbol.cend(), [](QChar c) { return c.isLetter(); });
    };
    if (!std::all_of(sundayFirst.cbegin(), sundayFirst.cend(), hasLetter))
        sundayFirst = sundayFirstOf(QLocale(QLocale::English, QLocale::UnitedStates));

    const int first = sundayBasedWeekday(locale.firstDayOfWeek()) - 1;
    return sundayFirst.mid(first) + sundayFirst.mid(0, first);
}

MonthGrid::MonthGrid(const CalendarProvider *calendar, QLocale locale)
    : m_calendar(calendar ? calendar : &CalendarProvider::shared())
    , m_locale(std::move(locale))
{
}

int MonthGrid::firstWeekday() const
{
    return sundayBasedWeekday(m_locale.firstDayOfWeek());
}

QDate MonthGrid::localDate(const QDateTime &moment) const
{
    if (!moment.isValid())
        return {};
    return moment.toTimeZone(m_calendar->timeZone()).date();
}

MonthSlots MonthGrid::monthDays(const QDateTime &visibleMonth) const
{
    const QCalendar &cal = m_calendar->calendar();
    const QCalendar::YearMonthDay parts = cal.partsFromDate(localDate(visibleMonth));
    if (!parts.isValid())
        return {};
    const int length = cal.daysInMonth(parts.month, parts.year);
    const QDate first = cal.dateFromParts(parts.year, parts.month, 1);
    if (length < 1 || !first.isValid())
        return {};

    const int weekday = cal.dayOfWeek(first);
    if (weekday < 1)
        return {};
    const int leading = (sundayBasedWeekday(weekday) - firstWeekday() + 7) % 7;

    MonthSlots days(leading, std::nullopt);
    days.reserve(42);
    for (int d = 1; d <= length; ++d) {
        const QDateTime start = first.addDays(d - 1).startOfDay(m_calendar->timeZone());
        if (start.isValid())
            days.append(start);
    }
    while (days.size() % 7 != 0)
        days.append(std::nullopt);
    return days;
}

std::optional<QDateTime> MonthGrid::shiftedMonth(const QDateTime &visibleMonth, int months) const
{
    if (!visibleMonth.isValid())
        return std::nullopt;
    const QDateTime local = visibleMonth.toTimeZone(m_calendar->timeZone());
    // QDate::addMonths keeps the day where it can and otherwise takes the
    // target month's last day, so 31 January moves to February.
    const QDate target = local.date().addMonths(months, m_calendar->calendar());
    if (!target.isValid())
        return std::nullopt;
    QDateTime moved(target, local.time(), m_calendar->timeZone());
    if (!moved.isValid() || localDate(moved) != target)
        moved = target.startOfDay(m_calendar->timeZone());
    if (!moved.isValid())
        return std::nullopt;
    return moved;
}

QDateTime MonthGrid::startOfDay(const QDateTime &moment) const
{
    return m_calendar->startOfDay(moment);
}

bool MonthGrid::isSameDay(const QDateTime &a, const QDateTime &b) const
{
    const QDate da = localDate(a);
    return da.isValid() && da == localDate(b);
}

int MonthGrid::dayOfMonth(const QDateTime &moment) const
{
    const QCalendar::YearMonthDay parts = m_calendar->calendar().partsFromDate(localDate(moment));
    return parts.isValid() ? parts.day : 0;
}

QString MonthGrid::dayKey(const QDateTime &moment) const
{
    return m_calendar->dayKey(moment);
}

QHash<QString, DayWeatherStat> MonthGrid::dayStats(const QList<JournalEntry *> &entries,
                                                   const QDateTime &visibleMonth) const
{
    QHash<QString, DayWeatherStat> stats;
    if (!visibleMonth.isValid())
        return stats;
    const DateInterval month = m_calendar->monthInterval(visibleMonth);
    for (const JournalEntry *entry : entries) {
        if (!entry)
            continue;
        const QDateTime when = entry->timestamp();
        if (!when.isValid() || !month.contains(when))
            continue;
        DayWeatherStat &stat = stats[m_calendar->dayKey(when)];
        stat.sum += boundedScore(entry->sentimentScore());
        stat.count += 1;
    }
    return stats;
}

QHash<QString, double> MonthGrid::dayScores(const QList<JournalEntry *> &entries) const
{
    struct Latest {
        QDateTime when;
        double score;
    };
    QHash<QString, Latest> latest;
    for (const JournalEntry *entry : entries) {
        if (!entry)
            continue;
        const QDateTime when = entry->timestamp();
        if (!when.isValid())
            continue;
        const QString key = m_calendar->dayKey(when);
        auto found = latest.find(key);
        if (found == latest.end())
            latest.insert(key, {when, entry->sentimentScore()});
        else if (when > found->when) // strictly later: the first of equal times stays
            *found = {when, entry->sentimentScore()};
    }
    QHash<QString, double> scores;
    scores.reserve(latest.size());
    for (auto it = latest.cbegin(); it != latest.cend(); ++it)
        scores.insert(it.key(), boundedScore(it->score));
    return scores;
}

} // namespace zn
