#include "reflections/EntryInsightGenerator.h"
#include "reflections/WeeklyReflectionPrompting.h"

#include <QDate>

#include <benchmark/benchmark.h>

namespace {

using zn::WeeklyReflectionPrompting;

// A realistic week: 50 entries of 300 to 1500 characters over 7 days, with
// some accented letters and emoji so the character counting is exercised.
QList<WeeklyReflectionPrompting::Snippet> makeWeek()
{
    const QStringList words = {"bakery", "shift", "tired", "garden", "fence", "painting", "music", "quiet",
                               "evening", "caf\u00e9", "friends", "worry", "deadline", "walk", "harbour",
                               "\U0001F44D\U0001F3FD", "rain", "sunlight", "call", "mother"};
    QList<WeeklyReflectionPrompting::Snippet> week;
    for (int i = 0; i < 50; ++i) {
        const QDate day = QDate(2025, 3, 1).addDays(i % 7);
        QString text;
        const int length = 300 + (i * 97) % 1200;
        int w = i;
        for (; text.size() < length; ++w)
            text += words.at(w % words.size()) + (w % 9 == 0 ? QStringLiteral(".\n\n") : QStringLiteral(" "));
        week.append({day.toString(QStringLiteral("MMM d, yyyy")), day.toString(Qt::ISODate), text, "Overcast"});
    }
    return week;
}

void BM_WeeklyPromptAndChecks(benchmark::State &state)
{
    const auto week = makeWeek();
    const QString summary = QStringLiteral(
        "Bakery shifts, painting the garden fence and evening walks by the harbour fill the week; worry about a "
        "deadline sits beside calls with friends and family.");
    const QString arc = QStringLiteral("Rainy early in the stretch, Partly cloudy on Mar 5, Sunny by Mar 7.");
    const QStringList moments = {"A long bakery shift on Mar 3", "Painting the garden fence",
                                 "A walk by the harbour", "A call with mother"};
    for (auto _ : state) {
        const bool multiDay = true;
        QString prompt = WeeklyReflectionPrompting::makePrompt(week, multiDay, "Mar 1, 2025", "Mar 7, 2025", false,
                                                               800, 8000, false);
        benchmark::DoNotOptimize(prompt);
        const bool retry = WeeklyReflectionPrompting::needsRetry(summary, arc, moments, week, multiDay);
        benchmark::DoNotOptimize(retry);
        auto outcome = WeeklyReflectionPrompting::sanitizedOutcome(summary, arc, moments, "mixed",
                                                                   "Keep the walks.", week, multiDay);
        benchmark::DoNotOptimize(outcome);
    }
}
BENCHMARK(BM_WeeklyPromptAndChecks)->Unit(benchmark::kMicrosecond);

void BM_WeeklyCondensedRetryPrompt(benchmark::State &state)
{
    const auto week = makeWeek();
    for (auto _ : state) {
        QString prompt = WeeklyReflectionPrompting::makePrompt(week, true, "Mar 1, 2025", "Mar 7, 2025", true,
                                                               400, 4000, true);
        benchmark::DoNotOptimize(prompt);
    }
}
BENCHMARK(BM_WeeklyCondensedRetryPrompt)->Unit(benchmark::kMicrosecond);

void BM_EntryQualityChecks(benchmark::State &state)
{
    const auto week = makeWeek();
    const QString source = week.at(7).text;
    zn::EntryInsightGenerator::Outcome outcome;
    outcome.summary = QStringLiteral("Bakery shifts and worry about a deadline weigh on the entry, while painting "
                                     "the fence and music bring some quiet relief in the evening.");
    outcome.emotionalTone = QStringLiteral("Overcast with brief sun.");
    outcome.keyPoints = {"A long shift", "Painting the fence"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(zn::EntryInsightGenerator::isLowQuality(outcome, source));
        benchmark::DoNotOptimize(zn::EntryInsightGenerator::makePrompt(source, false));
    }
}
BENCHMARK(BM_EntryQualityChecks)->Unit(benchmark::kMicrosecond);

} // namespace


