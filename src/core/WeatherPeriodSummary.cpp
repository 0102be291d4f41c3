#include "core/WeatherPeriodSummary.h"

#include "core/JournalDayTotals.h"
#include "core/WeatherPeriodSummaryFromTotals.h"
#include "core/JournalEntry.h"
#include "platform/store/ModelContext.h"
#include "core/TextUnits.h"

#include <QMap>
#include <QCoreApplication>
#include <QMutex>
#include <QThread>

#include <algorithm>
#include <climits>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

namespace zn {
namespace {

constexpr int kTopKeywordCount = 12;

// Field reads straight from the model's stored values, without the copies
// (and for local times the time-zone conversions) of the typed getters; a
// value of an unexpected type falls back to the getter.
template<typename T>
const T *stored(const JournalEntry &entry, int field)
{
    const QVariant &value = entry.value(field);
    if (value.metaType() != QMetaType::fromType<T>())
        return nullptr;
    return static_cast<const T *>(value.constData());
}

bool isDraftOf(const JournalEntry &entry)
{
    const bool *draft = stored<bool>(entry, JournalEntry::IsDraft);
    return draft ? *draft : entry.isDraft();
}

double scoreOf(const JournalEntry &entry)
{
    const double *score = stored<double>(entry, JournalEntry::SentimentScore);
    return score ? *score : entry.sentimentScore();
}

// One entry of the window, as the computation reads it.
struct WindowRow {
    double score;
    QDateTime timestamp;
    QByteArray keywordData;
    qsizetype slot; // day of the window, -1 when outside the day table
};

// The one remembered summary. Besides the period, the day and the calendar,
// it stands only while the same entry objects are asked about and no stored
// model anywhere has been written since (so a changed score, text,
// timestamp or keyword table, a deletion or a destroyed entry all count).
struct Memo {
    WeatherPeriod period;
    QString dayKey;
    QString calendarTag;
    QList<JournalEntry *> inputs;
    quint64 writeCount;
    WeatherPeriodSummary summary;
};

QMutex memoMutex;
std::optional<Memo> memoSlot;
quint64 computeCount = 0;
quint64 fromTotalsCount = 0;

bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// The days of a window with their first instants, plus the day after (an
// entry stamped exactly at the window's end belongs to it).
struct DayTable {
    std::vector<qint64> startMs;   // days + 1 entries; the last is the day after
    std::vector<QDateTime> starts;
    bool usable = false;
};

DayTable makeDayTable(const QDateTime &now, int days, const CalendarProvider &calendar)
{
    DayTable table;
    const QTimeZone &zone = calendar.timeZone();
    const QDate today = now.toTimeZone(zone).date();
    if (!today.isValid())
        return table;
    const QDate first = today.addDays(-(days - 1));
    table.startMs.reserve(std::size_t(days) + 1);
    table.starts.reserve(std::size_t(days) + 1);
    for (int i = 0; i <= days; ++i) {
        const QDateTime start = first.addDays(i).startOfDay(zone);
        if (!start.isValid())
            return table;
        const qint64 ms = start.toMSecsSinceEpoch();
        if (!table.startMs.empty() && ms <= table.startMs.back())
            return table;
        table.startMs.push_back(ms);
        table.starts.push_back(start);
    }
    table.usable = true;
    return table;
}

// Where a timestamp falls: its day slot, -1 for "in the window but off the
// table", or nullopt when outside the window.
std::optional<qsizetype> placeInWindow(const QDateTime &when, const DayTable &table, qint64 startMs,
                                       qint64 endMs)
{
    if (!when.isValid())
        return std::nullopt;
    const qint64 ms = when.toMSecsSinceEpoch();
    if (ms < startMs || ms > endMs)
        return std::nullopt;
    if (!table.usable)
        return -1;
    auto it = std::upper_bound(table.startMs.begin(), table.startMs.end(), ms);
    return qsizetype(it - table.startMs.begin()) - 1;
}

QString calendarTag(const CalendarProvider &calendar)
{
    return calendar.calendar().name() + u'|' + QString::fromUtf8(calendar.timeZone().id());
}

// Word totals keyed by the words' UTF-8 bytes, which stay owned by the
// keyword data being summed. Open addressing: a year of entries means some
// 200,000 lookups over a few hundred distinct words.
class KeywordTotals
{
public:
    KeywordTotals() : m_slots(1024) {}

    void add(std::string_view word, qint64 count)
    {
        const quint64 hash = hashOf(word);
        std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = std::size_t(hash) & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (!slot.used) {
                slot = {hash, word, count, true};
                if (++m_size * 2 > m_slots.size())
                    grow();
                return;
            }
            if (slot.hash == hash && slot.word == word) {
                slot.total += count;
                return;
            }
        }
    }

    template<typename Fn>
    void forEach(Fn fn) const
    {
        for (const Slot &slot : m_slots)
            if (slot.used)
                fn(slot.word, slot.total);
    }

    std::size_t size() const { return m_size; }

private:
    struct Slot {
        quint64 hash = 0;
        std::string_view word;
        qint64 total = 0;
        bool used = false;
    };

