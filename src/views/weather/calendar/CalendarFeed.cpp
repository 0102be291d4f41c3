#include "views/weather/calendar/CalendarFeed.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"
#include "platform/base/Clock.h"

#include <QTimer>

#include <algorithm>

namespace zn {
namespace {
using namespace std::chrono;
} // namespace

CalendarFeed::CalendarFeed(const CalendarViewSetup &setup, QObject *parent)
    : QObject(parent)
    , m_grid(setup.calendar, setup.locale.value_or(QLocale()))
    , m_clock(setup.clock ? setup.clock : &Clock::system())
    , m_midnight(std::make_unique<ClockTimer>(*m_clock, this))
{
    scheduleMidnight();
}

CalendarFeed::~CalendarFeed() = default;

QDateTime CalendarFeed::now() const
{
    return m_clock->now();
}

void CalendarFeed::setEntries(const QList<JournalEntry *> &entries)
{
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_entries.clear();
    m_entries.reserve(entries.size());
    for (JournalEntry *entry : entries) {
        if (!entry)
            continue;
        m_entries.append(entry);
        m_connections.append(connect(entry, &JournalEntry::fieldChanged, this, [this](int field) {
            if (field == JournalEntry::Timestamp || field == JournalEntry::SentimentScore
                || field == JournalEntry::IsDraft)
                requestRefresh();
        }));
        m_connections.append(connect(entry, &JournalEntry::deleted, this, &CalendarFeed::requestRefresh));
        m_connections.append(connect(entry, &QObject::destroyed, this, &CalendarFeed::requestRefresh));
    }
    requestRefresh();
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

void CalendarFeed::scheduleMidnight()
{
    // "Today" moves at the start of the next day; a little slack keeps the
    // refresh on the new day whatever the timer's rounding.
    const QDateTime now = m_clock->now();
    const QDateTime next = m_grid.calendar().addingDays(m_grid.startOfDay(now), 1);
    qint64 wait = now.msecsTo(m_grid.startOfDay(next)) + 500;
    wait = std::clamp<qint64>(wait, 1000, qint64(25) * 3600 * 1000);
    m_midnight->start(milliseconds(wait), [this] {
        requestRefresh();
        scheduleMidnight();
    });
}

} // namespace zn
