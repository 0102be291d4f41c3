#include "views/weather/calendar/CalendarFeed.h"

#include "core/CalendarProvider.h"
#include "core/DayWatch.h"
#include "core/JournalEntry.h"
#include "platform/base/Clock.h"

#include <QSet>
#include <QTimer>

#include <algorithm>

namespace zn {

CalendarFeed::CalendarFeed(const CalendarViewSetup &setup, QObject *parent)
    : QObject(parent)
    , m_grid(setup.calendar, setup.locale.value_or(QLocale()))
    , m_clock(setup.clock ? setup.clock : &Clock::system())
{
    // Today's mark moves with the day.
    DayWatch &day = setup.day ? *setup.day : DayWatch::forScreens(*m_clock, m_grid.calendar(), this);
    connect(&day, &DayWatch::timeZoneChanged, this, &CalendarFeed::timeZoneChanged);
    connect(&day, &DayWatch::dayChanged, this, &CalendarFeed::requestRefresh);
}

CalendarFeed::~CalendarFeed() = default;

QDateTime CalendarFeed::now() const
{
    return m_clock->now();
}

void CalendarFeed::setEntries(const QList<JournalEntry *> &entries)
{
    QSet<JournalEntry *> kept;
    kept.reserve(entries.size());
    m_entries.clear();
    m_entries.reserve(entries.size());
    for (JournalEntry *entry : entries) {
        if (!entry)
            continue;
        m_entries.append(entry);
        kept.insert(entry);
        if (!m_watched.contains(entry))
            watch(entry);
    }
    for (auto it = m_watched.begin(); it != m_watched.end();) {
        if (kept.contains(it.key())) {
            ++it;
            continue;
        }
        for (const QMetaObject::Connection &c : std::as_const(it.value()))
            disconnect(c);
        it = m_watched.erase(it);
    }
    requestRefresh();
}

void CalendarFeed::watch(JournalEntry *entry)
{
    QList<QMetaObject::Connection> connections;
    connections.append(connect(entry, &JournalEntry::fieldChanged, this, [this](int field) {
        if (field == JournalEntry::Timestamp || field == JournalEntry::SentimentScore
            || field == JournalEntry::IsDraft)
            requestRefresh();
    }));
    connections.append(connect(entry, &JournalEntry::deleted, this, &CalendarFeed::requestRefresh));
    connections.append(connect(entry, &QObject::destroyed, this, [this, entry] {
        // The address may be reused by a later entry: forget it now.
        m_watched.remove(entry);
        requestRefresh();
    }));
    m_watched.insert(entry, connections);
}

QList<JournalEntry *> CalendarFeed::entries() const
{
    QList<JournalEntry *> live;
    live.reserve(m_entries.size());
    for (const QPointer<JournalEntry> &entry : m_entries) {
        // A deleted entry may linger until its list is handed in anew.
        if (entry && !entry->isDeleted())
            live.append(entry.data());
    }
    return live;
}

void CalendarFeed::requestRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshQueued = false;
        Q_EMIT refreshNeeded();
    });
}

} // namespace zn
