// Weather summaries over a large journal: 10,000 entries with about 20
// keywords each, spread over ten years or packed into one.
#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "core/WeatherPeriodSummary.h"
#include "platform/store/StoreQuery.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace zn {
namespace {

constexpr int kEntries = 10'000;

// A stored journal and the views' live query over it.
struct Journal {
    QTemporaryDir dir;
    std::shared_ptr<ModelContainer> container;
    std::unique_ptr<StoreQuery> query;
    QList<JournalEntry *> entries;
    QDateTime now;
};

KeywordFrequencies someKeywords(QRandomGenerator &rng, const QStringList &vocabulary)
{
    KeywordFrequencies keywords;
    for (int k = 0; k < 20; ++k)
        keywords[vocabulary[int(rng.bounded(qint64(vocabulary.size())))]] = 1 + int(rng.bounded(4));
    return keywords;
}

Journal &journal(int years)
{
    // Left to the end of the process: its store must not close after Qt.
    static auto *made = new std::map<int, std::unique_ptr<Journal>>;
    auto &slot = (*made)[years];
    if (slot)
        return *slot;
    slot = std::make_unique<Journal>();
    Journal &j = *slot;
    j.now = QDateTime(QDate(2025, 6, 30), QTime(18, 0));
    j.container = makeStoreContainerIn(j.dir.path())->container;
    ModelContext *context = j.container->mainContext();
    QRandomGenerator rng(42);
    QStringList vocabulary;
    for (int i = 0; i < 600; ++i)
        vocabulary.append(QStringLiteral("word%1").arg(i));
    const qint64 span = qint64(365 * years - 1) * 86'400'000;
    const qint64 start = j.now.addDays(-(365 * years - 1)).toMSecsSinceEpoch();
    for (int i = 0; i < kEntries; ++i) {
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(start + qint64(rng.bounded(double(span))));
        context->insert(std::make_unique<JournalEntry>(QUuid::createUuid(), when,
                                                       QStringLiteral("entry text %1 ").arg(i).repeated(20),
                                                       std::nullopt, rng.generateDouble() * 2 - 1,
                                                       someKeywords(rng, vocabulary), std::nullopt, QStringList{},
                                                       false));
    }
    if (context->save())
        qFatal("could not build the benchmark journal");
    j.query = std::make_unique<StoreQuery>(context, JournalEntry::entityDescriptor(), allEntriesNewestFirstDescriptor());
    j.entries = j.query->resultsAs<JournalEntry>();
    return j;
}

// The views' case after an edit: the memo cannot serve, the day totals do.
void BM_YearSummaryFromStore(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const CalendarProvider &calendar = CalendarProvider::shared();
    WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now); // totals built
    for (auto _ : state) {
        detail::resetWeatherSummaryMemo();
        auto summary = WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryFromStore)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);

// One entry edited and saved between two summaries: the totals re-read the
// one row.
void BM_YearSummaryAfterSave(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const CalendarProvider &calendar = CalendarProvider::shared();
    WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
    JournalEntry *edited = j.entries.value(10);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        edited->setSentimentScore((++n % 20) / 20.0);
        j.container->mainContext()->save();
        state.ResumeTiming();
        auto summary = WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryAfterSave)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);

// The first summary after opening the store, which builds the day totals.
void BM_YearSummaryFirstAfterOpen(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const CalendarProvider &calendar = CalendarProvider::shared();
    for (auto _ : state) {
        state.PauseTiming();
        detail::resetWeatherSummaryMemo();
        auto store = makeStoreContainerIn(j.dir.path());
        StoreQuery query(store->container->mainContext(), JournalEntry::entityDescriptor(),
                         allEntriesNewestFirstDescriptor());
        const QList<JournalEntry *> entries = query.resultsAs<JournalEntry>();
        state.ResumeTiming();
        auto summary = WeatherPeriodSummary::summary(entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_YearSummaryFirstAfterOpen)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

// Reading every entry, as any list that is not a store's window is read.
void BM_YearSummaryFromEntries(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const CalendarProvider &calendar = CalendarProvider::shared();
    for (auto _ : state) {
        auto summary = detail::weatherSummaryFromEntries(j.entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryFromEntries)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_YearSummaryFromMemo(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const CalendarProvider &calendar = CalendarProvider::shared();
    WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
    for (auto _ : state) {
        auto summary = WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryFromMemo)->Arg(10)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace zn
