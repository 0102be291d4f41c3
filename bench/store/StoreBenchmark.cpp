// Journal store speed with a realistic journal: 10,000 entries of 150 words,
// spread over ten years (the journal folder arg 10) or one (arg 1).
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "platform/store/StoreQuery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include <sys/resource.h>

using namespace zn;

namespace {

constexpr int kEntries = 10'000;
constexpr int kWords = 150;
// As many entries as the window reads before its first frame
// (WorkspaceViewModel::kFirstScreenfulEntries).
constexpr int kFirstScreenful = 200;

QString g_folders[2];
QString g_program;

QString journalFolder(int years = 10)
{
    return g_folders[years == 1 ? 1 : 0];
}

bool fillJournal(const QString &folder, int years)
{
    auto store = makeStoreContainerIn(folder);
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
                                                QDateTime::fromMSecsSinceEpoch(start + qint64(rng() % (quint64(years) * 31'536'000'000ULL))),
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
        auto store = makeStoreContainerIn(folder);
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
    auto store = makeStoreContainerIn(journalFolder(int(state.range(0))));
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
BENCHMARK(BM_FetchAllNonDraftSortedCold)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);

FetchDescriptor nonDraftNewestFirst()
{
    FetchDescriptor d;
    d.predicate = Predicate::where(JournalEntry::IsDraft, CompareOp::Equal, false);
    d.sortBy = {{JournalEntry::Timestamp, SortOrder::Reverse}};
    return d;
}

// What a freshly started program pays: every page, allocation and code path
// touched for the first time. Each iteration is a new process that opens the
// store (not timed; "open_ms" shows it) and fetches the non-draft entries
// newest first (arg 0), then reads the text of the first screenful (arg 1)
// or of every entry (arg 2); or it reads only the newest entries the window
// shows before the rest, with their texts (arg 3). The time is the child's
// own.
int freshLoad(const QString &folder, int touch)
{
    QElapsedTimer timer;
    timer.start();
    auto store = makeStoreContainerIn(folder);
    if (!store)
        return 1;
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    struct rusage usageBefore {};
    ::getrusage(RUSAGE_SELF, &usageBefore);
    const std::clock_t cpuStart = std::clock();
    FetchDescriptor descriptor = nonDraftNewestFirst();
    if (touch == 3)
        descriptor.fetchLimit = kFirstScreenful;
    const auto entries = store->container->mainContext()->fetch<JournalEntry>(descriptor);
    qsizetype chars = 0;
    const qsizetype shown = touch == 1 || touch == 3 ? std::min<qsizetype>(40, entries.size())
                                                     : (touch == 2 ? entries.size() : 0);
    for (qsizetype i = 0; i < shown; ++i)
        chars += entries[i]->rawText().size() + entries[i]->insightText().value_or(QString()).size();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    // Processor time too: on a loaded machine the wall clock also counts
    // waiting for a processor.
    const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    struct rusage usageAfter {};
    ::getrusage(RUSAGE_SELF, &usageAfter);
    std::printf("%.3f %.3f %lld %lld %.3f %ld\n", ms, openMs, qlonglong(entries.size()), qlonglong(chars), cpuMs,
                usageAfter.ru_minflt - usageBefore.ru_minflt);
    return entries.size() == (touch == 3 ? kFirstScreenful : kEntries - kEntries / 500) ? 0 : 1;
}

void BM_FetchInFreshProcess(benchmark::State &state)
{
    const QString folder = journalFolder(int(state.range(0)));
    double openMs = 0;
    double cpuMs = 0;
    double faults = 0;
    std::vector<double> times;
    int runs = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(g_program, {QStringLiteral("--fresh-load"), folder, QString::number(state.range(1))});
        if (!child.waitForFinished(60'000) || child.exitCode() != 0) {
            state.SkipWithError("the child could not load the journal");
            break;
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().split(' ');
        state.SetIterationTime(fields.value(0).toDouble() / 1000.0);
        times.push_back(fields.value(0).toDouble());
        openMs += fields.value(1).toDouble();
        cpuMs += fields.value(4).toDouble();
        faults += fields.value(5).toDouble();
        ++runs;
    }
    if (runs > 0) {
        state.counters["open_ms"] = openMs / runs;
        state.counters["cpu_ms"] = cpuMs / runs;
        // Pages first touched during the fetch: each costs a fault.
        state.counters["faults"] = faults / runs;
        // A busy machine stretches some runs; the median shows a typical one.
        std::sort(times.begin(), times.end());
        state.counters["median_ms"] = times[times.size() / 2];
    }
}
BENCHMARK(BM_FetchInFreshProcess)
    ->ArgsProduct({{10, 1}, {0, 1, 2, 3}})
    ->UseManualTime()
    ->Iterations(15)
    ->Unit(benchmark::kMillisecond);

// The views' case: the context already holds the objects.
void BM_FetchAllNonDraftSortedWarm(benchmark::State &state)
{
    auto store = makeStoreContainerIn(journalFolder());
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
    auto store = makeStoreContainerIn(journalFolder());
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
    auto store = makeStoreContainerIn(journalFolder(int(state.range(1))));
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
BENCHMARK(BM_SaveOneEditedEntry)->ArgsProduct({{0, 1}, {10, 1}})->Unit(benchmark::kMillisecond);

} // namespace



int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--fresh-load") == 0)
        return freshLoad(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    // A journal left in place, for profiling a fresh load by hand.
    if (argc == 4 && qstrcmp(argv[1], "--make-journal") == 0)
        return fillJournal(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3])) ? 0 : 1;
    g_program = QCoreApplication::applicationFilePath();
    benchmark::Initialize(&argc, argv);
    QTemporaryDir tenYears;
    QTemporaryDir oneYear;
    g_folders[0] = tenYears.path();
    g_folders[1] = oneYear.path();
    if (!fillJournal(g_folders[0], 10) || !fillJournal(g_folders[1], 1)) {
        std::fprintf(stderr, "could not build the benchmark journal\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
