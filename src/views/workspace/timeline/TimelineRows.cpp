#include "views/workspace/timeline/TimelineRows.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"

#include <QSet>

namespace zn {

TimelineRowBuilder::TimelineRowBuilder(const CalendarProvider &provider)
    : m_provider(&provider)
{
}

int TimelineRowBuilder::dayOf(JournalEntry *entry)
{
    const QDateTime when = entry->timestamp();
    const qint64 msecs = when.toMSecsSinceEpoch();
    auto it = m_dayOf.find(entry);
    if (it != m_dayOf.end() && it->msecs == msecs)
        return it->day;
    const QString key = m_provider->dayKey(when);
    auto id = m_dayIds.constFind(key);
    if (id == m_dayIds.constEnd()) {
        id = m_dayIds.insert(key, int(m_days.size()));
        m_days.push_back(TimelineDay{key, when});
    }
    m_dayOf.insert(entry, Cached{msecs, *id});
    return *id;
}

std::vector<TimelineRow> TimelineRowBuilder::build(const QList<JournalEntry *> &entries)
{
    // Entries of each day in the order given, days in first-occurrence
    // order: count per day, place each heading, then slot the entries in.
    std::vector<int> order;
    std::vector<int> dayOfEntry;
    dayOfEntry.reserve(size_t(entries.size()));
    for (JournalEntry *entry : entries)
        dayOfEntry.push_back(dayOf(entry));
    // Day ids are dense, so plain vectors serve as maps.
    std::vector<int> counts(m_days.size(), 0);
    for (int day : dayOfEntry)
        if (counts[size_t(day)]++ == 0)
            order.push_back(day);

    std::vector<TimelineRow> rows;
    // Position of each day's heading, then entries slotted after it.
    std::vector<size_t> next(m_days.size(), 0);
    size_t at = 0;
    rows.resize(size_t(entries.size()) + order.size());
    for (int day : order) {
        rows[at] = TimelineRow{nullptr, day};
        next[size_t(day)] = at + 1;
        at += size_t(counts[size_t(day)]) + 1;
    }
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const int day = dayOfEntry[size_t(i)];
        rows[next[size_t(day)]++] = TimelineRow{entries[i], day};
    }
    // Headings read the date of their day's first entry.
    for (size_t i = 0; i + 1 < rows.size(); ++i)
        if (rows[i].isHeader())
            m_days[size_t(rows[i].day)].date = rows[i + 1].entry->timestamp();
    return rows;
}

TimelineRowDiff diffTimelineRows(const std::vector<quint64> &before, const std::vector<quint64> &after, int maxRuns)
{
    TimelineRowDiff diff;
    QSet<quint64> inAfter;
    inAfter.reserve(qsizetype(after.size()));
    for (quint64 key : after)
        inAfter.insert(key);
    QSet<quint64> inBefore;
    inBefore.reserve(qsizetype(before.size()));
    for (quint64 key : before)
        inBefore.insert(key);

    // Rows that stay must keep their order.
    std::vector<quint64> keptBefore;
    keptBefore.reserve(before.size());
    for (quint64 key : before)
        if (inAfter.contains(key))
            keptBefore.push_back(key);
    size_t k = 0;
    for (quint64 key : after) {
        if (!inBefore.contains(key))
            continue;
        if (k >= keptBefore.size() || keptBefore[k] != key) {
            diff.reset = true;
            return diff;
        }
        ++k;
    }

    for (int i = int(before.size()) - 1; i >= 0;) {
        if (inAfter.contains(before[size_t(i)])) {
            --i;
            continue;
        }
        const int last = i;
        while (i >= 0 && !inAfter.contains(before[size_t(i)]))
            --i;
        diff.removals.emplace_back(i + 1, last);
    }
    for (int i = 0; i < int(after.size());) {
        if (inBefore.contains(after[size_t(i)])) {
            ++i;
            continue;
        }
        const int first = i;
        while (i < int(after.size()) && !inBefore.contains(after[size_t(i)]))
            ++i;
        diff.insertions.emplace_back(first, i - 1);
    }
    if (int(diff.removals.size() + diff.insertions.size()) > maxRuns) {
        diff.removals.clear();
        diff.insertions.clear();
        diff.reset = true;
    }
    return diff;
}

} // namespace zn
