// Journal store speed with a realistic journal: 10,000 entries of 150 words.
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/store/StoreQuery.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace zn;

namespace {

constexpr int kEntries = 10'000;
constexpr int kWords = 150;

QString g_folder;

QString journalFolder()
{
    return g_folder;
}

bool fillJournal(const QString &folder)
{
    auto store = makeStoreContainerIn(folder, false);
    if (!store)
        return false;
    ModelContext *context = store->container->mainContext();
    const QStringList vocabulary = QStringLiteral(
        "morning rain coffee walk tired hopeful work meeting friend call sunlight quiet evening dinner "
        "book garden worry calm river train late early laugh music sleep dream cold warm city")
                                       .split(u' ');
    std::mt19937 rng(7);
    const qint64 start = QDateTime::fromSecsSinceEpoch(1'600'000'000).toMSecsSinceEpoch();
    for (int i = 0; i < kEntries; ++i) {
        QStringList words;
        for (int w = 0; w < kWords; ++w)
            words.append(vocabulary[int(rng() % vocabulary.size())]);
        auto e = std::make_unique<JournalEntry>(QUuid::createUuid(),
                                                QDateTime::fromMSecsSinceEpoch(start + qint64(rng() % 157'680'000'000ULL)),
                                                words.join(u' '), std::nullopt, double(int(rng() % 200) - 100) / 100.0,
                                                KeywordFrequencies{{words[0], 3}, {words[1], 2}}, std::nullopt,
                                                QStringList{}, i % 500 == 0);
        e->setInsightStatus(InsightStatus::Ready);
        e->setInsightText(words.mid(0, 40).join(u' '));
        e->setThemes({words[2], words[3]});
        context->insert(std::move(e));
    }
    return !context->save();
}

FetchDescriptor nonDraftByTime()
{
    FetchDescriptor d;
    d.predicate = Predicate::where(JournalEntry::IsDraft, CompareOp::Equal, false);
    d.sortBy = {{JournalEntry::Timestamp, SortOrder::Forward}};
    return d;
}

void BM_OpenContainer(benchmark::State &state)
{
    const QString folder = journalFolder();
    for (auto _ : state) {
        auto store = makeStoreContainerIn(folder, false);
        benchmark::DoNotOptimize(store);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenContainer)->Unit(benchmark::kMillisecond);

// A context that has never seen the rows: every object is built.
void BM_FetchAllNonDraftSortedCold(benchmark::State &state)
{
    auto store = makeStoreContainerIn(journalFolder(), false);
    for (auto _ : state) {
        auto context = std::make_unique<ModelContext>(store->container.get());
        auto entries = context->fetch<JournalEntry>(nonDraftByTime());
        if (entries.size() != kEntries - kEntries / 500)
            state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(entries);
        state.PauseTiming();
        context.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FetchAllNonDraftSortedCold)->Unit(benchmark::kMillisecond);

// The views' case: the context already holds the objects.
void BM_FetchAllNonDraftSortedWarm(benchmark::State &state)
{
    auto store = makeStoreContainerIn(journalFolder(), false);
    ModelContext context(store->container.get());
    context.fetch<JournalEntry>(nonDraftByTime());
    for (auto _ : state) {
        auto entries = context.fetch<JournalEntry>(nonDraftByTime());
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_FetchAllNonDraftSortedWarm)->Unit(benchmark::kMillisecond);

// A view ordering the loaded entries itself by their dates, as the
// timeline and calendar do: every comparison reads two timestamps.
void BM_SortLoadedEntriesByTimestamp(benchmark::State &state)
{
    auto store = makeStoreContainerIn(journalFolder(), false);
    ModelContext context(store->container.get());
    const auto loaded = context.fetch<JournalEntry>(nonDraftByTime());
    for (auto _ : state) {
        auto entries = loaded;
        std::sort(entries.begin(), entries.end(),
                  [](JournalEntry *a, JournalEntry *b) { return a->timestamp() > b->timestamp(); });
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_SortLoadedEntriesByTimestamp)->Unit(benchmark::kMillisecond);

// One edited entry saved; arg 1 adds a live all-entries query on another
// context, which refetches on every save as the timeline would.
void BM_SaveOneEditedEntry(benchmark::State &state)
{
    auto store = makeStoreContainerIn(journalFolder(), false);
    ModelContext editor(store->container.get());
    std::unique_ptr<ModelContext> viewContext;
    std::unique_ptr<StoreQuery> query;
    if (state.range(0) == 1) {
        viewContext = std::make_unique<ModelContext>(store->container.get());
        query = std::make_unique<StoreQuery>(viewContext.get(), JournalEntry::entityDescriptor(),
                                             allEntriesNewestFirstDescriptor());
    }
    JournalEntry *entry = fetchAllEntries(editor).value(kEntries / 2);
    int n = 0;
    for (auto _ : state) {
        entry->setRawText(QStringLiteral("edited %1 ").arg(++n).repeated(150));
        if (editor.save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveOneEditedEntry)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace



int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    g_folder = dir.path();
    if (!fillJournal(g_folder)) {
        std::fprintf(stderr, "could not build the benchmark journal\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
