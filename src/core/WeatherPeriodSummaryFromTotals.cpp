#include "core/WeatherPeriodSummaryFromTotals.h"

#include "core/JournalDayTotals.h"
#include "core/JournalEntry.h"
#include "core/TextUnits.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreQuery.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace zn {
namespace {

constexpr int kTopKeywordCount = 12;

bool sameScore(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

const QDateTime *storedTimestamp(const JournalEntry &entry)
{
    const QVariant &value = entry.value(JournalEntry::Timestamp);
    return value.metaType() == QMetaType::fromType<QDateTime>() ? static_cast<const QDateTime *>(value.constData())
                                                                 : nullptr;
}

bool changesSummary(const PersistentModel &entry)
{
    return entry.hasUnsavedChange(JournalEntry::Timestamp) || entry.hasUnsavedChange(JournalEntry::SentimentScore)
           || entry.hasUnsavedChange(JournalEntry::KeywordFrequenciesData)
           || entry.hasUnsavedChange(JournalEntry::IsDraft);
}

// Whether the context holds an unsaved insert, delete or edit that a
// summary would see (the editor's unsaved text is not one).
bool hasUnsavedSummaryChange(ModelContext &context)
{
    const QList<PersistentModel *> unsaved = context.unsavedModels(JournalEntry::entityDescriptor());
    return std::any_of(unsaved.cbegin(), unsaved.cend(), [](const PersistentModel *m) {
        return m->isUnsaved() || m->isDeleted() || changesSummary(*m);
    });
}

// The container of a live query whose current results `entries` are, when
// those results are every saved entry (or every non-draft one) and its
// context holds no unsaved change a summary would see: then the window's
// non-draft entries are the store's, and no entry needs reading.
ModelContainer *containerOfQueryResults(const QList<JournalEntry *> &entries)
{
    for (StoreQuery *query : StoreQuery::liveQueries()) {
        if (&query->entity() != &JournalEntry::entityDescriptor() || query->results().size() != entries.size()
            || query->lastError() || query->descriptor().fetchLimit || !query->isComplete())
            continue;
        const QList<PersistentModel *> &results = query->results();
        if (!std::equal(results.cbegin(), results.cend(), entries.cbegin(),
                        [](const PersistentModel *a, const JournalEntry *b) { return a == b; }))
            continue;
        ModelContext *context = query->context();
        if (!context || !context->container() || hasUnsavedSummaryChange(*context))
            continue;
        const auto &conditions = query->descriptor().predicate.conditions();
        const bool everyRow = std::all_of(conditions.cbegin(), conditions.cend(), [](const Condition &c) {
            return c.field == JournalEntry::IsDraft && c.op == CompareOp::Equal && c.value.isValid()
                   && !c.value.toBool();
        });
        if (everyRow)
            return context->container();
    }
    return nullptr;
}

// The container every entry belongs to, when they all are saved rows of one
// store whose summary fields have no unsaved change.
ModelContainer *commonContainer(const QList<JournalEntry *> &entries)
{
    ModelContainer *container = nullptr;
    ModelContext *lastContext = nullptr;
    for (const JournalEntry *entry : entries) {
        if (!entry)
            continue;
        ModelContext *context = entry->modelContext();
        if (!context || entry->isUnsaved() || entry->isDeleted())
            return nullptr;
        if (context != lastContext) {
            ModelContainer *own = context->container();
            if (!own || (container && own != container))
                return nullptr;
            container = own;
            lastContext = context;
        }
        if (entry->hasChanges() && changesSummary(*entry))
            return nullptr;
    }
    return container;
}

// How many of `entries` are non-draft and in the window, when each of them
// is a row of the totals, as stored, and none comes twice.
std::optional<qint64> windowEntriesAsStored(const QList<JournalEntry *> &entries, const JournalDayTotals &totals,
                                            qint64 startMs, qint64 endMs)
{
    std::vector<qint64> seen;
    seen.reserve(std::size_t(entries.size()));
    for (const JournalEntry *entry : entries) {
        if (!entry || entry->isDraft())
            continue;
        const QDateTime *stamp = storedTimestamp(*entry);
        if (!stamp || !stamp->isValid())
            continue;
        const qint64 ms = stamp->toMSecsSinceEpoch();
        if (ms < startMs || ms > endMs)
            continue;
        const JournalDayTotals::Row *row = totals.row(entry->rowId());
        if (!row || row->msecs != ms || !sameScore(row->score, entry->sentimentScore()))
            return std::nullopt;
        seen.push_back(entry->rowId());
    }
    std::sort(seen.begin(), seen.end());
    if (std::adjacent_find(seen.begin(), seen.end()) != seen.end())
        return std::nullopt;
    return qint64(seen.size());
}

QList<KeywordTotal> rankKeywords(const JournalDayTotals &totals, const std::vector<qint64> &sums,
                                 const std::vector<int> &touched)
{
    std::vector<std::pair<int, qint64>> pairs;
    pairs.reserve(touched.size());
    for (int id : touched)
        pairs.emplace_back(id, sums[std::size_t(id)]);
    if (pairs.size() > std::size_t(kTopKeywordCount)) {
        // Everything tied with the 12th total still competes on word order.
        std::nth_element(pairs.begin(), pairs.begin() + (kTopKeywordCount - 1), pairs.end(),
                         [](const auto &a, const auto &b) { return a.second > b.second; });
        const qint64 cutoff = pairs[kTopKeywordCount - 1].second;
        std::erase_if(pairs, [cutoff](const auto &p) { return p.second < cutoff; });
    }
    std::sort(pairs.begin(), pairs.end(), [&](const auto &a, const auto &b) {
        if (a.second != b.second)
            return a.second > b.second;
        return text::scalarLess(totals.words().word(a.first), totals.words().word(b.first));
    });
    QList<KeywordTotal> top;
    for (std::size_t i = 0; i < pairs.size() && i < std::size_t(kTopKeywordCount); ++i)
        top.append({totals.words().word(pairs[i].first), int(std::clamp<qint64>(pairs[i].second, INT_MIN, INT_MAX))});
    return top;
}

} // namespace

std::optional<WeatherPeriodSummary> summaryFromDayTotals(const QList<JournalEntry *> &entries, WeatherPeriod period,
                                                         const CalendarProvider &calendar, const QDateTime &now)
{
    ModelContainer *container = containerOfQueryResults(entries);
    const bool vouched = container != nullptr;
    if (!vouched)
        container = commonContainer(entries);
    if (!container || !now.isValid())
        return std::nullopt;
    const int days = dayCount(period);
    const DateInterval window = calendar.trailingDaysInterval(days, now);
    if (!window.start.isValid() || !window.end.isValid())
        return std::nullopt;
    JournalDayTotals &totals = JournalDayTotals::of(*container);
    if (!(vouched ? totals.refresh(calendar, entries) : totals.refresh(calendar)))
        return std::nullopt;

    // Whole days only: the window must start and end on day boundaries.
    const qint64 today = totals.zoneDays().julianDay(now.toMSecsSinceEpoch());
    const qint64 firstDay = today - (days - 1);
    const QTimeZone &zone = calendar.timeZone();
    const qint64 startMs = window.start.toMSecsSinceEpoch();
    const qint64 endMs = window.end.toMSecsSinceEpoch();
    if (QDate::fromJulianDay(firstDay).startOfDay(zone).toMSecsSinceEpoch() != startMs
        || QDate::fromJulianDay(today + 1).startOfDay(zone).toMSecsSinceEpoch() != endMs)
        return std::nullopt;

    // The window's entries must be the totals' rows of those days, each
    // once and as stored.
    std::optional<qint64> listed;
    if (!vouched) {
        listed = windowEntriesAsStored(entries, totals, startMs, endMs);
        if (!listed)
            return std::nullopt;
    }

    const std::vector<const JournalDayTotals::Day *> inDays = totals.days(firstDay, today);
    const JournalDayTotals::Day *after = totals.day(today + 1);
    std::vector<qint64> atEnd; // rows stamped exactly at the window's end
    if (after) {
        for (qint64 id : after->rowIds) {
            if (totals.row(id)->msecs == endMs)
                atEnd.push_back(id);
        }
    }
    qint64 stored = qint64(atEnd.size());
    for (const JournalDayTotals::Day *day : inDays)
        stored += day->count();
    if (listed && stored != *listed)
        return std::nullopt;

    WeatherPeriodSummary result;
    result.period = period;
    result.interval = window;
    result.entryCount = int(stored);
    double sum = 0.0;
    std::vector<qint64> keywordSums(std::size_t(totals.words().size()), 0);
    std::vector<int> touched;
    std::vector<char> isTouched(keywordSums.size(), 0);
    const auto add = [&](int word, qint64 count) {
        if (!isTouched[std::size_t(word)]) {
            isTouched[std::size_t(word)] = 1;
            touched.push_back(word);
        }
        keywordSums[std::size_t(word)] += count;
    };
    for (const JournalDayTotals::Day *day : inDays) {
        sum += day->sum;
        result.points.append({day->key, day->start, day->sum / day->count(), day->count()});
        for (const auto &[word, count] : day->keywords)
            add(word, count);
    }
    if (!atEnd.empty()) {
        double endSum = 0.0;
        for (qint64 id : atEnd) {
            const JournalDayTotals::Row *row = totals.row(id);
            endSum += row->score;
            for (const auto &[word, count] : row->keywords)
                add(word, count);
        }
        sum += endSum;
        result.points.append({after->key, after->start, endSum / double(atEnd.size()), int(atEnd.size())});
    }
    result.averageSentiment = stored == 0 ? 0.0 : sum / double(stored);
    result.label = weatherLabelForScore(result.averageSentiment);
    std::stable_sort(result.points.begin(), result.points.end(),
                     [](const auto &a, const auto &b) { return text::scalarLess(a.dayKey, b.dayKey); });
    result.topKeywords = rankKeywords(totals, keywordSums, touched);
    return result;
}

} // namespace zn
