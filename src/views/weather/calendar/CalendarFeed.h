#pragma once

#include "views/weather/calendar/MonthGrid.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace zn {

class CalendarProvider;
class Clock;
class DayWatch;
class JournalEntry;

// What a calendar view runs on; empty members mean the journal's calendar,
// the system clock, the watch of the day on those two and the user's locale.
struct CalendarViewSetup {
    const CalendarProvider *calendar = nullptr;
    Clock *clock = nullptr;
    DayWatch *day = nullptr; // on `clock` and `calendar`
    std::optional<QLocale> locale;
};

// The chosen day's start, handed to whoever built the calendar.
using DaySelectHandler = std::function<void(const QDateTime &dayStart)>;

// The entries a calendar colours by, watched so that a re-scored, re-dated
// or deleted entry and the turn of the day each ask for one refresh.
class CalendarFeed : public QObject
{
    Q_OBJECT
public:
    CalendarFeed(const CalendarViewSetup &setup, QObject *parent);
    ~CalendarFeed() override;

    const MonthGrid &grid() const { return m_grid; }
    Clock &clock() const { return *m_clock; }
    QDateTime now() const;

    void setEntries(const QList<JournalEntry *> &entries);
    // The live entries, in the order given.
    QList<JournalEntry *> entries() const;

    // Asks for a refresh on the next turn of the event loop; repeated
    // requests before then give one.
    void requestRefresh();

Q_SIGNALS:
    void refreshNeeded();
    // The calendar's days moved to another time zone (a refresh follows).
    void timeZoneChanged();

private:
    void watch(JournalEntry *entry);

    MonthGrid m_grid;
    Clock *m_clock;
    QList<QPointer<JournalEntry>> m_entries;
    // Kept across lists, so handing in a long journal again after one new
    // entry only connects that one.
    QHash<JournalEntry *, QList<QMetaObject::Connection>> m_watched;
    bool m_refreshQueued = false;
};

} // namespace zn
