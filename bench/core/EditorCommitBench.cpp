#include "core/EditorSession.h"
#include "core/JournalEntry.h"
#include "core/StoreFactory.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace zn {
namespace {

// About 150 words of ordinary journal prose.
QString entryText(int variant)
{
    const QString paragraph = QStringLiteral(
        "Woke up early and walked the dog along the river before work. The morning was grey but calm, "
        "and the coffee at the corner shop tasted better than usual. Work was busy: two long meetings, "
        "a tricky bug in the billing report, and a good conversation with Sam about the new project. "
        "I felt tired after lunch but the afternoon went well once the bug was fixed. In the evening I "
        "cooked pasta with fresh tomatoes, called my sister, and read a few chapters of the novel about "
        "the lighthouse keeper. I am grateful for quiet evenings like this one, even if I still worry "
        "about the deadline next week and the trip I have not planned yet. Tomorrow I want to run, "
        "finish the report, and go to bed before eleven. Variant %1.");
    return paragraph.arg(variant);
}

void BM_CommitTypedEntry(benchmark::State &state)
{
    QTemporaryDir dir;
    auto made = makeStoreContainerIn(dir.path());
    if (!made) {
        state.SkipWithError("no store");
        return;
    }
    ManualClock clock;
    EditorSession session(clock);
    session.setModelContext(made->container->mainContext());
    session.startNewDraft(entryText(0));
    session.commitDraft(false);
    int variant = 1;
    for (auto _ : state) {
        session.setDraftText(entryText(variant++));
        benchmark::DoNotOptimize(session.commitDraft(false));
    }
}
BENCHMARK(BM_CommitTypedEntry)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zn
