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
class ClockTimer;
class JournalEntry;

// What a calendar view runs on; empty members mean the journal's calendar,
// the system clock and the user's locale.
struct CalendarViewSetup {
    const CalendarProvider *calendar = nullptr;
    Clock *clock = nullptr;
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

private:
    void scheduleMidnight();
    void watch(JournalEntry *entry);

    MonthGrid m_grid;
    Clock *m_clock;
    QList<QPointer<JournalEntry>> m_entries;
    // Kept across lists, so handing in a long journal again after one new
    // entry only connects that one.
    QHash<JournalEntry *, QList<QMetaObject::Connection>> m_watched;
    std::unique_ptr<ClockTimer> m_midnight;
    bool m_refreshQueued = false;
};

} // namespace zn
