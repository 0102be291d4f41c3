// What the main thread pays for the reflection coordinator: the weekly
// fingerprint and a whole weekly step that ends at the skip rule, over
// windows of growing size; and an enqueue that is refused (a store write).

#include "app/settings/AppSettings.h"
#include "core/JournalEntry.h"
#include "core/JournalSchema.h"
#include "platform/base/Clock.h"
#include "platform/base/UserDefaults.h"
#include "platform/model/ScriptedLanguageModel.h"
#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "reflections/CapabilityDetector.h"
#include "reflections/InsightCoordinator.h"
#include "reflections/WeeklyReflectionRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace zn;

QString entryText(int i)
{
    return QStringLiteral("Day %1: a walk, some work, tea with a friend and a quiet evening with a book. 🌧️").arg(i);
}

void BM_WeeklyFingerprint(benchmark::State &state)
{
    QList<weekly::FingerprintEntry> entries;
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1'741'305'600);
    for (int i = 0; i < state.range(0); ++i)
        entries.append({QUuid::createUuid(), start.addSecs(i * 37), entryText(i), (i % 21 - 10) / 10.0});
    for (auto _ : state)
        benchmark::DoNotOptimize(weekly::fingerprint(entries, QStringLiteral("2025-03-07")));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WeeklyFingerprint)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

struct Setup
{
    QTemporaryDir dir;
    ManualClock clock{QDateTime(QDate(2025, 3, 7), QTime(12, 0))};
    lm::ScriptedLanguageModel model;
    std::shared_ptr<ModelContainer> container;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<CapabilityDetector> detector;
    std::unique_ptr<InsightCoordinator> coordinator;

    explicit Setup(int entries)
    {
        ModelConfiguration configuration;
        configuration.folder = dir.path();
        container = ModelContainer::open(ZephyrnoteSchemaV2::schema(), configuration);
        ModelContext context(container.get());
        for (int i = 0; i < entries; ++i) {
            auto entry = std::make_unique<JournalEntry>();
            entry->setTimestamp(clock.now().addSecs(-i * 400));
            entry->setRawText(entryText(i));
            entry->setSentimentScore((i % 21 - 10) / 10.0);
            context.insert(std::move(entry));
        }
        (void)context.save();
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("defaults.ini")));
        settings = std::make_unique<AppSettings>(defaults.get());
        detector = std::make_unique<CapabilityDetector>(&model, &clock);
        coordinator = std::make_unique<InsightCoordinator>(&model, &clock);
        coordinator->configure(detector.get(), settings.get(), container);
        coordinator->setGenerators({}, [](const auto &, const QDateTime &, const QDateTime &, std::stop_token) {
            WeeklyReflectionOutcome out;
            out.summary = QStringLiteral("A week.");
            return out;
        });
    }

    void runWeeklyStep()
    {
        coordinator->setWeeklyRequested(true);
        coordinator->startProcessingIfNeeded();
        while (coordinator->running())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
};

// A weekly request when the day's record is already current: fetch the
// window, fingerprint it, compare, stop.
void BM_WeeklyStepSkip(benchmark::State &state)
{
    Setup setup(int(state.range(0)));
    setup.runWeeklyStep(); // builds the record once
    for (auto _ : state)
        setup.runWeeklyStep();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WeeklyStepSkip)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The refused enqueue: the entry is marked "unavailable" at once.
void BM_EnqueueRefused(benchmark::State &state)
{
    Setup setup(1);
    setup.settings->setEnhancedAnalysisEnabled(false);
    ModelContext context(setup.container.get());
    auto entry = std::make_unique<JournalEntry>();
    const QUuid id = entry->id();
    context.insert(std::move(entry));
    (void)context.save();
    for (auto _ : state)
        setup.coordinator->enqueueEntry(id);
}
BENCHMARK(BM_EnqueueRefused)->Unit(benchmark::kMicrosecond);

} // namespace

