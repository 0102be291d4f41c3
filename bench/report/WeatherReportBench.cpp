#include "core/JournalEntry.h"
#include "core/WeatherPeriodSummary.h"
#include "exchange/report/WeatherReportContent.h"
#include "exchange/report/WeatherReportPDF.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

#include <memory>
#include <vector>

namespace zn {
namespace {

// A year of journaling: 10,000 entries over 365 days, each with about 20
// keywords from a 600-word vocabulary and two or three reflection themes.
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
        QStringList themes;
        for (int i = 0; i < 40; ++i)
            themes.append(QStringLiteral("Theme number %1").arg(i));
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
            QStringList entryThemes;
            for (int t = 0, n = 2 + int(rng.bounded(2)); t < n; ++t)
                entryThemes.append(themes[rng.bounded(40)]);
            out.owned.back()->setThemes(entryThemes);
            out.entries.append(out.owned.back().get());
        }
        return out;
    }();
    return j;
}

const QString kReflection = QStringLiteral("A steadier week with more walks and better sleep. ").repeated(8);

QList<EmotionalWeatherReportContent> contents(const Journal &j)
{
    // Every run computes the window summaries afresh, as the first export does.
    detail::resetWeatherSummaryMemo();
    return makeWeatherReportContents(j.entries, kReflection, j.now);
}

void BM_ReportContents(benchmark::State &state)
{
    const Journal &j = journal();
    for (auto _ : state)
        benchmark::DoNotOptimize(contents(j));
}
BENCHMARK(BM_ReportContents)->Unit(benchmark::kMillisecond);

void BM_RenderThreeWindowPdf(benchmark::State &state)
{
    const auto windows = contents(journal());
    for (auto _ : state)
        benchmark::DoNotOptimize(renderWeatherReportPDF(windows, ZephyrTheme{}));
}
BENCHMARK(BM_RenderThreeWindowPdf)->Unit(benchmark::kMillisecond);

// What the user waits for between asking for the report and seeing the panel.
void BM_ContentsAndPdf(benchmark::State &state)
{
    const Journal &j = journal();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderWeatherReportPDF(contents(j), ZephyrTheme{}));
}
BENCHMARK(BM_ContentsAndPdf)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zn