    static quint64 hashOf(std::string_view word)
    {
        quint64 h = 1469598103934665603ull; // FNV-1a
        for (char c : word) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
        return h ^ (h >> 29);
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot &slot : old) {
            if (!slot.used)
                continue;
            std::size_t i = std::size_t(slot.hash) & mask;
            while (m_slots[i].used)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_size = 0;
};

QList<KeywordTotal> topKeywordTotals(const KeywordTotals &totals)
{
    std::vector<std::pair<std::string_view, qint64>> pairs;
    pairs.reserve(totals.size());
    totals.forEach([&](std::string_view word, qint64 total) { pairs.emplace_back(word, total); });
    if (pairs.size() > std::size_t(kTopKeywordCount)) {
        // Everything tied with the 12th total still competes on word order.
        std::nth_element(pairs.begin(), pairs.begin() + (kTopKeywordCount - 1), pairs.end(),
                         [](const auto &a, const auto &b) { return a.second > b.second; });
        const qint64 cutoff = pairs[kTopKeywordCount - 1].second;
        std::erase_if(pairs, [cutoff](const auto &p) { return p.second < cutoff; });
    }
    std::vector<std::pair<QString, qint64>> ranked;
    ranked.reserve(pairs.size());
    for (const auto &[word, total] : pairs)
        ranked.emplace_back(QString::fromUtf8(word.data(), qsizetype(word.size())), total);
    std::sort(ranked.begin(), ranked.end(), [](const auto &a, const auto &b) {
        if (a.second != b.second)
            return a.second > b.second;
        return text::scalarLess(a.first, b.first);
    });
    QList<KeywordTotal> top;
    for (std::size_t i = 0; i < ranked.size() && i < std::size_t(kTopKeywordCount); ++i)
        top.append({ranked[i].first, int(std::clamp<qint64>(ranked[i].second, INT_MIN, INT_MAX))});
    return top;
}

struct DayGroup {
    QDateTime date;
    double sum = 0.0;
    int count = 0;
};

WeatherPeriodSummary compute(WeatherPeriod period, const DateInterval &window, const DayTable &table,
                             const CalendarProvider &calendar, const std::vector<WindowRow> &rows)
{
    WeatherPeriodSummary result;
    result.period = period;
    result.interval = window;
    result.entryCount = int(rows.size());

    double sum = 0.0;
    for (const WindowRow &row : rows)
        sum += row.score;
    result.averageSentiment = rows.empty() ? 0.0 : sum / double(rows.size());
    result.label = weatherLabelForScore(result.averageSentiment);
    if (rows.empty())
        return result;

    std::vector<DayGroup> slotGroups(table.usable ? table.starts.size() : 0);
    QMap<QString, DayGroup> groups;
    for (const WindowRow &row : rows) {
        const double score = row.score;
        if (row.slot >= 0) {
            DayGroup &group = slotGroups[std::size_t(row.slot)];
            if (group.count == 0)
                group.date = table.starts[std::size_t(row.slot)];
            group.sum += score;
            group.count += 1;
            continue;
        }
        DayGroup &group = groups[calendar.dayKey(row.timestamp)];
        if (group.count == 0)
            group.date = calendar.startOfDay(row.timestamp);
        group.sum += score;
        group.count += 1;
    }
    for (const DayGroup &group : slotGroups) {
        if (group.count == 0)
            continue;
        DayGroup &merged = groups[calendar.dayKey(group.date)];
        if (merged.count == 0)
            merged.date = group.date;
        merged.sum += group.sum;
        merged.count += group.count;
    }
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        result.points.append({it.key(), it->date, it->sum / it->count, it->count});
    std::stable_sort(result.points.begin(), result.points.end(),
                     [](const auto &a, const auto &b) { return text::scalarLess(a.dayKey, b.dayKey); });

    KeywordTotals totals;
    std::deque<std::string> ownedWords;
    std::vector<std::pair<std::string_view, int>> scratch;
    for (const WindowRow &row : rows) {
        if (parseCompactKeywords(row.keywordData, scratch)) {
            for (const auto &[word, count] : scratch)
                totals.add(word, count);
            continue;
        }
        const KeywordFrequencies decoded = decodeKeywordFrequencies(row.keywordData);
        for (auto it = decoded.cbegin(); it != decoded.cend(); ++it) {
            const std::string &word = ownedWords.emplace_back(it.key().toStdString());
            totals.add(word, it.value());
        }
    }
    result.topKeywords = topKeywordTotals(totals);
    return result;
}

WeatherPeriodSummary computeFromEntries(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                        const CalendarProvider &calendar, const QDateTime &now);

} // namespace

WeatherPeriodSummary WeatherPeriodSummary::summary(const QList<JournalEntry *> &entries,
                                                   WeatherPeriod period,
                                                   const CalendarProvider &calendar,
                                                   const QDateTime &now)
{
    const QString dayKey = calendar.dayKey(now);
    const QString tag = calendarTag(calendar);
    // The memo and the store's day totals belong to the main thread; other
    // callers always read the entries.
    const bool useMemo = onMainThread();

    QMutexLocker lock(&memoMutex);
    const quint64 writes = PersistentModel::writeCount();
    if (useMemo && memoSlot && memoSlot->writeCount == writes
        && memoSlot->period == period && memoSlot->dayKey == dayKey && memoSlot->calendarTag == tag
        && memoSlot->inputs == entries)
        return memoSlot->summary;
    lock.unlock();

    // The views pass their query's results, which the store's day totals
    // already sum up; any other list is read entry by entry.
    std::optional<WeatherPeriodSummary> fromTotals;
    if (useMemo)
        fromTotals = summaryFromDayTotals(entries, period, calendar, now);
    WeatherPeriodSummary result = fromTotals ? *std::move(fromTotals) : computeFromEntries(entries, period, calendar, now);

    lock.relock();
    ++computeCount;
    if (fromTotals)
        ++fromTotalsCount;
    if (useMemo)
        memoSlot = Memo{period, dayKey, tag, entries, writes, result};
    return result;
}

namespace {

WeatherPeriodSummary computeFromEntries(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                        const CalendarProvider &calendar, const QDateTime &now)
{
    const int days = dayCount(period);
    const DateInterval window = calendar.trailingDaysInterval(days, now);
    const DayTable table = makeDayTable(now, days, calendar);
    const bool windowValid = window.start.isValid() && window.end.isValid();
    const qint64 startMs = windowValid ? window.start.toMSecsSinceEpoch() : 0;
    const qint64 endMs = windowValid ? window.end.toMSecsSinceEpoch() : 0;

    std::vector<WindowRow> rows;
    if (windowValid) {
        rows.reserve(std::size_t(entries.size()));
        for (JournalEntry *entry : entries) {
            if (!entry || isDraftOf(*entry))
                continue;
            const QDateTime *stamp = stored<QDateTime>(*entry, JournalEntry::Timestamp);
            const QDateTime when = stamp ? *stamp : entry->timestamp();
            const auto place = placeInWindow(when, table, startMs, endMs);
            if (!place)
                continue;
            const QByteArray *keywords = stored<QByteArray>(*entry, JournalEntry::KeywordFrequenciesData);
            rows.push_back({scoreOf(*entry), when,
                            keywords ? *keywords : entry->keywordFrequenciesData(), *place});
        }
    }
    return compute(period, window, table, calendar, rows);
}

} // namespace

DateRange WeatherPeriodSummary::chartXDomain(const CalendarProvider &calendar,
                                             double sparseThreshold, int minimumDays,
                                             int leadDays) const
{
    const QDateTime windowStart = calendar.startOfDay(interval.start);
    QDateTime dayBeforeEnd = calendar.addingDays(interval.end, -1);
    if (!dayBeforeEnd.isValid())
        dayBeforeEnd = interval.end.addSecs(-1);
    const QDateTime lastDay = calendar.startOfDay(dayBeforeEnd);
    const DateRange full{windowStart, lastDay};
    if (points.isEmpty())
        return full;

    QDateTime firstDay;
    for (const DailySentimentPoint &point : points) {
        const QDateTime day = calendar.startOfDay(point.date);
        if (!firstDay.isValid() || day < firstDay)
            firstDay = day;
    }
    const int windowDays = inclusiveDayCount(windowStart, lastDay, calendar);
    const int dataDays = inclusiveDayCount(firstDay, lastDay, calendar);
    if (double(dataDays) >= sparseThreshold * double(windowDays))
        return full;

    const int cap = std::min(windowDays, minimumDays);
    QDateTime lower = calendar.addingDays(firstDay, -leadDays);
    lower = lower.isValid() ? calendar.startOfDay(lower) : firstDay;
    if (lower < windowStart)
        lower = windowStart;
    if (inclusiveDayCount(lower, lastDay, calendar) < cap) {
        const QDateTime back = calendar.addingDays(lastDay, -(cap - 1));
        lower = back.isValid() ? calendar.startOfDay(back) : windowStart;
        if (lower < windowStart)
            lower = windowStart;
    }
    return {lower, lastDay};
}

int inclusiveDayCount(const QDateTime &from, const QDateTime &to, const CalendarProvider &calendar)
{
    if (!from.isValid() || !to.isValid())
        return 0;
    const QDate a = from.toTimeZone(calendar.timeZone()).date();
    const QDate b = to.toTimeZone(calendar.timeZone()).date();
    if (a > b)
        return 0;
    const qint64 days = a.daysTo(b) + 1;
    return int(std::min<qint64>(days, INT_MAX));
}

namespace detail {

quint64 weatherSummaryComputeCount()
{
    QMutexLocker lock(&memoMutex);
    return computeCount;
}

quint64 weatherSummaryFromTotalsCount()
{
    QMutexLocker lock(&memoMutex);
    return fromTotalsCount;
}

void resetWeatherSummaryMemo()
{
    QMutexLocker lock(&memoMutex);
    memoSlot.reset();
}

WeatherPeriodSummary weatherSummaryFromEntries(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                               const CalendarProvider &calendar, const QDateTime &now)
{
    return computeFromEntries(entries, period, calendar, now);
}

} // namespace detail

} // namespace zn
