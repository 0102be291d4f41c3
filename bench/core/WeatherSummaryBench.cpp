#include "core/JournalEntry.h"
#include "core/WeatherPeriodSummary.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

#include <memory>
#include <vector>

namespace zn {
namespace {

// A year of journaling: 10,000 entries spread over 365 days, each with
// about 20 keywords from a 600-word vocabulary.
struct Journal {
    std::vector<std::unique_ptr<JournalEntry>> owned;
    QList<JournalEntry *> entries;
    QDateTime now;
};

const Journal &journal()
{
    static const Journal j = [] {
        Journal out;
        out.now = QDateTime(QDate(2025, 6, 30), QTime(18, 0));
        QRandomGenerator rng(42);
        QStringList vocabulary;
        for (int i = 0; i < 600; ++i)
            vocabulary.append(QStringLiteral("word%1").arg(i));
        const qint64 span = qint64(364) * 86'400'000;
        const qint64 start = out.now.addDays(-364).toMSecsSinceEpoch();
        for (int i = 0; i < 10'000; ++i) {
            KeywordFrequencies keywords;
            for (int k = 0; k < 20; ++k)
                keywords[vocabulary[rng.bounded(600)]] = 1 + int(rng.bounded(4));
            const QDateTime when = QDateTime::fromMSecsSinceEpoch(start + qint64(rng.bounded(double(span))));
            out.owned.push_back(std::make_unique<JournalEntry>(
                QUuid::createUuid(), when, QStringLiteral("entry text %1 ").arg(i).repeated(20), std::nullopt,
                rng.generateDouble() * 2 - 1, keywords, std::nullopt, QStringList{}, false));
            out.entries.append(out.owned.back().get());
        }
        return out;
    }();
    return j;
}

void BM_YearSummaryUncached(benchmark::State &state)
{
    const Journal &j = journal();
    const CalendarProvider &calendar = CalendarProvider::shared();
    for (auto _ : state) {
        detail::resetWeatherSummaryMemo();
        auto summary = WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryUncached)->Unit(benchmark::kMillisecond);

void BM_YearSummaryFromMemo(benchmark::State &state)
{
    const Journal &j = journal();
    const CalendarProvider &calendar = CalendarProvider::shared();
    WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
    for (auto _ : state) {
        auto summary = WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryFromMemo)->Unit(benchmark::kMicrosecond);

// As a view gets it from a fresh query result: equal entries, another list.
void BM_YearSummaryFromMemoNewList(benchmark::State &state)
{
    const Journal &j = journal();
    const CalendarProvider &calendar = CalendarProvider::shared();
    WeatherPeriodSummary::summary(j.entries, WeatherPeriod::Year, calendar, j.now);
    for (auto _ : state) {
        state.PauseTiming();
        QList<JournalEntry *> list(j.entries.cbegin(), j.entries.cend());
        state.ResumeTiming();
        auto summary = WeatherPeriodSummary::summary(list, WeatherPeriod::Year, calendar, j.now);
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_YearSummaryFromMemoNewList)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace zn
