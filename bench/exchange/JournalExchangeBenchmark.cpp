// Journal export and import speed with a realistic journal: 10,000 entries of
// 150 words, each with a reflection, themes, key points and keywords.
#include "core/JournalQueries.h"
#include "core/StoreFactory.h"
#include "exchange/JournalExport.h"
#include "exchange/JournalImport.h"
#include "platform/panels/FakeFilePanels.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <random>

using namespace zn;

namespace {

constexpr int kEntries = 10'000;
constexpr int kWords = 150;

void fillJournal(ModelContext &context)
{
    const QStringList vocabulary = QStringLiteral(
        "morning rain coffee walk tired hopeful work meeting friend call sunlight quiet evening dinner "
        "book garden worry calm river train late early laugh music sleep dream cold warm city")
                                       .split(u' ');
    std::mt19937 rng(11);
    for (int i = 0; i < kEntries; ++i) {
        QStringList words;
        for (int w = 0; w < kWords; ++w)
            words.append(vocabulary[int(rng() % vocabulary.size())]);
        auto e = std::make_unique<JournalEntry>(
            QUuid::createUuid(), QDateTime::fromSecsSinceEpoch(1'600'000'000 + qint64(rng() % 150'000'000), Qt::UTC),
            words.join(u' '), i % 3 ? std::optional<double>(60.0 + i % 90) : std::nullopt,
            double(int(rng() % 200) - 100) / 100.0,
            KeywordFrequencies{{words[0], 3}, {words[1], 2}, {words[2], 1}}, std::nullopt, QStringList{}, false);
        if (i % 5) {
            e->setInsightText(words.mid(0, 40).join(u' '));
            e->setInsightEmotionalTone(words[3]);
            e->setInsightKeyPoints({words.mid(5, 8).join(u' '), words.mid(20, 8).join(u' ')});
            e->setInsightGeneratedAt(e->timestamp().addSecs(90));
            e->setInsightStatus(InsightStatus::Ready);
        }
        e->setThemes({words[4], words[6]});
        context.insert(std::move(e));
    }
    if (context.save())
        std::abort();
}

// One filled store and its export file, made once for every benchmark.
struct Journal
{
    QTemporaryDir dir;
    std::shared_ptr<ModelContainer> container;
    QList<const JournalEntry *> entries;
    QByteArray file;
    QString filePath;

    Journal()
    {
        container = makeStoreContainerIn(dir.filePath(QStringLiteral("store")))->container;
        fillJournal(*container->mainContext());
        const auto all = fetchAllEntries(*container->mainContext());
        entries = QList<const JournalEntry *>(all.begin(), all.end());
        file = std::get<QByteArray>(encodeJournalExport(entries));
        filePath = dir.filePath(QStringLiteral("journal.json"));
        QFile out(filePath);
        out.open(QIODevice::WriteOnly);
        out.write(file);
    }

    static Journal &shared()
    {
        static Journal journal;
        return journal;
    }
};

void BM_EncodeExport(benchmark::State &state)
{
    Journal &j = Journal::shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeJournalExport(j.entries));
    state.counters["MB"] = double(j.file.size()) / 1e6;
}
BENCHMARK(BM_EncodeExport)->Unit(benchmark::kMillisecond);

// The two halves of the encoding: reading the entries, writing the JSON.
void BM_MakeDocument(benchmark::State &state)
{
    Journal &j = Journal::shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(makeJournalExportDocument(j.entries));
}
BENCHMARK(BM_MakeDocument)->Unit(benchmark::kMillisecond);

void BM_EncodeDocument(benchmark::State &state)
{
    Journal &j = Journal::shared();
    const JournalExportDocument doc = makeJournalExportDocument(j.entries);
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeJournalExport(doc));
}
BENCHMARK(BM_EncodeDocument)->Unit(benchmark::kMillisecond);

// The whole flow: drafts check, encoding, the (fake) panel and the atomic write.
void BM_RunExport(benchmark::State &state)
{
    Journal &j = Journal::shared();
    FakeFilePanels panels;
    const QString target = j.dir.filePath(QStringLiteral("out.json"));
    for (auto _ : state) {
        panels.scriptAnswer(target);
        runJournalExport(j.entries, panels, [](std::optional<JournalExportError> e) {
            if (e)
                std::abort();
        });
    }
}
BENCHMARK(BM_RunExport)->Unit(benchmark::kMillisecond);

void BM_DecodeImport(benchmark::State &state)
{
    Journal &j = Journal::shared();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJournalExport(j.file));
}
BENCHMARK(BM_DecodeImport)->Unit(benchmark::kMillisecond);

// Read, decode and merge into an empty store: 10,000 inserts in one save.
void BM_ImportIntoEmptyStore(benchmark::State &state)
{
    Journal &j = Journal::shared();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto target = makeStoreContainerIn(j.dir.filePath(QStringLiteral("empty%1").arg(round++)))->container;
        state.ResumeTiming();
        auto outcome = readJournalImportFile(j.filePath, *target->mainContext());
        if (std::get<ImportResult>(outcome).added != kEntries)
            std::abort();
        state.PauseTiming();
        target.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportIntoEmptyStore)->Unit(benchmark::kMillisecond)->Iterations(3);

