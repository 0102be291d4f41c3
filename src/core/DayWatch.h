#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace zn {

class CalendarProvider;
class Clock;
class ClockTimer;

// Which day today is, for every screen that names it or counts days back
// from it, so that they all turn together. It looks again at the first
// instant of each new day (even one whose midnight the clock skips), at
// every recheck() and every kRecheckInterval besides: timers stand still
// while the computer sleeps, and neither a clock set by hand nor a new time
// zone moves them. Main thread only.
class DayWatch final : public QObject
{
    Q_OBJECT
public:
    // The IANA id of the time zone in force now.
    using ZoneSource = std::function<QByteArray()>;

    static constexpr std::chrono::seconds kRecheckInterval{30};

    // Watches the days of `calendar` on `clock`; the calendar's zone stays.
    DayWatch(Clock &clock, const CalendarProvider &calendar, QObject *parent = nullptr);
    // The same, moving `calendar` into each new zone `zoneSource` reports.
    DayWatch(Clock &clock, CalendarProvider &calendar, ZoneSource zoneSource, QObject *parent = nullptr);
    ~DayWatch() override;

    // The application's: the system clock and the shared calendar in the
    // system's time zone, looked at again as soon as the system says its
    // clock was set or it woke from sleep.
    static DayWatch &system();
    // The watch for screens on `clock` and `calendar`: the application's
    // when both are the system's, else a new one owned by `owner`.
    static DayWatch &forScreens(Clock &clock, const CalendarProvider &calendar, QObject *owner);

    Clock &clock() const { return *m_clock; }
    const CalendarProvider &calendar() const { return *m_calendar; }
    // The moment of that look: what "Today" and "Yesterday" are worded
    // against, so that they change only when the watch tells.
    const QDateTime &today() const { return m_today; }

    // Looks at the clock and the time zone now and tells what moved.
    void recheck();

Q_SIGNALS:
    // The calendar is in another time zone: every day boundary moved.
    void timeZoneChanged();
    // Today is another day, or the days moved with the zone (after
    // timeZoneChanged()).
    void dayChanged();

private:
    DayWatch(Clock &clock, const CalendarProvider *calendar, CalendarProvider *zoneTarget, ZoneSource zoneSource,
             QObject *parent);
    bool followZone();
    void arm();

    Clock *m_clock;
    const CalendarProvider *m_calendar;
    CalendarProvider *m_zoneTarget;
    ZoneSource m_zoneSource;
    QByteArray m_zoneId;
    QString m_todayKey;
    QDateTime m_today;
    std::unique_ptr<ClockTimer> m_midnight;
    std::unique_ptr<ClockTimer> m_recheck;
};

} // namespace zn
