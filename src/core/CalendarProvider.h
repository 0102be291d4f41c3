#pragma once

#include <QCalendar>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace zn {

// A span of time from `start` to `end`. Like the platform's date interval it
// contains both of its ends.
struct DateInterval {
    QDateTime start;
    QDateTime end;

    qint64 durationMSecs() const { return start.msecsTo(end); }
    bool contains(const QDateTime &when) const { return start <= when && when <= end; }
    bool operator==(const DateInterval &) const = default;
};

class DayWatch;

// What "a day" is for the whole app: day keys, day starts, month intervals
// and rolling windows of whole days, all in calendar arithmetic so a day with
// a daylight-saving change is still one day.
class CalendarProvider
{
public:
    explicit CalendarProvider(QCalendar calendar = QCalendar(),
                              QTimeZone timeZone = QTimeZone::systemTimeZone());

    // The user's calendar in the system's time zone, shared by every caller.
    // The application's DayWatch moves it to a new zone when the system's
    // changes; every reader gets the zone as it stands, on any thread.
    static const CalendarProvider &shared();
    // Goes up at each change of the shared calendar's zone; safe on any
    // thread.
    static quint64 sharedTimeZoneGeneration();

    const QCalendar &calendar() const { return m_calendar; }
    // A copy: the zone can change on the main thread while another reads it.
    QTimeZone timeZone() const;
    // Every day from now on is a day of `zone` (an invalid zone is ignored).
    // Main thread.
    void setTimeZone(const QTimeZone &zone);

    // "%04d-%02d-%02d" of the date's year, month and day in this calendar.
    QString dayKey(const QDateTime &date) const;

    // First instant of the date's day.
    QDateTime startOfDay(const QDateTime &date) const;
    // First instant of a calendar date in this zone.
    QDateTime startOfDate(const QDate &day) const;

    // The same time of day `days` calendar days later (or earlier).
    QDateTime addingDays(const QDateTime &date, int days) const;

    // The month that contains the date.
    DateInterval monthInterval(const QDateTime &date) const;

    // The `days` whole days that end with the date's day; fewer than one day
    // means the date's day alone.
    DateInterval trailingDaysInterval(int days, const QDateTime &endingAt) const;

private:
    friend class DayWatch; // the one that moves the shared calendar's zone
    static CalendarProvider &sharedInstance();

    QDate localDate(const QDateTime &date) const;

    QCalendar m_calendar;
    QTimeZone m_timeZone;
};

} // namespace zn
