#include "views/workspace/timeline/TimelineRows.h"

#include "core/CalendarProvider.h"
#include "core/JournalEntry.h"

#include <QSet>

namespace zn {

TimelineRowBuilder::TimelineRowBuilder(const CalendarProvider &provider,
                                       std::function<void(JournalEntry *, int)> firstSeen)
    : m_provider(&provider)
    , m_firstSeen(std::move(firstSeen))
{
}

int TimelineRowBuilder::slotOf(const JournalEntry *entry) const
{
    const auto it = m_known.constFind(entry);
    return it == m_known.constEnd() ? -1 : it->slot;
}

void TimelineRowBuilder::invalidate(const JournalEntry *entry)
{
    const auto it = m_known.find(entry);
    if (it != m_known.end())
        it->day = -1;
}

void TimelineRowBuilder::release(const JournalEntry *entry)
{
    const auto it = m_known.constFind(entry);
    if (it == m_known.constEnd())
        return;
    m_freeSlots.push_back(it->slot);
    m_known.erase(it);
}

void TimelineRowBuilder::forgetDays()
{
    for (Known &known : m_known)
        known.day = -1;
    m_dayIds.clear();
    m_days.clear();
}

TimelineRowBuilder::Known &TimelineRowBuilder::know(JournalEntry *entry)
{
    auto it = m_known.find(entry);
    if (it == m_known.end()) {
        int slot = m_nextSlot;
        if (!m_freeSlots.empty()) {
            slot = m_freeSlots.back();
            m_freeSlots.pop_back();
        } else {
            ++m_nextSlot;
        }
        it = m_known.insert(entry, Known{-1, slot});
        if (m_firstSeen)
            m_firstSeen(entry, slot);
    }
    if (it->day < 0) {
        const QDateTime when = entry->timestamp();
        const QString key = m_provider->dayKey(when);
        auto id = m_dayIds.constFind(key);
        if (id == m_dayIds.constEnd()) {
            id = m_dayIds.insert(key, int(m_days.size()));
            // Any moment of the day serves its heading.
            m_days.push_back(TimelineDay{key, when});
        }
        it->day = *id;
    }
    return *it;
}

std::vector<TimelineRow> TimelineRowBuilder::build(const QList<JournalEntry *> &entries)
{
    // Entries of each day in the order given, days in first-occurrence
    // order: count per day, place each heading, then slot the entries in.
    std::vector<int> order;
    std::vector<Known> known;
    known.reserve(size_t(entries.size()));
    for (JournalEntry *entry : entries)
        known.push_back(know(entry));
    // Day ids are dense, so plain vectors serve as maps.
    std::vector<int> counts(m_days.size(), 0);
    for (const Known &k : known)
        if (counts[size_t(k.day)]++ == 0)
            order.push_back(k.day);

    std::vector<TimelineRow> rows(size_t(entries.size()) + order.size());
    std::vector<size_t> next(m_days.size(), 0);
    size_t at = 0;
    for (int day : order) {
        rows[at] = TimelineRow{nullptr, day, -1};
        next[size_t(day)] = at + 1;
        at += size_t(counts[size_t(day)]) + 1;
    }
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Known &k = known[size_t(i)];
        rows[next[size_t(k.day)]++] = TimelineRow{entries[i], k.day, k.slot};
    }
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