// Read, decode and merge back into the store it came from: 10,000 updates.
void BM_ImportIntoSameStore(benchmark::State &state)
{
    Journal &j = Journal::shared();
    for (auto _ : state) {
        auto outcome = readJournalImportFile(j.filePath, *j.container->mainContext());
        if (std::get<ImportResult>(outcome).updated != kEntries)
            std::abort();
    }
}
BENCHMARK(BM_ImportIntoSameStore)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// A closed store of the benchmark journal, filled once.
const QTemporaryDir &closedJournal()
{
    static QTemporaryDir source;
    static const bool filled = [] {
        auto made = makeStoreContainerIn(source.path());
        fillJournal(*made->container->mainContext());
        return true;
    }();
    (void)filled;
    return source;
}

// The closed journal copied into `folder` and opened there.
auto openCopyOfClosedJournal(const QString &folder)
{
    QDir().mkpath(folder);
    QFile::copy(closedJournal().filePath(QStringLiteral("default.store")), folder + QStringLiteral("/default.store"));
    return makeStoreContainerIn(folder)->container;
}

// Times `timed` on a copy of the closed journal made afresh for each round
// and readied by `prepare`; neither the copy nor its removal is timed.
void timeOnFreshCopies(benchmark::State &state, const std::function<void(ModelContainer &)> &prepare,
                       const std::function<void(ModelContainer &)> &timed)
{
    QTemporaryDir rounds;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder = rounds.filePath(QString::number(round++));
        auto container = openCopyOfClosedJournal(folder);
        prepare(*container);
        state.ResumeTiming();
        timed(*container);
        state.PauseTiming();
        container.reset();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
    }
}

// Delete All on a closed 10,000-entry store copied afresh for each round:
// the deletion, and everything done to leave nothing of it on disk.
void BM_DeleteAll(benchmark::State &state)
{
    timeOnFreshCopies(state, [](ModelContainer &) {}, [](ModelContainer &container) {
        if (deleteAllJournalData(*container.mainContext()))
            std::abort();
    });
}
BENCHMARK(BM_DeleteAll)->Unit(benchmark::kMillisecond)->Iterations(5);

// The part of Delete All that gives the space back: every row already
// deleted and saved, the store file rewritten without its free pages and
// its log emptied.
void BM_ReclaimAfterDeleteAll(benchmark::State &state)
{
    timeOnFreshCopies(
        state,
        [](ModelContainer &container) {
            ModelContext *context = container.mainContext();
            for (JournalEntry *e : context->fetch<JournalEntry>())
                context->remove(e);
            if (context->save())
                std::abort();
        },
        [](ModelContainer &container) {
            if (container.reclaimFreePages())
                std::abort();
        });
}
BENCHMARK(BM_ReclaimAfterDeleteAll)->Unit(benchmark::kMillisecond)->Iterations(5);

// Identifiers that Qt's own qHash(QUuid) maps to one value whatever its
// seed: the same counter in the first group and in the last four bytes,
// which that hash folds together with XOR.
QUuid collidingId(quint32 i)
{
    return QUuid(i, 0x1234, 0x4567, 0x89, 0xAB, 0xCD, 0xEF, uchar(i >> 24), uchar(i >> 16), uchar(i >> 8), uchar(i));
}

// Merges `count` new short records into an empty store: arg 0 with random
// identifiers, arg 1 with colliding ones. The two should take the same time.
void BM_MergeIdentifiers(benchmark::State &state)
{
    const bool colliding = state.range(0) == 1;
    const int count = int(state.range(1));
    JournalExportDocument document;
    document.exportedAt = QDateTime::currentDateTimeUtc();
    std::mt19937 rng(5);
    for (int i = 0; i < count; ++i) {
        JournalEntryExportDTO r;
        r.id = colliding ? collidingId(quint32(i)) : QUuid::createUuid();
        r.timestamp = QDateTime::fromSecsSinceEpoch(1'600'000'000 + qint64(rng() % 150'000'000), Qt::UTC);
        r.text = QStringLiteral("Entry %1 about the garden and the rain.").arg(i);
        r.insight = QStringLiteral("Calm.");
        document.entries.append(r);
    }
    document.entryCount = count;
    QTemporaryDir rounds;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto container = makeStoreContainerIn(rounds.filePath(QString::number(round++)))->container;
        state.ResumeTiming();
        auto outcome = mergeJournalImport(document, *container->mainContext());
        if (std::get<ImportResult>(outcome).added != count)
            std::abort();
        state.PauseTiming();
        container.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MergeIdentifiers)->ArgsProduct({{0, 1}, {20'000, 100'000}})->Unit(benchmark::kMillisecond)->Iterations(1);
