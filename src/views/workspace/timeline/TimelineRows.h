#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace zn {

class CalendarProvider;
class JournalEntry;

// One row of the flat timeline: a day heading (no entry) or a card.
struct TimelineRow
{
    JournalEntry *entry = nullptr;
    int day = -1;  // into TimelineRowBuilder::day()
    int slot = -1; // the entry's slot (cards only): a dense number per entry

    bool isHeader() const { return entry == nullptr; }
    // Stable identity across rebuilds: the entry, or the heading's day.
    quint64 key() const
    {
        return entry ? quint64(reinterpret_cast<quintptr>(entry)) : (quint64(day) << 1) | 1u;
    }
    friend bool operator==(const TimelineRow &, const TimelineRow &) = default;
};

struct TimelineDay
{
    QString key;     // "2024-03-04"
    QDateTime date;  // a moment in that day, for its heading
};

// Flattens the filtered entries into day headings and cards, grouped by day
// key in first-occurrence order. Each entry gets a slot, a dense number its
// owner can index per-entry data by without hashing, and its day key is
// remembered until invalidate() (the entry changed): rebuilding after a
// search keystroke costs one hash look-up per entry rather than reading and
// converting its timestamp. `firstSeen` hears of each new entry and its slot.
class TimelineRowBuilder
{
public:
    explicit TimelineRowBuilder(const CalendarProvider &provider,
                                std::function<void(JournalEntry *, int)> firstSeen = {});

    std::vector<TimelineRow> build(const QList<JournalEntry *> &entries);
    const TimelineDay &day(int id) const { return m_days[size_t(id)]; }
    // -1 for an entry never built.
    int slotOf(const JournalEntry *entry) const;
    // Its day is looked up again at the next build.
    void invalidate(const JournalEntry *entry);
    // Gone for good (destroyed): its slot may serve another entry.
    void release(const JournalEntry *entry);
    // Every entry's day is looked up again at the next build, and days get
    // new ids (the calendar moved to another time zone).
    void forgetDays();

private:
    struct Known
    {
        int day;
        int slot;
    };
    Known &know(JournalEntry *entry);

    const CalendarProvider *m_provider;
    std::function<void(JournalEntry *, int)> m_firstSeen;
    QHash<const JournalEntry *, Known> m_known;
    std::vector<int> m_freeSlots;
    int m_nextSlot = 0;
    QHash<QString, int> m_dayIds;
    std::vector<TimelineDay> m_days;
};

// How to turn one row list into another with removals and insertions only,
// so a view keeps every row that stays. Removals come bottom-up in old
// positions; insertions top-down in new positions, after the removals.
// `reset` when the rows that stay changed order, or when the change is so
// scattered that moving rows one run at a time would cost more than a reset.
struct TimelineRowDiff
{
    std::vector<std::pair<int, int>> removals;   // first, last
    std::vector<std::pair<int, int>> insertions; // first, last
    bool reset = false;

    bool isEmpty() const { return !reset && removals.empty() && insertions.empty(); }
};

TimelineRowDiff diffTimelineRows(const std::vector<quint64> &before, const std::vector<quint64> &after,
                                 int maxRuns = 64);

} // namespace zn
