// One search keystroke over a long journal: the workspace's filter against
// a plain case-insensitive contains over the same texts.

#include "support/BenchJournal.h"
#include "support/BenchWorkspace.h"
#include "platform/audio/FakeAudioInputEngine.h"
#include "platform/base/Clock.h"
#include "platform/base/NotificationCenter.h"
#include "platform/speech/FakeSpeechPlatform.h"
#include "views/workspace/state/TimelineFilter.h"
#include "views/workspace/state/WorkspaceViewModel.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QRandomGenerator>

#include <map>
#include <memory>
#include <utility>

namespace zn {
namespace {

const QStringList &vocabulary()
{
    static const QStringList words = QStringLiteral(
        "woke early walked dog river before work morning grey calm coffee corner shop tasted better than usual "
        "busy two long meetings tricky bug billing report good conversation Sam about new project felt tired "
        "after lunch afternoon went well once fixed evening cooked pasta fresh tomatoes called sister read few "
        "chapters novel lighthouse keeper grateful quiet evenings like this one even still worry deadline next "
        "week trip planned yet tomorrow want run finish bed eleven the and a to of in it was I my we with on "
        "for that but so at as just really today rain sunny cloudy wind garden friends family laughed cried "
        "anxious hopeful proud lonely music guitar train station city park market bread cheese Paris London")
                                          .split(u' ', Qt::SkipEmptyParts);
    return words;
}

// About 150 words, different for every seed.
QString journalText(quint32 seed)
{
    QRandomGenerator random(seed);
    const QStringList &words = vocabulary();
    QString text;
    text.reserve(1100);
    for (int i = 0; i < 150; ++i) {
        if (i)
            text += (i % 13 == 0) ? QStringLiteral(". ") : QStringLiteral(" ");
        QString word = words.at(int(random.bounded(quint32(words.size()))));
        if (i % 13 == 0)
            word[0] = word[0].toUpper();
        text += word;
    }
    return text + u'.';
}

// A store and a workspace over `count` entries, one a day going back.
struct Journal
{
    explicit Journal(int count)
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < count; ++i)
            store.add(now.addDays(-i), journalText(quint32(i)), 0.0);
        store.save();
        WorkspaceServices services;
        services.context = store.context;
        services.notificationCenter = &center;
        services.clock = &clock;
        services.voice.audioInput = std::make_unique<FakeAudioInputEngine>();
        services.voice.speechPlatform = std::make_shared<speech::FakeSpeechPlatform>();
        services.voice.clock = &clock;
        workspace = std::make_unique<WorkspaceViewModel>(std::move(services));
        bench::setUpAsOnScreen(*workspace, count);
        for (JournalEntry *entry : workspace->journalEntries())
            texts.append(entry->rawText());
    }

    bench::BenchStore store;
    NotificationCenter center;
    ManualClock clock;
    std::unique_ptr<WorkspaceViewModel> workspace;
    QStringList texts;
};

std::map<int, std::unique_ptr<Journal>> *g_journals = nullptr;

// Made on first use, gone with the application object while Qt still runs
// (a store closed after it would find its driver gone).
Journal &journal(int count)
{
    if (!g_journals) {
        g_journals = new std::map<int, std::unique_ptr<Journal>>;
        qAddPostRoutine([] {
            delete g_journals;
            g_journals = nullptr;
        });
    }
    auto &slot = (*g_journals)[count];
    if (!slot)
        slot = std::make_unique<Journal>(count);
    return *slot;
}

const char *const kNeedles[][2] = {
    // Each pair alternates so no keystroke extends the one before.
    {"e", "t"},        // one common letter
    {"q", "z"},        // one rare letter
    {"th", "wa"},      // two letters
    {"xq", "qz"},      // two letters found nowhere
    {"rain", "park"},  // a word
    {"lighthouse keeper grateful", "quiet evenings like tomorrow"},
    {"é", "ü"},        // a letter none of the texts holds
};

void needleArgs(benchmark::internal::Benchmark *b)
{
    for (int count : {3650, 10000})
        for (int needle = 0; needle < int(std::size(kNeedles)); ++needle)
            b->Args({count, needle});
}

// The two search texts a run alternates between.
std::pair<QString, QString> needles(const benchmark::State &state)
{
    const auto &pair = kNeedles[state.range(1)];
    return {QString::fromUtf8(pair[0]), QString::fromUtf8(pair[1])};
}

// The whole keystroke: the search text set on the workspace, the list
// filtered, compared and announced.
void BM_WorkspaceSearchKeystroke(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const auto [a, b] = needles(state);
    bool flip = false;
    for (auto _ : state) {
        j.workspace->setSearchText(flip ? a : b);
        flip = !flip;
        benchmark::DoNotOptimize(j.workspace->filteredEntries().size());
    }
    state.SetLabel(a.toStdString());
    j.workspace->setSearchText(QString());
}
BENCHMARK(BM_WorkspaceSearchKeystroke)->Apply(needleArgs)->Unit(benchmark::kMicrosecond);

// The same search as Qt's case-insensitive contains, folding every
// character of every text on every call.
void BM_PlainCaseInsensitiveContains(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const auto [a, b] = needles(state);
    bool flip = false;
    for (auto _ : state) {
        const QString &needle = flip ? a : b;
        flip = !flip;
        int hits = 0;
        for (const QString &text : std::as_const(j.texts))
            hits += text.contains(needle, Qt::CaseInsensitive) ? 1 : 0;
        benchmark::DoNotOptimize(hits);
    }
    state.SetLabel(a.toStdString());
}
BENCHMARK(BM_PlainCaseInsensitiveContains)->Apply(needleArgs)->Unit(benchmark::kMicrosecond);

// Typing "rain" letter by letter: each keystroke narrows the last result.
void BM_WorkspaceTypingAWord(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    const QStringList keystrokes{QStringLiteral("r"), QStringLiteral("ra"), QStringLiteral("rai"),
                                 QStringLiteral("rain")};
    for (auto _ : state) {
        for (const QString &text : keystrokes)
            j.workspace->setSearchText(text);
        benchmark::DoNotOptimize(j.workspace->filteredEntries().size());
        state.PauseTiming();
        j.workspace->setSearchText(QString());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * keystrokes.size());
}
BENCHMARK(BM_WorkspaceTypingAWord)->Arg(3650)->Arg(10000)->Unit(benchmark::kMicrosecond);

// After a save: the filter takes the refreshed list, all texts unchanged.
void BM_FilterRefreshAfterASave(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    TimelineFilter filter;
    filter.setEntries(j.workspace->journalEntries());
    for (auto _ : state) {
        filter.setEntries(j.workspace->journalEntries());
        benchmark::DoNotOptimize(filter.apply(TimelineCriteria{}).size());
    }
}
BENCHMARK(BM_FilterRefreshAfterASave)->Arg(3650)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Folding every text once, as the workspace does a few hundred at a time
// after start-up.
void BM_FoldWholeJournal(benchmark::State &state)
{
    Journal &j = journal(int(state.range(0)));
    for (auto _ : state) {
        TimelineFilter filter;
        filter.setEntries(j.workspace->journalEntries());
        benchmark::DoNotOptimize(filter.foldSome(filter.entries().size()));
    }
}
BENCHMARK(BM_FoldWholeJournal)->Arg(3650)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zn
