#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <utility>
#include <vector>

namespace zn {

class CalendarProvider;
class JournalEntry;

// One row of the flat timeline: a day heading (no entry) or a card.
struct TimelineRow
{
    JournalEntry *entry = nullptr;
    int day = -1; // into TimelineRowBuilder::day()

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
// key in first-occurrence order. Day keys are remembered per entry and
// timestamp, so rebuilding after a search keystroke costs a hash look-up per
// entry rather than a time-zone conversion.
class TimelineRowBuilder
{
public:
    explicit TimelineRowBuilder(const CalendarProvider &provider);

    std::vector<TimelineRow> build(const QList<JournalEntry *> &entries);
    const TimelineDay &day(int id) const { return m_days[size_t(id)]; }
    void forget(const JournalEntry *entry) { m_dayOf.remove(entry); }

private:
    int dayOf(JournalEntry *entry);

    const CalendarProvider *m_provider;
    struct Cached
    {
        qint64 msecs;
        int day;
    };
    QHash<const JournalEntry *, Cached> m_dayOf;
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
